// The binary operator table, by operand kinds. The first matching row applies.
#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"
#include "interpreter/operator_rules.h"

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
    if (op == TokenKind::Slash) return fail("Division by zero");
    if (op == TokenKind::Percent) return fail("Modulo by zero");
    return fail(unsupported + op_name(op));
}

} // namespace

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

} // namespace drevel
