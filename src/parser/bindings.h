// The names a program binds anywhere in its tree.
#pragma once

#include <set>
#include <string>

#include "parser/ast.h"

namespace drevel {

// Variables (let and assignments), functions and their parameters, loop and
// catch variables, imported items, module aliases and imported module names
// (author.module binds its second word).
void add_bound_names(const Block& program, std::set<std::string>& names);

// The name under which `use` makes a module's functions reachable as NAME.f.
std::string module_binding(const UseStmt& use);

} // namespace drevel
