// One thing `drevel check` reports: a place in the source and what to do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/lexer.h"

namespace drevel {

struct Finding {
    uint32_t offset; // byte offset in the source
    std::string message;
};

// In source order, each place and message once.
void sort_findings(std::vector<Finding>& findings);

// Line and column (both from 1, columns in characters) of byte offsets.
class LineIndex {
  public:
    explicit LineIndex(std::string_view source);
    // "LINE:COLUMN"
    std::string position(uint32_t offset) const;

  private:
    std::string_view source_;
    std::vector<uint32_t> line_starts_;
};

// The source text of tokens first..last (inclusive), as written.
std::string_view token_text(std::string_view source, const SourceMap& map, uint32_t first,
                            uint32_t last);

} // namespace drevel
