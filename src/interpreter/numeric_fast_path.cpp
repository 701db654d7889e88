// Arithmetic over names and number literals evaluated in machine numbers,
// without building a value per node. It follows the Number and Float rows of
// the operator table exactly and gives up (with no effect) wherever they
// would fail or another row applies; the general path then takes over and
// reports as usual.
#include <cmath>

#include "interpreter/arithmetic.h"
#include "interpreter/interpreter.h"

namespace drevel {

namespace {

// One arithmetic operator on two numbers, by the Number and Float rows.
[[gnu::always_inline]] inline Interpreter::Numeric arithmetic(TokenKind op, Interpreter::Numeric l,
                                                              Interpreter::Numeric r) {
    using Numeric = Interpreter::Numeric;
    if (l.kind == Numeric::Int && r.kind == Numeric::Int) {
        int64_t x = l.i, y = r.i;
        switch (op) {
        case TokenKind::Plus: return Numeric::integer(int64_t(uint64_t(x) + uint64_t(y)));
        case TokenKind::Minus: return Numeric::integer(int64_t(uint64_t(x) - uint64_t(y)));
        case TokenKind::Star: return Numeric::integer(int64_t(uint64_t(x) * uint64_t(y)));
        case TokenKind::Slash:
            if (y == 0) return Numeric{};
            return Numeric::integer(y == -1 ? int64_t(0 - uint64_t(x)) : x / y);
        case TokenKind::Percent:
            if (y == 0) return Numeric{};
            return Numeric::integer(y == -1 ? 0 : x % y);
        case TokenKind::Power: return Numeric::integer(wrapping_power(x, y));
        default: return Numeric{};
        }
    }
    double x = l.kind == Numeric::Float ? l.f : double(l.i);
    double y = r.kind == Numeric::Float ? r.f : double(r.i);
    switch (op) {
    case TokenKind::Plus: return Numeric::real(x + y);
    case TokenKind::Minus: return Numeric::real(x - y);
    case TokenKind::Star: return Numeric::real(x * y);
    case TokenKind::Slash:
        if (y == 0.0) return Numeric{};
        return Numeric::real(x / y);
    case TokenKind::Percent: return Numeric::real(std::fmod(x, y));
    case TokenKind::Power: return Numeric::real(std::pow(x, y));
    default: return Numeric{};
    }
}

// A comparison of two numbers, by the Number and Float rows.
[[gnu::always_inline]] inline bool compare(TokenKind op, Interpreter::Numeric l,
                                           Interpreter::Numeric r) {
    using Numeric = Interpreter::Numeric;
    bool result;
    if (l.kind == Numeric::Int && r.kind == Numeric::Int) {
        switch (op) {
        case TokenKind::Less: result = l.i < r.i; break;
        case TokenKind::Greater: result = l.i > r.i; break;
        case TokenKind::LessEqual: result = l.i <= r.i; break;
        case TokenKind::GreaterEqual: result = l.i >= r.i; break;
        case TokenKind::Equal: result = l.i == r.i; break;
        default: result = l.i != r.i; break;
        }
    } else {
        double x = l.kind == Numeric::Float ? l.f : double(l.i);
        double y = r.kind == Numeric::Float ? r.f : double(r.i);
        switch (op) {
        case TokenKind::Less: result = x < y; break;
        case TokenKind::Greater: result = x > y; break;
        case TokenKind::LessEqual: result = x <= y; break;
        case TokenKind::GreaterEqual: result = x >= y; break;
        case TokenKind::Equal: result = std::fabs(x - y) < kFloatTolerance; break;
        default: result = std::fabs(x - y) >= kFloatTolerance; break;
        }
    }
    return result;
}

bool is_comparison(TokenKind op) {
    return op == TokenKind::Less || op == TokenKind::Greater || op == TokenKind::LessEqual ||
           op == TokenKind::GreaterEqual || op == TokenKind::Equal || op == TokenKind::NotEqual;
}

} // namespace

Interpreter::Numeric Interpreter::numeric_value(const Expr& expr) const {
    switch (expr.kind) {
    case ExprKind::Number: return Numeric::integer(static_cast<const NumberExpr&>(expr).value);
    case ExprKind::Float: return Numeric::real(static_cast<const FloatExpr&>(expr).value);
    case ExprKind::Identifier: {
        const Value* v = find(static_cast<const IdentifierExpr&>(expr).symbol);
        if (!v) return Numeric{};
        if (v->kind() == ValueKind::Number) return Numeric::integer(v->as_number());
        if (v->kind() == ValueKind::Float) return Numeric::real(v->as_float());
        return Numeric{};
    }
    case ExprKind::Index: {
        auto& index = static_cast<const IndexExpr&>(expr);
        const Value* object = find(static_cast<const IdentifierExpr&>(*index.object).symbol);
        if (!object) return Numeric{};
        const Value* element = nullptr;
        if (object->kind() == ValueKind::Dict && index.index->kind == ExprKind::String) {
            const DictMap& map = object->entries();
            auto it = map.find(static_cast<const StringExpr&>(*index.index).key());
            if (it != map.end()) element = &it->second;
        } else if (object->kind() == ValueKind::Array && index.index->kind == ExprKind::Number) {
            int64_t i = static_cast<const NumberExpr&>(*index.index).value;
            if (i >= 0 && uint64_t(i) < object->items().size())
                element = &object->items()[size_t(i)];
        }
        if (element && element->kind() == ValueKind::Number)
            return Numeric::integer(element->as_number());
        if (element && element->kind() == ValueKind::Float)
            return Numeric::real(element->as_float());
        return Numeric{};
    }
    case ExprKind::UnaryOp: {
        Numeric n = numeric_value(*static_cast<const UnaryOpExpr&>(expr).operand);
        if (n.kind == Numeric::Float)
            n.f = -n.f;
        else if (n.kind == Numeric::Int)
            n.i = int64_t(0 - uint64_t(n.i));
        return n;
    }
    case ExprKind::BinaryOp: {
        auto& b = static_cast<const BinaryOpExpr&>(expr);
        Numeric l = numeric_operand(*b.left);
        if (l.kind == Numeric::None) return l;
        Numeric r = numeric_operand(*b.right);
        if (r.kind == Numeric::None) return r;
        return arithmetic(b.op, l, r);
    }
    default: return Numeric{};
    }
}

Value Interpreter::evaluate_numeric(const BinaryOpExpr& expr) {
    switch (expr.op) {
    case TokenKind::Less:
    case TokenKind::Greater:
    case TokenKind::LessEqual:
    case TokenKind::GreaterEqual:
    case TokenKind::Equal:
    case TokenKind::NotEqual: break;
    default: {
        Numeric l = numeric_operand(*expr.left);
        if (l.kind == Numeric::None) return numeric_fallback(expr);
        Numeric r = numeric_operand(*expr.right);
        if (r.kind == Numeric::None) return numeric_fallback(expr);
        Numeric n = arithmetic(expr.op, l, r);
        if (n.kind == Numeric::None) return numeric_fallback(expr);
        return n.kind == Numeric::Float ? Value::floating(n.f) : Value::number(n.i);
    }
    }
    Numeric l = numeric_operand(*expr.left);
    if (l.kind == Numeric::None) return numeric_fallback(expr);
    Numeric r = numeric_operand(*expr.right);
    if (r.kind == Numeric::None) return numeric_fallback(expr);
    return Value::boolean(compare(expr.op, l, r));
}

int Interpreter::condition_truth(const Expr& expr, Value& failure) {
    if (expr.kind == ExprKind::BinaryOp) {
        auto& binary = static_cast<const BinaryOpExpr&>(expr);
        if (binary.numeric && is_comparison(binary.op)) {
            Numeric l = numeric_operand(*binary.left);
            if (l.kind != Numeric::None) {
                Numeric r = numeric_operand(*binary.right);
                if (r.kind != Numeric::None) return compare(binary.op, l, r);
            }
        }
    }
    Value value = evaluate(expr);
    if (value.is_error()) {
        failure = std::move(value);
        return -1;
    }
    return is_truthy(value);
}

// The general path, for operands the numbers cannot handle. The subtree runs
// no code, so nothing else can see the flag.
Value Interpreter::numeric_fallback(const BinaryOpExpr& expr) {
    numeric_failed_ = true;
    Value result = evaluate_binary(expr);
    numeric_failed_ = false;
    return result;
}

} // namespace drevel
