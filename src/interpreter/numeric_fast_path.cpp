// Arithmetic over names and number literals evaluated in machine numbers,
// without building a value per node. It applies the operator table's own
// Number and Float rows and gives up (with no effect) wherever they would
// fail or another row applies; the general path then takes over and reports
// as usual.
#include "interpreter/builtins/registry.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

Numeric Interpreter::number_none(const Interpreter&, const Expr&) {
    return Numeric{};
}
Numeric Interpreter::number_integer(const Interpreter&, const Expr& e) {
    return Numeric::integer(static_cast<const NumberExpr&>(e).value);
}
Numeric Interpreter::number_float(const Interpreter&, const Expr& e) {
    return Numeric::real(static_cast<const FloatExpr&>(e).value);
}
Numeric Interpreter::number_name(const Interpreter& in, const Expr& e) {
    const Value* v = in.find(static_cast<const IdentifierExpr&>(e).symbol);
    return v ? numeric_of(*v) : Numeric{};
}
Numeric Interpreter::number_element(const Interpreter& in, const Expr& e) {
    const Value* element = in.stored_element(static_cast<const IndexExpr&>(e));
    return element ? numeric_of(*element) : Numeric{};
}
Numeric Interpreter::number_negated(const Interpreter& in, const Expr& e) {
    Numeric n = in.numeric_value(*static_cast<const UnaryOpExpr&>(e).operand);
    if (n.kind == Numeric::Float)
        n.f = -n.f;
    else if (n.kind == Numeric::Int)
        n.i = wrapping_negation(n.i);
    return n;
}
// A builtin's rule on one number. With -D the call goes the general way,
// which writes its trace lines.
Numeric Interpreter::number_rule(const Interpreter& in, const Expr& e) {
    if (extra_debug) return Numeric{};
    auto& call = static_cast<const CallExpr&>(e);
    Numeric argument = in.operand_number(*call.args[0]);
    if (argument.kind == Numeric::None) return argument;
    return static_cast<const BuiltinEntry*>(call.bound)->number_rule(argument);
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
        const Value* v = find(static_cast<const IdentifierExpr&>(expr).symbol);
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

NodeHandler Interpreter::float_handler_for(const Expr& expr) {
    auto as_handler = [](FloatHandler h) { return reinterpret_cast<NodeHandler>(h); };
    // Only a binary operation's number handler sets kFloatResult.
    if (expr.kind != ExprKind::BinaryOp) return nullptr;
    switch (static_cast<const BinaryOpExpr&>(expr).op) {
#define DREVEL_FLOAT_ROW(op)                                                                       \
    case TokenKind::op: return as_handler(&float_binary<TokenKind::op>);
        DREVEL_NUMBER_OPERATORS(DREVEL_FLOAT_ROW)
#undef DREVEL_FLOAT_ROW
    default: return nullptr;
    }
}

NodeHandler Interpreter::number_handler_for(const Expr& expr) {
    auto as_handler = [](NumberHandler h) { return reinterpret_cast<NodeHandler>(h); };
    if (!(expr.flags & (kNumeric | kNumericRule))) return as_handler(&number_none);
    switch (expr.kind) {
    case ExprKind::Number: return as_handler(&number_integer);
    case ExprKind::Float: return as_handler(&number_float);
    case ExprKind::Identifier: return as_handler(&number_name);
    case ExprKind::Index: return as_handler(&number_element);
    case ExprKind::UnaryOp: return as_handler(&number_negated);
    case ExprKind::Call: return as_handler(&number_rule);
    case ExprKind::BinaryOp:
        switch (static_cast<const BinaryOpExpr&>(expr).op) {
#define DREVEL_NUMBER_ROW(op)                                                                      \
    case TokenKind::op: return as_handler(&number_binary<TokenKind::op>);
            DREVEL_NUMBER_OPERATORS(DREVEL_NUMBER_ROW)
#undef DREVEL_NUMBER_ROW
        default: break;
        }
        break;
    default: break;
    }
    return as_handler(&number_none);
}

[[gnu::always_inline]] inline const Value* Interpreter::element_in(const Value* object,
                                                                   const IndexExpr& index) const {
    if (!object) return nullptr;
    if (object->kind() == ValueKind::Dict && index.index->kind == ExprKind::String) {
        auto& key = static_cast<const StringExpr&>(*index.index);
        return object->entries().find(literal_text(key).key.get(), index.key_slot);
    } else if (object->kind() == ValueKind::Array) {
        // A Number index only: every other kind is refused by the rule.
        Numeric i = operand_number(*index.index);
        if (i.kind == Numeric::Int && i.i >= 0 && uint64_t(i.i) < object->items().size())
            return &object->items()[size_t(i.i)];
    }
    return nullptr;
}

// The object is a name or itself a stored element (grid[r][c]), and the index
// a text literal or arithmetic over names and numbers (xs[i + 1],
// grid[(r + 1) % rows]), worked out in machine numbers: no value is built on
// the way to the element. A name's element, the common case, takes no call
// of its own for the object.
const Value* Interpreter::stored_element(const IndexExpr& index) const {
    if (index.object->kind != ExprKind::Identifier) [[unlikely]]
        return nested_element(index);
    return element_in(find(static_cast<const IdentifierExpr&>(*index.object).symbol), index);
}

const Value* Interpreter::nested_element(const IndexExpr& index) const {
    return element_in(stored_element(static_cast<const IndexExpr&>(*index.object)), index);
}

Value Interpreter::index_numeric(Interpreter& in, const Expr& e) {
    auto& index = static_cast<const IndexExpr&>(e);
    if (const Value* element = in.stored_element(index)) return *element;
    return in.evaluate_index(index);
}

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

// name == "text" and chars[i] != "text": a String binding or stored element
// compared with the literal where both lie, as the operator table compares
// two texts. Any other value, an unbound name or a missing element goes the
// general way; finding the left operand runs no code.
template <bool Equal> Value Interpreter::text_equality(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    const Value* left = expr.left->kind == ExprKind::Identifier
                            ? in.find(static_cast<const IdentifierExpr&>(*expr.left).symbol)
                            : in.stored_element(static_cast<const IndexExpr&>(*expr.left));
    if (left && left->kind() == ValueKind::String) {
        const Value& right = literal_text(static_cast<const StringExpr&>(*expr.right)).value;
        return Value::boolean(left->same_text(right) == Equal);
    }
    return in.evaluate_binary(expr);
}

NodeHandler Interpreter::binary_handler_for(const BinaryOpExpr& expr, bool fast) {
    auto as_handler = [](ExprHandler h) { return reinterpret_cast<NodeHandler>(h); };
    bool stored_left = expr.left->kind == ExprKind::Identifier ||
                       (expr.left->kind == ExprKind::Index && is_numeric_candidate(*expr.left));
    if (fast && stored_left && expr.right->kind == ExprKind::String) {
        if (expr.op == TokenKind::Equal) return as_handler(&text_equality<true>);
        if (expr.op == TokenKind::NotEqual) return as_handler(&text_equality<false>);
    }
    // With the right operand a name or a literal, the general rule reads the
    // left one in place, which lets a text append grow its buffer.
    if (fast && !runs_no_code(*expr.right)) {
        switch (expr.op) {
#define DREVEL_VALUES_ROW(op)                                                                      \
    case TokenKind::op: return as_handler(&binary_values<TokenKind::op>);
            DREVEL_NUMBER_OPERATORS(DREVEL_VALUES_ROW)
#undef DREVEL_VALUES_ROW
        default: break;
        }
    }
    return as_handler(&binary_general);
}

int Interpreter::condition_truth(const Expr& expr, Value& failure) {
    Value value = evaluate(expr);
    if (value.is_error()) {
        failure = std::move(value);
        return -1;
    }
    return is_truthy(value);
}

} // namespace drevel
