// Literals: numbers, floats, truth values and texts written in the source.
// Each evaluates to the same value every time; a text's value is made once,
// when its node is resolved.
#include "interpreter/interpreter.h"

namespace drevel {

Value Interpreter::number_literal(Interpreter&, const Expr& e) {
    return Value::number(static_cast<const NumberExpr&>(e).value);
}
Value Interpreter::float_literal(Interpreter&, const Expr& e) {
    return Value::floating(static_cast<const FloatExpr&>(e).value);
}
Value Interpreter::boolean_literal(Interpreter&, const Expr& e) {
    return Value::boolean(static_cast<const BooleanExpr&>(e).value);
}
Value Interpreter::string_literal(Interpreter&, const Expr& e) {
    return literal_text(static_cast<const StringExpr&>(e)).value;
}

Numeric Interpreter::number_integer(const Interpreter&, const Expr& e) {
    return Numeric::integer(static_cast<const NumberExpr&>(e).value);
}
Numeric Interpreter::number_float(const Interpreter&, const Expr& e) {
    return Numeric::real(static_cast<const FloatExpr&>(e).value);
}

void Interpreter::choose_literal(const Expr& expr) {
    switch (expr.kind) {
    case ExprKind::Number:
        return settle(expr, kNumeric, handler(&number_literal), number_handler(&number_integer));
    case ExprKind::Float:
        return settle(expr, kNumeric, handler(&float_literal), number_handler(&number_float));
    case ExprKind::Boolean: return settle(expr, 0, handler(&boolean_literal));
    case ExprKind::String: {
        auto& e = static_cast<const StringExpr&>(expr);
        if (!e.literal.get()) {
            e.literal.set(new LiteralText{Value::string(e.value), DictKey(e.value)},
                          [](void* p) { delete static_cast<LiteralText*>(p); });
        }
        return settle(expr, 0, handler(&string_literal));
    }
    default: throw std::logic_error("not a literal");
    }
}

} // namespace drevel
