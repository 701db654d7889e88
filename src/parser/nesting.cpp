// How deeply a function body nests: statements inside blocks and expressions
// inside expressions. The evaluator walks a body recursively, so this bounds
// the native stack one call of it can take before the next call.
#include <algorithm>

#include "parser/ast.h"

namespace drevel {

namespace {

uint32_t expr_depth(const Expr* expr);

uint32_t deepest(const std::vector<ExprPtr>& exprs) {
    uint32_t depth = 0;
    for (const ExprPtr& e : exprs)
        depth = std::max(depth, expr_depth(e.get()));
    return depth;
}

uint32_t expr_depth(const Expr* expr) {
    if (!expr) return 0;
    uint32_t inner = 0;
    switch (expr->kind) {
    case ExprKind::BinaryOp: {
        auto& e = static_cast<const BinaryOpExpr&>(*expr);
        inner = std::max(expr_depth(e.left.get()), expr_depth(e.right.get()));
        break;
    }
    case ExprKind::UnaryOp:
        inner = expr_depth(static_cast<const UnaryOpExpr&>(*expr).operand.get());
        break;
    case ExprKind::Call: inner = deepest(static_cast<const CallExpr&>(*expr).args); break;
    case ExprKind::Array: inner = deepest(static_cast<const ArrayExpr&>(*expr).elements); break;
    case ExprKind::Dict:
        for (const auto& entry : static_cast<const DictExpr&>(*expr).entries)
            inner = std::max(inner, expr_depth(entry.second.get()));
        break;
    case ExprKind::Index: {
        auto& e = static_cast<const IndexExpr&>(*expr);
        inner = std::max(expr_depth(e.object.get()), expr_depth(e.index.get()));
        break;
    }
    case ExprKind::Range: {
        auto& e = static_cast<const RangeExpr&>(*expr);
        inner = std::max(expr_depth(e.start.get()), expr_depth(e.end.get()));
        break;
    }
    default: break; // literals and names
    }
    return inner + 1;
}

uint32_t stmt_depth(const Stmt& stmt) {
    uint32_t inner = 0;
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign:
        inner = expr_depth(static_cast<const AssignStmt&>(stmt).value.get());
        break;
    case StmtKind::If: {
        auto& s = static_cast<const IfStmt&>(stmt);
        inner = std::max(expr_depth(s.condition.get()), nesting_depth(s.then_body));
        if (s.else_body) inner = std::max(inner, nesting_depth(*s.else_body));
        break;
    }
    case StmtKind::While: {
        auto& s = static_cast<const WhileStmt&>(stmt);
        inner = std::max(expr_depth(s.condition.get()), nesting_depth(s.body));
        break;
    }
    case StmtKind::For: {
        auto& s = static_cast<const ForStmt&>(stmt);
        inner = std::max(expr_depth(s.iter.get()), nesting_depth(s.body));
        break;
    }
    case StmtKind::Match: {
        auto& s = static_cast<const MatchStmt&>(stmt);
        inner = expr_depth(s.expr.get());
        for (const MatchArm& arm : s.arms)
            inner = std::max({inner, expr_depth(arm.pattern.get()), nesting_depth(arm.body)});
        break;
    }
    case StmtKind::Try: {
        auto& s = static_cast<const TryStmt&>(stmt);
        inner = std::max(nesting_depth(s.body), nesting_depth(s.catch_body));
        break;
    }
    case StmtKind::Return:
        inner = expr_depth(static_cast<const ReturnStmt&>(stmt).value.get());
        break;
    case StmtKind::Expr: inner = expr_depth(static_cast<const ExprStmt&>(stmt).expr.get()); break;
    default: break; // a nested definition runs its body in calls of its own
    }
    return inner + 1;
}

} // namespace

uint32_t nesting_depth(const Block& block) {
    uint32_t depth = 0;
    for (const StmtPtr& stmt : block)
        depth = std::max(depth, stmt_depth(*stmt));
    return depth + 1;
}

} // namespace drevel
