// The children of every kind of node, in one place. Every walk of the tree
// (nesting, bindings, the checker, the resolver) asks these for a node's
// children. Each switch names every kind and has no default, and the build
// treats a switch that misses a kind as an error, so a new kind of node does
// not compile until it says here what its children are.
#pragma once

#include <vector>

#include "parser/ast.h"

namespace drevel {

// Calls on_expr(const Expr&) for each direct child expression, in source
// order.
template <class OnExpr> void for_each_child(const Expr& expr, OnExpr&& on_expr) {
    switch (expr.kind) {
    case ExprKind::Number:
    case ExprKind::Float:
    case ExprKind::String:
    case ExprKind::Boolean:
    case ExprKind::Identifier: return;
    case ExprKind::BinaryOp: {
        auto& e = static_cast<const BinaryOpExpr&>(expr);
        on_expr(*e.left);
        on_expr(*e.right);
        return;
    }
    case ExprKind::UnaryOp: on_expr(*static_cast<const UnaryOpExpr&>(expr).operand); return;
    case ExprKind::Call:
        for (const ExprPtr& arg : static_cast<const CallExpr&>(expr).args)
            on_expr(*arg);
        return;
    case ExprKind::Array:
        for (const ExprPtr& element : static_cast<const ArrayExpr&>(expr).elements)
            on_expr(*element);
        return;
    case ExprKind::Dict:
        for (const auto& entry : static_cast<const DictExpr&>(expr).entries)
            on_expr(*entry.second);
        return;
    case ExprKind::Index: {
        auto& e = static_cast<const IndexExpr&>(expr);
        on_expr(*e.object);
        on_expr(*e.index);
        return;
    }
    case ExprKind::Range: {
        auto& e = static_cast<const RangeExpr&>(expr);
        on_expr(*e.start);
        on_expr(*e.end);
        return;
    }
    }
}

// Calls, in source order, on_expr(const Expr&) for each expression a
// statement holds, on_block(const Block&) for each block it runs, and
// on_function(const FunctionStmt&) for a definition: its body runs in calls
// of its own, so walks that follow the running code treat it apart.
template <class OnExpr, class OnBlock, class OnFunction>
void for_each_child(const Stmt& stmt, OnExpr&& on_expr, OnBlock&& on_block,
                    OnFunction&& on_function) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: on_expr(*static_cast<const AssignStmt&>(stmt).value); return;
    case StmtKind::Function: on_function(static_cast<const FunctionStmt&>(stmt)); return;
    case StmtKind::If: {
        auto& s = static_cast<const IfStmt&>(stmt);
        on_expr(*s.condition);
        on_block(s.then_body);
        if (s.else_body) on_block(*s.else_body);
        return;
    }
    case StmtKind::While: {
        auto& s = static_cast<const WhileStmt&>(stmt);
        on_expr(*s.condition);
        on_block(s.body);
        return;
    }
    case StmtKind::For: {
        auto& s = static_cast<const ForStmt&>(stmt);
        on_expr(*s.iter);
        on_block(s.body);
        return;
    }
    case StmtKind::Match: {
        auto& s = static_cast<const MatchStmt&>(stmt);
        on_expr(*s.expr);
        for (const MatchArm& arm : s.arms) {
            if (arm.pattern) on_expr(*arm.pattern); // none for the wildcard
            on_block(arm.body);
        }
        return;
    }
    case StmtKind::Try: {
        auto& s = static_cast<const TryStmt&>(stmt);
        on_block(s.body);
        on_block(s.catch_body);
        return;
    }
    case StmtKind::Return:
        if (auto& value = static_cast<const ReturnStmt&>(stmt).value) on_expr(*value);
        return;
    case StmtKind::Expr: on_expr(*static_cast<const ExprStmt&>(stmt).expr); return;
    case StmtKind::Break:
    case StmtKind::Continue:
    case StmtKind::Global:
    case StmtKind::Use: return;
    }
}

// Every expression of the tree below root, root included, in source order
// (a node before its children). visit(const Expr&) returns whether to go on
// into that node's children. The walk keeps its own list of pending nodes,
// so a chain of a million operators takes no stack per link.
template <class Visit> void for_each_expression(const Expr& root, Visit&& visit) {
    std::vector<const Expr*> pending{&root};
    std::vector<const Expr*> children;
    while (!pending.empty()) {
        const Expr& expr = *pending.back();
        pending.pop_back();
        if (!visit(expr)) continue;
        children.clear();
        for_each_child(expr, [&](const Expr& child) { children.push_back(&child); });
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

} // namespace drevel
