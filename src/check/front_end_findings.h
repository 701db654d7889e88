// Messages for what the lenient front end drops, skips or tolerates.
#pragma once

#include <string_view>
#include <vector>

#include "check/finding.h"
#include "lexer/lexer.h"
#include "parser/parser.h"

namespace drevel {

// Everything the lexer dropped and the parser skipped or tolerated, as
// `drevel check` says it, in source order. `map` comes from the lexing that
// gave `tokens`, `notes` from parsing them.
std::vector<Finding> front_end_findings(std::string_view source, const TokenList& tokens,
                                        const SourceMap& map, const ParseNotes& notes);

// Characters the lexer ignores.
void add_dropped_character_findings(std::string_view source, const SourceMap& map,
                                    std::vector<Finding>& out);

// One note of the parser, said as what happened and what to write instead.
Finding parse_note_finding(std::string_view source, const TokenList& tokens, const SourceMap& map,
                           const ParseNote& note);

} // namespace drevel
