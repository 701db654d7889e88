// The lexer: source text to the token list, in one pass with one character of
// look-ahead. It has no errors: unknown characters are dropped, unterminated
// strings and comments end at the end of the input.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "lexer/token.h"

namespace drevel {

// Where the tokens came from, for messages that point into the source.
struct SourceMap {
    std::vector<uint32_t> token_offsets; // byte offset of each token; EOF: the source size
    std::vector<uint32_t> token_ends;    // byte offset just past each token
    struct Dropped {
        uint32_t offset; // a run of adjacent dropped characters
        uint32_t length; // in bytes
    };
    std::vector<Dropped> dropped;
};

// The list always ends with exactly one EOF token. With a map, also records
// where each token starts and which characters were dropped.
TokenList tokenize(std::string_view source, SourceMap* map = nullptr);

using Keyword = Spelling;
// The keywords.
inline std::span<const Keyword> keywords() {
    return keyword_spellings();
}

} // namespace drevel
