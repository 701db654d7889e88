// How deeply a function body nests: statements inside blocks and expressions
// inside expressions, operator chains included (a + b + c is two levels).
// The evaluator walks a body recursively, so this bounds the native stack one
// call of it can take before the next call. A nested definition runs its body
// in calls of its own and does not count.
#include <algorithm>

#include "parser/ast.h"
#include "parser/tree_walk.h"

namespace drevel {

namespace {

// One node still to measure: exactly one of the three is set.
struct Pending {
    const Block* block;
    const Stmt* stmt;
    const Expr* expr;
    uint32_t level;
};

} // namespace

uint32_t nesting_depth(const Block& body) {
    // The deepest level any node sits at, found with a list of pending nodes
    // rather than recursion, so a long chain takes no stack per link.
    uint32_t deepest = 0;
    std::vector<Pending> pending{{&body, nullptr, nullptr, 1}};
    while (!pending.empty()) {
        Pending node = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, node.level);
        uint32_t inner = node.level + 1;
        auto add_expr = [&](const Expr& e) { pending.push_back({nullptr, nullptr, &e, inner}); };
        auto add_block = [&](const Block& b) { pending.push_back({&b, nullptr, nullptr, inner}); };
        if (node.block) {
            for (const StmtPtr& stmt : *node.block)
                pending.push_back({nullptr, stmt.get(), nullptr, inner});
        } else if (node.stmt) {
            for_each_child(*node.stmt, add_expr, add_block, [](const FunctionStmt&) {});
        } else {
            for_each_child(*node.expr, add_expr);
        }
    }
    return deepest;
}

} // namespace drevel
