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

// Calls bind(const std::string&) for each name one statement binds itself,
// not for those of the blocks it holds.
template <class Bind> void for_each_own_binding(const Stmt& stmt, Bind&& bind) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: bind(static_cast<const AssignStmt&>(stmt).name); return;
    case StmtKind::Function: {
        auto& f = static_cast<const FunctionStmt&>(stmt);
        bind(f.name);
        for (const std::string& param : f.function->params)
            bind(param);
        return;
    }
    case StmtKind::For: bind(static_cast<const ForStmt&>(stmt).var); return;
    case StmtKind::Try: bind(static_cast<const TryStmt&>(stmt).catch_var); return;
    case StmtKind::Use: {
        auto& use = static_cast<const UseStmt&>(stmt);
        if (!use.items) {
            bind(module_binding(use));
            return;
        }
        for (const std::string& item : *use.items)
            bind(item);
        return;
    }
    case StmtKind::If:
    case StmtKind::While:
    case StmtKind::Match:
    case StmtKind::Return:
    case StmtKind::Break:
    case StmtKind::Continue:
    case StmtKind::Global: // names a global, binds nothing
    case StmtKind::Expr: return;
    }
}

} // namespace drevel
