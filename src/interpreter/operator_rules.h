// The Number and Float rows of the binary operator table as small inline
// primitives. The table itself (arithmetic.cpp), the general evaluation and
// every fast path call these, so each rule exists once. A row that fails
// (division or modulo by zero, an operator the row does not support) gives
// Numeric::None here; the table writes its message.
#pragma once

#include <cmath>
#include <cstdint>

#include "interpreter/value.h"
#include "lexer/token.h"

namespace drevel {

// Doubles closer than this are equal (Equal, NotEqual and match patterns).
inline constexpr double kFloatTolerance = 2.220446049250313e-16;

// Negation wraps around: the most negative Number negates to itself.
inline int64_t wrapping_negation(int64_t n) {
    return int64_t(0 - uint64_t(n));
}

// Integer power: the exponent is the low 32 bits, unsigned; products wrap.
inline int64_t wrapping_power(int64_t base, int64_t exponent) {
    uint32_t e = uint32_t(uint64_t(exponent));
    uint64_t result = 1, b = uint64_t(base);
    while (e) {
        if (e & 1) result *= b;
        b *= b;
        e >>= 1;
    }
    return int64_t(result);
}

// Both are false when either side is NaN (so are equal infinities).
inline bool floats_equal(double a, double b) {
    return std::fabs(a - b) < kFloatTolerance;
}
inline bool floats_differ(double a, double b) {
    return std::fabs(a - b) >= kFloatTolerance;
}

// A number while arithmetic runs in machine numbers: two words, returned in
// registers.
struct Numeric {
    enum Kind : uint8_t { None, Int, Float, Bool };
    union {
        int64_t i;
        double f;
    };
    Kind kind = None;
    static Numeric integer(int64_t v) {
        Numeric n;
        n.i = v;
        n.kind = Int;
        return n;
    }
    static Numeric real(double v) {
        Numeric n;
        n.f = v;
        n.kind = Float;
        return n;
    }
    static Numeric truth(bool v) { // read back as i != 0
        Numeric n;
        n.i = v;
        n.kind = Bool;
        return n;
    }
    double as_double() const { return kind == Float ? f : double(i); }
};

// The ordering comparisons, alike for integers and doubles (no tolerance;
// false when either double is NaN). Any other operator gives None.
template <typename T> [[gnu::always_inline]] inline Numeric ordering(TokenKind op, T a, T b) {
    switch (op) {
    case TokenKind::Less: return Numeric::truth(a < b);
    case TokenKind::Greater: return Numeric::truth(a > b);
    case TokenKind::LessEqual: return Numeric::truth(a <= b);
    case TokenKind::GreaterEqual: return Numeric::truth(a >= b);
    default: return Numeric{};
    }
}

// The comparisons of two Numbers and of two doubles; None for any other
// operator. Conditions use these alone.
[[gnu::always_inline]] inline Numeric integer_comparison(TokenKind op, int64_t a, int64_t b) {
    if (op == TokenKind::Equal) return Numeric::truth(a == b);
    if (op == TokenKind::NotEqual) return Numeric::truth(a != b);
    return ordering(op, a, b);
}
[[gnu::always_inline]] inline Numeric float_comparison(TokenKind op, double a, double b) {
    if (op == TokenKind::Equal) return Numeric::truth(floats_equal(a, b));
    if (op == TokenKind::NotEqual) return Numeric::truth(floats_differ(a, b));
    return ordering(op, a, b);
}
[[gnu::always_inline]] inline Numeric comparison_row(TokenKind op, Numeric l, Numeric r) {
    if (l.kind == Numeric::Int && r.kind == Numeric::Int) return integer_comparison(op, l.i, r.i);
    return float_comparison(op, l.as_double(), r.as_double());
}

// Integer division and remainder: None for a zero divisor; the one quotient
// that does not fit wraps to itself.
[[gnu::always_inline]] inline Numeric integer_quotient(int64_t a, int64_t b) {
    if (b == 0) return Numeric{};
    return Numeric::integer(b == -1 ? wrapping_negation(a) : a / b);
}
[[gnu::always_inline]] inline Numeric integer_remainder(int64_t a, int64_t b) {
    if (b == 0) return Numeric{};
    return Numeric::integer(b == -1 ? 0 : a % b);
}

// The arithmetic operators, one row each: the token, its rule on two Numbers
// and its rule on two doubles (each an expression of a and b giving a
// Numeric, None where the row fails), and the message of that failure
// (nullptr for none). The operator table, the fast paths and the
// evaluator's handlers for arithmetic are all made from this list; the
// token's row (lexer/token.h) gives its spelling and precedence.
// clang-format off
#define DREVEL_ARITHMETIC_OPERATORS(X)                                                             \
    X(Plus, Numeric::integer(int64_t(uint64_t(a) + uint64_t(b))), Numeric::real(a + b), nullptr)   \
    X(Minus, Numeric::integer(int64_t(uint64_t(a) - uint64_t(b))), Numeric::real(a - b), nullptr)  \
    X(Star, Numeric::integer(int64_t(uint64_t(a) * uint64_t(b))), Numeric::real(a * b), nullptr)   \
    X(Slash, integer_quotient(a, b), b == 0.0 ? Numeric{} : Numeric::real(a / b),                  \
      "Division by zero")                                                                          \
    X(Percent, integer_remainder(a, b), Numeric::real(std::fmod(a, b)), "Modulo by zero")          \
    X(Power, Numeric::integer(wrapping_power(a, b)), Numeric::real(std::pow(a, b)), nullptr)
// The comparisons, whose rows are integer_comparison and float_comparison.
#define DREVEL_COMPARISON_OPERATORS(X)                                                             \
    X(Less) X(Greater) X(LessEqual) X(GreaterEqual) X(Equal) X(NotEqual)
// clang-format on

// Two Numbers, without the row's failures.
[[gnu::always_inline]] inline Numeric integer_row(TokenKind op, int64_t a, int64_t b) {
    switch (op) {
#define DREVEL_INTEGER_RULE(name, integer, real, failure)                                          \
    case TokenKind::name: return integer;
        DREVEL_ARITHMETIC_OPERATORS(DREVEL_INTEGER_RULE)
#undef DREVEL_INTEGER_RULE
    default: return integer_comparison(op, a, b);
    }
}

// Two doubles (two Floats, or a Number beside a Float), without the rows'
// failures.
[[gnu::always_inline]] inline Numeric float_row(TokenKind op, double a, double b) {
    switch (op) {
#define DREVEL_FLOAT_RULE(name, integer, real, failure)                                            \
    case TokenKind::name: return real;
        DREVEL_ARITHMETIC_OPERATORS(DREVEL_FLOAT_RULE)
#undef DREVEL_FLOAT_RULE
    default: return float_comparison(op, a, b);
    }
}

// The message of an arithmetic row that gives None; nullptr when the
// operator is no arithmetic one or its rows do not fail.
constexpr const char* arithmetic_failure(TokenKind op) {
    switch (op) {
#define DREVEL_ROW_FAILURE(name, integer, real, failure)                                           \
    case TokenKind::name: return failure;
        DREVEL_ARITHMETIC_OPERATORS(DREVEL_ROW_FAILURE)
#undef DREVEL_ROW_FAILURE
    default: return nullptr;
    }
}

// Whether the operator has an arithmetic row.
constexpr bool has_arithmetic_rows(TokenKind op) {
    switch (op) {
#define DREVEL_HAS_ROWS(name, ...) case TokenKind::name:
        DREVEL_ARITHMETIC_OPERATORS(DREVEL_HAS_ROWS)
#undef DREVEL_HAS_ROWS
        return true;
    default: return false;
    }
}

// Any two numbers: a Number beside a Float is converted to the nearest double.
[[gnu::always_inline]] inline Numeric numeric_row(TokenKind op, Numeric l, Numeric r) {
    if (l.kind == Numeric::Int && r.kind == Numeric::Int) return integer_row(op, l.i, r.i);
    return float_row(op, l.as_double(), r.as_double());
}

// A value's number, or None for any other kind.
inline Numeric numeric_of(const Value& v) {
    if (v.kind() == ValueKind::Number) return Numeric::integer(v.as_number());
    if (v.kind() == ValueKind::Float) return Numeric::real(v.as_float());
    return Numeric{};
}
inline Value value_of(Numeric n) {
    if (n.kind == Numeric::Int) return Value::number(n.i);
    if (n.kind == Numeric::Float) return Value::floating(n.f);
    return Value::boolean(n.i != 0);
}

} // namespace drevel
