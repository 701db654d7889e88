// Members and elements: array and dict literals, ranges, and indexing
// (a[i], d["k"], d.k, and m.x reading an imported module's export). An
// element stored under a name is read in place, without evaluating the
// object, when the index is a text literal or arithmetic over names and
// numbers.
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

// ---- literals ----

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
    // Built where it stays: no code the entries run can reach it.
    Value dict = Value::empty_dict(expr.entries.size());
    Dict& map = dict.mutable_entries();
    for (size_t i = 0; i < expr.entries.size(); ++i) {
        Value v = in.evaluate(*expr.entries[i].second);
        DREVEL_TRY(v);
        map.insert_or_assign(keys[i].get(), std::move(v));
    }
    return dict;
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

// ---- indexing: the general rule ----

Value Interpreter::index_general(Interpreter& in, const Expr& e) {
    return in.evaluate_index(static_cast<const IndexExpr&>(e));
}

Value Interpreter::evaluate_index(const IndexExpr& expr) {
    if (expr.object->kind == ExprKind::Identifier && expr.index->kind == ExprKind::String) {
        // m.x on an imported module reads its export x, unless a variable
        // holds the name m.
        auto& name = static_cast<const IdentifierExpr&>(*expr.object);
        if (!find_visible(read_name(name)) && modules_.count(name.name))
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

// ---- stored elements ----

[[gnu::always_inline]] inline const Value* Interpreter::element_in(const Value* object,
                                                                   const IndexExpr& index) const {
    if (!object) return nullptr;
    if (object->kind() == ValueKind::Dict) {
        if (index.index->kind == ExprKind::String) {
            auto& key = static_cast<const StringExpr&>(*index.index);
            return object->entries().find(literal_text(key).key.get(), index.key_slot);
        }
        if (index.index->kind != ExprKind::Identifier) return nullptr;
        return entry_by_name(*object, static_cast<const IdentifierExpr&>(*index.index));
    } else if (object->kind() == ValueKind::Array) {
        // A Number index only: every other kind is refused by the rule.
        Numeric i = operand_number(*index.index);
        if (i.kind == Numeric::Int && i.i >= 0 && uint64_t(i.i) < object->items().size())
            return &object->items()[size_t(i.i)];
    }
    return nullptr;
}

// A dict's entry under the text a name holds (d[word]), looked up as the rule
// looks up a text. Out of line: the common reads keep their registers.
const Value* Interpreter::entry_by_name(const Value& dict, const IdentifierExpr& name) const {
    const Value* key = find(read_name(name));
    if (!key || key->kind() != ValueKind::String) return nullptr;
    return dict.entries().find(key->text(), key->text_key_hash());
}

// The object is a name or itself a stored element (grid[r][c]), and the index
// a text literal or arithmetic over names and numbers (xs[i + 1],
// grid[(r + 1) % rows]), worked out in machine numbers: no value is built on
// the way to the element. A name's element, the common case, takes no call
// of its own for the object.
const Value* Interpreter::stored_element(const IndexExpr& index) const {
    if (index.object->kind != ExprKind::Identifier) [[unlikely]]
        return nested_element(index);
    return element_in(find(read_name(static_cast<const IdentifierExpr&>(*index.object))), index);
}

const Value* Interpreter::nested_element(const IndexExpr& index) const {
    return element_in(stored_element(static_cast<const IndexExpr&>(*index.object)), index);
}

Value Interpreter::index_numeric(Interpreter& in, const Expr& e) {
    auto& index = static_cast<const IndexExpr&>(e);
    if (const Value* element = in.stored_element(index)) return *element;
    return in.evaluate_index(index);
}

Numeric Interpreter::number_element(const Interpreter& in, const Expr& e) {
    const Value* element = in.stored_element(static_cast<const IndexExpr&>(e));
    return element ? numeric_of(*element) : Numeric{};
}

// ---- the choice ----

void Interpreter::choose_element(const Expr& expr) {
    switch (expr.kind) {
    case ExprKind::Array: return settle(expr, 0, handler(&array_literal));
    case ExprKind::Dict: {
        auto& e = static_cast<const DictExpr&>(expr);
        if (!e.keys.get()) {
            e.keys.set(new std::vector<DictKey>(intern_keys(e.entries)),
                       [](void* p) { delete static_cast<std::vector<DictKey>*>(p); });
        }
        return settle(expr, 0, handler(&dict_literal));
    }
    case ExprKind::Index: {
        auto& e = static_cast<const IndexExpr&>(expr);
        // d["k"], d.k, a[0], a[j], a[i + 1] and a[(r + 1) % n] on a name, or
        // on such an element (grid[r][c]), read a stored value and run no code.
        bool stored_object = e.object->kind == ExprKind::Identifier ||
                             (e.object->kind == ExprKind::Index && is_numeric_candidate(*e.object));
        uint32_t flags = 0;
        if (stored_object && (e.index->kind == ExprKind::String || is_numeric_candidate(*e.index)))
            flags = kNumeric;
        NodeHandler chosen =
            flags && fast_paths_ ? handler(&index_numeric) : handler(&index_general);
        return settle(expr, flags, chosen, number_handler(&number_element));
    }
    case ExprKind::Range: return settle(expr, 0, handler(&range_general));
    default: throw std::logic_error("not a collection or an element");
    }
}

} // namespace drevel
