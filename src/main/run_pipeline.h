// Running one script from its text to its end.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "parser/ast.h"
#include "platform/source_file.h"

namespace drevel {

// The Run command: checks the path, reads the file (both failures end the
// process with status 1) and runs it. Returns the exit status.
int run_file(const std::string& path, bool debug, bool extra_debug);

class Interpreter;

// Both passes over a parsed program: the first binds globals, functions and
// imports; then main alone runs if it exists, otherwise every statement.
void run_program(Interpreter& interpreter, const Block& program);

// Runs a program to its end; errors inside it are reported where they arise.
// Returns false only when the source was refused before execution (nesting
// too deep). With the file's name, tokens the parser had to skip are first
// reported as warnings that point into the file.
bool run_script(const std::string& source, bool debug, bool extra_debug,
                std::string_view file = {});

} // namespace drevel
