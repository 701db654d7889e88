// Arithmetic: the binary operations and negation. The general rule evaluates
// both operands and applies the operator table, by operand kinds (the first
// matching row applies). Arithmetic over names and numbers runs in machine
// numbers without building a value per node: it applies the table's own
// Number and Float rows (operator_rules.h) and gives up, with no effect,
// wherever they would fail or another row applies; the general rule then
// takes over and reports as usual.
#include <algorithm>

#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"
#include "interpreter/operator_rules.h"
#include "parser/operators.h"

namespace drevel {

namespace {

std::string op_name(TokenKind op) {
    return std::string(token_kind_name(op));
}

// A Numeric result of the rows as a value; None is the row's failure.
Value numeric_result(Numeric n, TokenKind op, const char* unsupported) {
    switch (n.kind) {
    case Numeric::Int: return Value::number(n.i);
    case Numeric::Float: return Value::floating(n.f);
    case Numeric::Bool: return Value::boolean(n.i != 0);
    case Numeric::None: break;
    }
    if (const char* failure = arithmetic_failure(op)) return fail(failure);
    return fail(unsupported + op_name(op));
}

// The messages of the handlers below, out of line so that a handler's common
// path saves no registers for building them.
[[gnu::cold, gnu::noinline]] Value cannot_negate(const Value& operand) {
    return fail("Cannot negate " + std::string(type_name(operand)));
}

} // namespace

// ---- the general rule ----

Value Interpreter::binary_general(Interpreter& in, const Expr& e) {
    return in.evaluate_binary(static_cast<const BinaryOpExpr&>(e));
}

Value Interpreter::evaluate_binary(const BinaryOpExpr& expr, bool numbers_failed) {
    // The left operand is read in place only when the right one runs no code
    // that could rebind it.
    Value left_value, right_value;
    const Value& left = numbers_failed ? failed_numbers_operand(*expr.left, left_value)
                                       : operand(*expr.left, left_value, runs_no_code(*expr.right));
    DREVEL_TRY(left);
    const Value& right = numbers_failed ? failed_numbers_operand(*expr.right, right_value)
                                        : operand(*expr.right, right_value, true);
    DREVEL_TRY(right);
    if (fast_paths_) {
        // Number and Float rows that do not fail build no message.
        Numeric l = numeric_of(left), r = numeric_of(right);
        if (l.kind != Numeric::None && r.kind != Numeric::None) {
            Numeric n = numeric_row(expr.op, l, r);
            if (n.kind != Numeric::None) return value_of(n);
        }
    }
    return finish_binary(expr, &left == &left_value ? std::move(left_value) : left, right);
}

// An operand inside arithmetic over names and numbers, which runs no code.
const Value& Interpreter::failed_numbers_operand(const Expr& expr, Value& holder) {
    if (expr.kind == ExprKind::BinaryOp && (expr.flags & kNumeric)) {
        holder = evaluate_binary(static_cast<const BinaryOpExpr&>(expr), true);
        return holder;
    }
    return operand(expr, holder, true);
}

Value Interpreter::finish_binary(const BinaryOpExpr& expr, Value left, const Value& right) {
    if (releasing_operation_ == &expr) {
        // The target's binding is let go below; an operand read in place
        // from it must be a copy first.
        Value kept_right = right;
        release_pending_target(expr);
        return binary_operation(std::move(left), expr.op, kept_right);
    }
    return binary_operation(std::move(left), expr.op, right);
}

// The operator table.
Value Interpreter::binary_operation(Value left, TokenKind op, const Value& right) {
    ValueKind lk = left.kind(), rk = right.kind();
    if (lk == ValueKind::Number && rk == ValueKind::Number) {
        return numeric_result(integer_row(op, left.as_number(), right.as_number()), op,
                              "Unsupported operation on numbers: ");
    }
    if (lk == ValueKind::Float && rk == ValueKind::Float) {
        return numeric_result(float_row(op, left.as_float(), right.as_float()), op,
                              "Unsupported operation on floats: ");
    }
    if ((lk == ValueKind::Number && rk == ValueKind::Float) ||
        (lk == ValueKind::Float && rk == ValueKind::Number)) {
        return numeric_result(float_row(op, numeric_to_float(left), numeric_to_float(right)), op,
                              "Unsupported operation: ");
    }
    if (lk == ValueKind::String && rk == ValueKind::String) {
        switch (op) {
        case TokenKind::Plus:
            // A buffer nobody else holds grows in place.
            left.append_text(right.text());
            return left;
        case TokenKind::Equal: return Value::boolean(left.same_text(right));
        case TokenKind::NotEqual: return Value::boolean(!left.same_text(right));
        default: return fail("Unsupported operation on strings: " + op_name(op));
        }
    }
    if (lk == ValueKind::Boolean && rk == ValueKind::Boolean) {
        bool a = left.as_boolean(), b = right.as_boolean();
        switch (op) {
        case TokenKind::And: return Value::boolean(a && b);
        case TokenKind::Or: return Value::boolean(a || b);
        case TokenKind::Equal: return Value::boolean(a == b);
        case TokenKind::NotEqual: return Value::boolean(a != b);
        default: return fail("Unsupported operation on booleans: " + op_name(op));
        }
    }
    return fail("Cannot apply " + op_name(op) + " to " + std::string(type_name(lk)) + " and " +
                std::string(type_name(rk)));
}

Value Interpreter::unary_general(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const UnaryOpExpr&>(e);
    Value operand = in.evaluate(*expr.operand);
    DREVEL_TRY(operand);
    if (expr.op == TokenKind::Not) return Value::boolean(!is_truthy(operand));
    if (expr.op == TokenKind::Minus) {
        if (operand.kind() == ValueKind::Number)
            return Value::number(wrapping_negation(operand.as_number()));
        if (operand.kind() == ValueKind::Float) return Value::floating(-operand.as_float());
        return cannot_negate(operand);
    }
    return fail("Unsupported unary operation: " + std::string(token_kind_name(expr.op)));
}

// ---- specialised handlers ----

Value Interpreter::binary_numeric(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    Numeric n = in.numeric_value(expr);
    if (n.kind != Numeric::None) return value_of(n);
    // The general path, for operands the numbers cannot handle.
    return in.evaluate_binary(expr, true);
}

// An operation whose right operand runs code: both operands are evaluated
// (the left one first, into a copy, as the general rule reads it), and two
// numbers meet in the operator's row without a detour through the table.
template <TokenKind Op> Value Interpreter::binary_values(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    Value left = in.evaluate(*expr.left);
    DREVEL_TRY(left);
    Value right = in.evaluate(*expr.right);
    DREVEL_TRY(right);
    Numeric l = numeric_of(left), r = numeric_of(right);
    if (l.kind != Numeric::None && r.kind != Numeric::None) {
        Numeric n = numeric_row(Op, l, r);
        if (n.kind != Numeric::None) return value_of(n);
    }
    return in.finish_binary(expr, std::move(left), right);
}

// An operation whose left operand runs code (len(xs) - 1, f(x) == 0) and
// whose right one is a name, a number or arithmetic over them: the left one
// is evaluated, the right one read as a machine number, and two numbers meet
// in the operator's row. Anything else takes the general rule's tail, the
// right operand read as a value then: it runs no code, so reading it again
// changes nothing.
template <TokenKind Op> Value Interpreter::binary_left_value(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    Value left = in.evaluate(*expr.left);
    DREVEL_TRY(left);
    Numeric l = numeric_of(left);
    if (l.kind != Numeric::None) {
        Numeric r = in.operand_number(*expr.right);
        if (r.kind != Numeric::None) {
            Numeric n = numeric_row(Op, l, r);
            if (n.kind != Numeric::None) return value_of(n);
        }
    }
    Value right_value;
    const Value& right = in.operand(*expr.right, right_value, true);
    DREVEL_TRY(right);
    return in.finish_binary(expr, std::move(left), right);
}

template <TokenKind Op> NodeHandler Interpreter::values_handler(const BinaryOpExpr& e) {
    if (!runs_no_code(*e.right)) return handler(&binary_values<Op>);
    if (!is_numeric_candidate(*e.left) && is_numeric_candidate(*e.right))
        return handler(&binary_left_value<Op>);
    return handler(&binary_general);
}

// ---- in machine numbers ----

Numeric Interpreter::number_none(const Interpreter&, const Expr&) {
    return Numeric{};
}
Numeric Interpreter::number_negated(const Interpreter& in, const Expr& e) {
    Numeric n = in.numeric_value(*static_cast<const UnaryOpExpr&>(e).operand);
    if (n.kind == Numeric::Float)
        n.f = -n.f;
    else if (n.kind == Numeric::Int)
        n.i = wrapping_negation(n.i);
    return n;
}
// One operator's row, its choice made when the tree was resolved. A node
// that last gave a Float first tries the floating-point registers all the
// way down; the flag follows the kind the row gives.
template <TokenKind Op> Numeric Interpreter::number_binary(const Interpreter& in, const Expr& e) {
    if (e.flags & kFloatResult) {
        double f = float_binary<Op>(in, e);
        if (f == f) return Numeric::real(f);
    }
    auto& b = static_cast<const BinaryOpExpr&>(e);
    Numeric l = in.operand_number(*b.left);
    Numeric r = l.kind == Numeric::None ? l : in.operand_number(*b.right);
    Numeric n = r.kind == Numeric::None ? r : numeric_row(Op, l, r);
    if (bool(e.flags & kFloatResult) != (n.kind == Numeric::Float)) e.flags ^= kFloatResult;
    return n;
}

static constexpr double kNotAFloat = __builtin_nan("");

bool Interpreter::number_operand(const Interpreter& in, const Expr& expr, double& out) {
    Numeric n = in.numeric_value(expr);
    if (n.kind == Numeric::Int) {
        out = double(n.i);
        return false;
    }
    out = n.kind == Numeric::Float ? n.f : kNotAFloat;
    return true;
}

[[gnu::always_inline]] inline bool Interpreter::float_operand(const Expr& expr, double& out) const {
    if (expr.kind == ExprKind::Identifier) {
        const Value* v = find(read_name(static_cast<const IdentifierExpr&>(expr)));
        if (v && v->kind() == ValueKind::Number) {
            out = double(v->as_number());
            return false;
        }
        out = v && v->kind() == ValueKind::Float ? v->as_float() : kNotAFloat;
        return true;
    }
    if (expr.kind == ExprKind::Float) {
        out = static_cast<const FloatExpr&>(expr).value;
        return true;
    }
    if (expr.kind == ExprKind::Number) {
        out = double(static_cast<const NumberExpr&>(expr).value);
        return false;
    }
    // Arithmetic that last gave a Float stays in floating-point registers (a
    // NaN is carried up to the number handler at the root, whose retry
    // updates every node's flag); anything else takes its number handler.
    if (expr.flags & kFloatResult) [[likely]] {
        out = reinterpret_cast<FloatHandler>(expr.float_handler)(*this, expr);
        return true;
    }
    return number_operand(*this, expr, out);
}

// The Float row of an arithmetic operator. A failed operand is NaN, which
// every one of these operators but the power carries to the result.
template <TokenKind Op> double Interpreter::float_binary(const Interpreter& in, const Expr& e) {
    auto& b = static_cast<const BinaryOpExpr&>(e);
    double l, r;
    bool left_float = in.float_operand(*b.left, l);
    bool right_float = in.float_operand(*b.right, r);
    // Two Numbers meet in the Number row.
    if (!(left_float | right_float)) return kNotAFloat;
    if constexpr (Op == TokenKind::Power) {
        if (l != l || r != r) return kNotAFloat;
    }
    Numeric n = float_row(Op, l, r);
    return n.kind == Numeric::Float ? n.f : kNotAFloat;
}

// ---- the choice ----

// Every operator the parser reads at an arithmetic level has its rows.
static_assert(std::ranges::all_of(kBinaryOperators, [](const BinaryOperator& op) {
    return !is_arithmetic_operator(op.kind) || has_arithmetic_rows(op.kind);
}));

// An arithmetic operation over names and numbers runs in machine numbers;
// one whose right operand runs code evaluates both operands into values;
// anything else takes the general rule.
void Interpreter::choose_arithmetic(const Expr& expr) {
    const bool fast = fast_paths_;
    if (expr.kind == ExprKind::UnaryOp) {
        auto& e = static_cast<const UnaryOpExpr&>(expr);
        uint32_t flags =
            e.op == TokenKind::Minus && is_numeric_candidate(*e.operand) ? kNumeric : 0u;
        return settle(expr, flags, handler(&unary_general), number_handler(&number_negated));
    }
    auto& e = static_cast<const BinaryOpExpr&>(expr);
    const bool numeric = is_numeric_candidate(*e.left) && is_numeric_candidate(*e.right);
    const uint32_t flags = numeric ? uint32_t(kNumeric | kNumericRule) : 0u;
    NodeHandler chosen = handler(&binary_general);
    NodeHandler number = nullptr, floating = nullptr;
    switch (e.op) {
#define DREVEL_ARITHMETIC_CHOICE(OP, ...)                                                          \
    case TokenKind::OP:                                                                            \
        if (fast) chosen = values_handler<TokenKind::OP>(e);                                       \
        number = number_handler(&number_binary<TokenKind::OP>);                                    \
        floating = handler(&float_binary<TokenKind::OP>);                                          \
        break;
        DREVEL_ARITHMETIC_OPERATORS(DREVEL_ARITHMETIC_CHOICE)
#undef DREVEL_ARITHMETIC_CHOICE
    default: break;
    }
    if (numeric && fast) chosen = handler(&binary_numeric);
    settle(expr, flags, chosen, number, floating);
}

// The comparisons share the rows and the handlers made from them.
#define DREVEL_COMPARISON_HANDLERS(OP)                                                             \
    template NodeHandler Interpreter::values_handler<TokenKind::OP>(const BinaryOpExpr&);          \
    template Numeric Interpreter::number_binary<TokenKind::OP>(const Interpreter&, const Expr&);
DREVEL_COMPARISON_OPERATORS(DREVEL_COMPARISON_HANDLERS)
#undef DREVEL_COMPARISON_HANDLERS

} // namespace drevel
