// Expression evaluation. Every failure becomes an Error value, reported once
// by the operation that detects it and passed outward silently.
#include <cmath>

#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

namespace {

// A Float range bound truncates toward zero and saturates; NaN gives 0.
bool range_bound(const Value& v, int64_t& out) {
    if (v.kind() == ValueKind::Number)
        out = v.as_number();
    else if (v.kind() == ValueKind::Float)
        out = saturating_to_int(v.as_float());
    else
        return false;
    return true;
}

constexpr uint64_t kMaxRangeLength = 100000000;

// The messages of the handlers below, out of line so that a handler's common
// path saves no registers for building them.
[[gnu::cold, gnu::noinline]] Value undefined_variable(const std::string& name) {
    return fail("Undefined variable '" + name + "'");
}
[[gnu::cold, gnu::noinline]] Value cannot_negate(const Value& operand) {
    return fail("Cannot negate " + std::string(type_name(operand)));
}
[[gnu::cold, gnu::noinline]] Value array_index_not_number(const Value& index) {
    return fail("Array index must be a number, got " + std::string(type_name(index)));
}
[[gnu::cold, gnu::noinline]] Value array_index_out_of_bounds(int64_t i, size_t length) {
    return fail("Array index out of bounds: " + std::to_string(i) +
                " (length: " + std::to_string(length) + ")");
}
[[gnu::cold, gnu::noinline]] Value dict_key_not_string(const Value& index) {
    return fail("Dictionary key must be a string, got " + std::string(type_name(index)));
}
[[gnu::cold, gnu::noinline]] Value dict_key_missing(std::string_view key) {
    return fail("Dictionary key '" + std::string(key) + "' not found");
}
[[gnu::cold, gnu::noinline]] Value cannot_index(const Value& object, const Value& index) {
    return fail("Cannot index " + std::string(type_name(object)) + " with " +
                std::string(type_name(index)));
}

} // namespace

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

Value Interpreter::identifier_read(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const IdentifierExpr&>(e);
    if (const Value* v = in.find(expr.symbol)) return *v;
    return undefined_variable(expr.name);
}

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

Value Interpreter::array_literal(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const ArrayExpr&>(e);
    std::vector<Value> items;
    items.reserve(expr.elements.size());
    for (const ExprPtr& element : expr.elements) {
        Value v = in.evaluate(*element);
        DREVEL_TRY(v);
        items.push_back(std::move(v));
    }
    return Value::array(std::move(items));
}

Value Interpreter::dict_literal(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const DictExpr&>(e);
    const std::vector<DictKey>& keys = literal_keys(expr);
    Dict map(expr.entries.size());
    for (size_t i = 0; i < expr.entries.size(); ++i) {
        Value v = in.evaluate(*expr.entries[i].second);
        DREVEL_TRY(v);
        map.insert_or_assign(keys[i].get(), std::move(v));
    }
    return Value::dict(std::move(map));
}

Value Interpreter::index_general(Interpreter& in, const Expr& e) {
    return in.evaluate_index(static_cast<const IndexExpr&>(e));
}

Value Interpreter::evaluate_index(const IndexExpr& expr) {
    if (expr.object->kind == ExprKind::Identifier && expr.index->kind == ExprKind::String) {
        // m.x on an imported module reads its export x, unless a variable
        // holds the name m.
        auto& name = static_cast<const IdentifierExpr&>(*expr.object);
        if (!find(name.symbol) && modules_.count(name.name))
            return get_variable(name.name + "." +
                                static_cast<const StringExpr&>(*expr.index).value);
    }
    Value object_value, index_value_holder;
    const Value& object = operand(*expr.object, object_value, runs_no_code(*expr.index));
    DREVEL_TRY(object);
    if (fast_paths_ && expr.index->kind == ExprKind::String && object.kind() == ValueKind::Dict) {
        // A literal key, interned: the slot where it was found last is tried first.
        auto& key = static_cast<const StringExpr&>(*expr.index);
        if (const Value* found = object.entries().find(literal_text(key).key.get(), expr.key_slot))
            return *found;
    }
    const Value& index = operand(*expr.index, index_value_holder, true);
    DREVEL_TRY(index);
    return index_value(object, index);
}

Value Interpreter::index_value(const Value& object, const Value& index) {
    if (object.kind() == ValueKind::Array) {
        if (index.kind() != ValueKind::Number) return array_index_not_number(index);
        const std::vector<Value>& items = object.items();
        int64_t i = index.as_number();
        if (i < 0 || uint64_t(i) >= items.size()) return array_index_out_of_bounds(i, items.size());
        return items[size_t(i)];
    }
    if (object.kind() == ValueKind::Dict) {
        if (index.kind() != ValueKind::String) return dict_key_not_string(index);
        const Value* found = object.entries().find(index.text(), index.text_key_hash());
        if (!found) return dict_key_missing(index.text());
        return *found;
    }
    return cannot_index(object, index);
}

Value Interpreter::range_bounds(const RangeExpr& expr, int64_t& start, int64_t& end) {
    Value start_value = evaluate(*expr.start);
    Value end_value = evaluate(*expr.end);
    if (!range_bound(start_value, start) || !range_bound(end_value, end)) {
        return fail("Range start and end must be numbers");
    }
    if (start < end) {
        uint64_t length = uint64_t(end) - uint64_t(start);
        if (length > kMaxRangeLength) return fail("Range too large: " + std::to_string(length));
    }
    return Value();
}

Value Interpreter::range_general(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const RangeExpr&>(e);
    int64_t start = 0, end = 0;
    Value failure = in.range_bounds(expr, start, end);
    DREVEL_TRY(failure);
    if (start >= end) return Value::array({});
    in.charge_steps(uint64_t(end) - uint64_t(start)); // building it is work like a loop's
    std::vector<Value> items;
    items.reserve(size_t(uint64_t(end) - uint64_t(start)));
    for (int64_t i = start; i < end; ++i)
        items.push_back(Value::number(i));
    return Value::array(std::move(items));
}

} // namespace drevel
