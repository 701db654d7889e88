// The binary operator table, by operand kinds. The first matching row applies.
#include <cmath>

#include "interpreter/arithmetic.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

namespace {

Value fail(std::string message) {
    report_error(message);
    return Value::error(std::move(message));
}

std::string op_name(TokenKind op) {
    return std::string(token_kind_name(op));
}

Value number_row(int64_t a, TokenKind op, int64_t b) {
    switch (op) {
    case TokenKind::Plus: return Value::number(int64_t(uint64_t(a) + uint64_t(b)));
    case TokenKind::Minus: return Value::number(int64_t(uint64_t(a) - uint64_t(b)));
    case TokenKind::Star: return Value::number(int64_t(uint64_t(a) * uint64_t(b)));
    case TokenKind::Slash:
        if (b == 0) return fail("Division by zero");
        // The one quotient that does not fit wraps to itself.
        if (b == -1) return Value::number(int64_t(0 - uint64_t(a)));
        return Value::number(a / b);
    case TokenKind::Percent:
        if (b == 0) return fail("Modulo by zero");
        if (b == -1) return Value::number(0);
        return Value::number(a % b);
    case TokenKind::Power: return Value::number(wrapping_power(a, b));
    case TokenKind::Equal: return Value::boolean(a == b);
    case TokenKind::NotEqual: return Value::boolean(a != b);
    case TokenKind::Less: return Value::boolean(a < b);
    case TokenKind::Greater: return Value::boolean(a > b);
    case TokenKind::LessEqual: return Value::boolean(a <= b);
    case TokenKind::GreaterEqual: return Value::boolean(a >= b);
    default: return fail("Unsupported operation on numbers: " + op_name(op));
    }
}

// Doubles; mixed says a Number was converted, which changes the message for
// operators outside arithmetic and comparison.
Value float_row(double a, TokenKind op, double b, bool mixed) {
    switch (op) {
    case TokenKind::Plus: return Value::floating(a + b);
    case TokenKind::Minus: return Value::floating(a - b);
    case TokenKind::Star: return Value::floating(a * b);
    case TokenKind::Slash:
        if (b == 0.0) return fail("Division by zero");
        return Value::floating(a / b);
    case TokenKind::Percent: return Value::floating(std::fmod(a, b));
    case TokenKind::Power: return Value::floating(std::pow(a, b));
    case TokenKind::Equal: return Value::boolean(std::fabs(a - b) < kFloatTolerance);
    case TokenKind::NotEqual: return Value::boolean(std::fabs(a - b) >= kFloatTolerance);
    case TokenKind::Less: return Value::boolean(a < b);
    case TokenKind::Greater: return Value::boolean(a > b);
    case TokenKind::LessEqual: return Value::boolean(a <= b);
    case TokenKind::GreaterEqual: return Value::boolean(a >= b);
    default:
        return fail((mixed ? "Unsupported operation: " : "Unsupported operation on floats: ") +
                    op_name(op));
    }
}

} // namespace

Value Interpreter::binary_operation(Value left, TokenKind op, const Value& right) {
    ValueKind lk = left.kind(), rk = right.kind();
    if (lk == ValueKind::Number && rk == ValueKind::Number)
        return number_row(left.as_number(), op, right.as_number());
    if (lk == ValueKind::Float && rk == ValueKind::Float)
        return float_row(left.as_float(), op, right.as_float(), false);
    if ((lk == ValueKind::Number && rk == ValueKind::Float) ||
        (lk == ValueKind::Float && rk == ValueKind::Number)) {
        return float_row(numeric_to_float(left), op, numeric_to_float(right), true);
    }
    if (lk == ValueKind::String && rk == ValueKind::String) {
        switch (op) {
        case TokenKind::Plus:
            // A buffer nobody else holds grows in place.
            left.mutable_text() += right.text();
            return left;
        case TokenKind::Equal: return Value::boolean(left.text() == right.text());
        case TokenKind::NotEqual: return Value::boolean(left.text() != right.text());
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
