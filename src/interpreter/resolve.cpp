// Resolving a parsed tree: a walk that gives every node, after its children,
// the handler its family chooses for its shape (arithmetic.cpp,
// comparison.cpp, names.cpp, calls.cpp, elements.cpp, control.cpp,
// literals.cpp), with the words that handler reads (a builtin, flags, a
// ready-made value). With fast paths off every node gets its general rule.
#include <vector>

#include "interpreter/interpreter.h"
#include "parser/operators.h"
#include "parser/tree_walk.h"

namespace drevel {

void Interpreter::resolve(const Block& program) {
    resolve_block(program);
    ensure_slots();
}

void Interpreter::resolve_block(const Block& block) {
    for (const StmtPtr& stmt : block)
        resolve_stmt(*stmt);
}

void Interpreter::resolve_expr(const Expr& expr) {
    if (expr.kind == ExprKind::BinaryOp) {
        // a + b + c ... nests on the left: its links are resolved from the
        // innermost out, each after its operands, taking no stack per link.
        std::vector<const BinaryOpExpr*> chain;
        for (const Expr* link = &expr; link->kind == ExprKind::BinaryOp;
             link = static_cast<const BinaryOpExpr*>(link)->left.get())
            chain.push_back(static_cast<const BinaryOpExpr*>(link));
        resolve_expr(*chain.back()->left);
        for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
            resolve_expr(*(*link)->right);
            choose(**link);
        }
        return;
    }
    for_each_child(expr, [this](const Expr& child) { resolve_expr(child); });
    choose(expr);
}

void Interpreter::choose(const Expr& expr) {
    switch (expr.kind) {
    case ExprKind::Number:
    case ExprKind::Float:
    case ExprKind::Boolean:
    case ExprKind::String: return choose_literal(expr);
    case ExprKind::Identifier: return choose_name(expr);
    case ExprKind::BinaryOp:
        if (is_arithmetic_operator(static_cast<const BinaryOpExpr&>(expr).op))
            return choose_arithmetic(expr);
        return choose_comparison(expr);
    case ExprKind::UnaryOp: return choose_arithmetic(expr);
    case ExprKind::Call: return choose_call(expr);
    case ExprKind::Array:
    case ExprKind::Dict:
    case ExprKind::Index:
    case ExprKind::Range: return choose_element(expr);
    }
}

void Interpreter::resolve_stmt(const Stmt& stmt) {
    for_each_child(
        stmt, [this](const Expr& expr) { resolve_expr(expr); },
        [this](const Block& block) { resolve_block(block); },
        [this](const FunctionStmt& definition) { resolve_block(definition.function->body); });
    stmt.handler = choose(stmt);
    // Until the frame of the function around it names it.
    if (const Symbol* name = bound_symbol(stmt)) set_bound_name(stmt, *name);
}

NodeHandler Interpreter::choose(const Stmt& stmt) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign:
    case StmtKind::Global: return choose_name(stmt);
    case StmtKind::Function: return choose_call(stmt);
    case StmtKind::If:
    case StmtKind::While:
    case StmtKind::For:
    case StmtKind::Match:
    case StmtKind::Try:
    case StmtKind::Return:
    case StmtKind::Break:
    case StmtKind::Continue:
    case StmtKind::Use:
    case StmtKind::Expr: return choose_control(stmt);
    }
    return nullptr;
}

} // namespace drevel
