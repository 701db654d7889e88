// Code that runs, but not as its writer meant: assignments that make a local
// instead of changing a global, definitions that are never called or are
// replaced, `and`/`or` guards that do not guard, top-level calls that run
// twice, functions shown as text, text joined to numbers with `+`, and
// comments written in another language's way.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "check/finding.h"
#include "lexer/lexer.h"
#include "parser/parser.h"

namespace drevel {

// The lines that start with `//` or `--`, as byte ranges from that mark to
// the end of the line: what else is found there follows from the mark.
std::vector<std::pair<uint32_t, uint32_t>>
foreign_comment_lines(std::string_view source, const TokenList& tokens, const SourceMap& map);

// `notes` must hold the node positions of this parse of `tokens`.
void add_trap_findings(std::string_view source, const TokenList& tokens, const SourceMap& map,
                       const Block& program, const ParseNotes& notes, std::vector<Finding>& out);

} // namespace drevel
