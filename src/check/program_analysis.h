// What a careful reader would flag in a program that parses: names read but
// defined nowhere, calls with the wrong number of arguments, calls of module
// functions that do not exist, statements that can never run, modules that
// cannot be found.
#pragma once

#include <vector>

#include "check/finding.h"
#include "lexer/lexer.h"
#include "parser/parser.h"

namespace drevel {

// `notes` must hold the node positions of this parse. Modules are looked up
// from the current directory, as a run does.
void add_program_findings(const Block& program, const ParseNotes& notes, const SourceMap& map,
                          std::vector<Finding>& out);

} // namespace drevel
