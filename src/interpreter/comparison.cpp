// Comparisons and the logical operators: the operations that give a truth
// value. Their general rule is the operator table's (arithmetic.cpp); two
// numbers compare in machine numbers, and a condition made of such a
// comparison is decided without building a value.
#include "interpreter/interpreter.h"

namespace drevel {

// name == "text" and chars[i] != "text": a String binding or stored element
// compared with the literal where both lie, as the operator table compares
// two texts. Any other value, an unbound name or a missing element goes the
// general way; finding the left operand runs no code.
template <bool Equal> Value Interpreter::text_equality(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    const Value* left = expr.left->kind == ExprKind::Identifier
                            ? in.find(read_name(static_cast<const IdentifierExpr&>(*expr.left)))
                            : in.stored_element(static_cast<const IndexExpr&>(*expr.left));
    if (left && left->kind() == ValueKind::String) {
        const Value& right = literal_text(static_cast<const StringExpr&>(*expr.right)).value;
        return Value::boolean(left->same_text(right) == Equal);
    }
    return in.evaluate_binary(expr);
}

// A comparison of names and numbers runs in machine numbers, and as a
// condition gives its truth directly; a name or stored element compared for
// equality with a text literal compares in place; one whose right operand
// runs code evaluates both operands into values; anything else (And, Or)
// takes the general rule.
void Interpreter::choose_comparison(const Expr& expr) {
    const bool fast = fast_paths_;
    auto& e = static_cast<const BinaryOpExpr&>(expr);
    NodeHandler chosen = handler(&binary_general);
    NodeHandler number = nullptr;
    bool compared = false;
    switch (e.op) {
#define DREVEL_COMPARISON_CHOICE(OP)                                                               \
    case TokenKind::OP:                                                                            \
        compared = true;                                                                           \
        if (fast) chosen = values_handler<TokenKind::OP>(e);                                       \
        number = number_handler(&number_binary<TokenKind::OP>);                                    \
        break;
        DREVEL_COMPARISON_OPERATORS(DREVEL_COMPARISON_CHOICE)
#undef DREVEL_COMPARISON_CHOICE
    default: break;
    }
    const bool stored_left = e.left->kind == ExprKind::Identifier ||
                             (e.left->kind == ExprKind::Index && is_numeric_candidate(*e.left));
    if (fast && stored_left && e.right->kind == ExprKind::String) {
        if (e.op == TokenKind::Equal) chosen = handler(&text_equality<true>);
        if (e.op == TokenKind::NotEqual) chosen = handler(&text_equality<false>);
    }
    const bool numeric =
        compared && is_numeric_candidate(*e.left) && is_numeric_candidate(*e.right);
    uint32_t flags = numeric ? uint32_t(kNumericRule) : 0u;
    if (numeric && fast) {
        flags |= kNumericTruth;
        chosen = handler(&binary_numeric);
    }
    settle(expr, flags, chosen, number);
}

} // namespace drevel
