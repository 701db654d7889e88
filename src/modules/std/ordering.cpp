// Sorting, and the functions that call a script function per item. Sorting
// orders a vector of keys with the items' positions (the positions break
// ties, which keeps it stable) and then moves the items into that order;
// comparisons never copy a Value.
#include <algorithm>
#include <cmath>
#include <vector>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/interpreter.h"
#include "modules/std/std_functions.h"

namespace drevel::stdlib {

namespace {

// What a sort key is, as messages name it.
std::string_view key_class(const Value& v) {
    if (v.is_numeric()) return "number";
    if (v.is(ValueKind::String)) return "text";
    return type_name(v);
}

[[gnu::cold]] Value unorderable(std::string_view function, const Value& a, const Value* b) {
    std::string what = "the ";
    what += function == "sort_by" ? "key function gave " : "array holds ";
    what += with_article(key_class(a));
    if (b) {
        what += " and ";
        what += with_article(key_class(*b));
    }
    what += ", which cannot be ordered";
    return failure(function, what);
}

template <typename Key>
void order_by(std::vector<std::pair<Key, uint32_t>>& keyed, std::vector<uint32_t>& order) {
    std::sort(keyed.begin(), keyed.end());
    order.resize(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].second;
}

// NaN after every other number, so that the order stays strict.
bool float_less(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

bool number_less(const Value& a, const Value& b) {
    if (a.is(ValueKind::Number) && b.is(ValueKind::Number)) return a.as_number() < b.as_number();
    return float_less(numeric_to_float(a), numeric_to_float(b));
}

// The positions of `keys` in ascending order, stable; or an Error naming
// the kinds that cannot be ordered together.
Value sort_order(std::string_view function, const std::vector<Value>& keys,
                 std::vector<uint32_t>& order) {
    const size_t n = keys.size();
    if (n == 0) return Value();
    bool all_integers = true, all_numbers = true, all_texts = true;
    for (const Value& k : keys) {
        all_integers &= k.is(ValueKind::Number);
        all_numbers &= k.is_numeric();
        all_texts &= k.is(ValueKind::String);
    }
    if (all_integers) {
        std::vector<std::pair<int64_t, uint32_t>> keyed(n);
        for (size_t i = 0; i < n; ++i)
            keyed[i] = {keys[i].as_number(), uint32_t(i)};
        order_by(keyed, order);
    } else if (all_texts) {
        std::vector<std::pair<std::string_view, uint32_t>> keyed(n);
        for (size_t i = 0; i < n; ++i)
            keyed[i] = {keys[i].text(), uint32_t(i)};
        order_by(keyed, order);
    } else if (all_numbers) {
        order.resize(n);
        for (size_t i = 0; i < n; ++i)
            order[i] = uint32_t(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return number_less(keys[a], keys[b]); });
    } else {
        const Value& first = keys[0];
        for (const Value& k : keys) {
            if (!k.is_numeric() && !k.is(ValueKind::String))
                return unorderable(function, k, nullptr);
            if (key_class(k) != key_class(first)) return unorderable(function, first, &k);
        }
    }
    return Value();
}

// The items (taken over from `array`) in the given order.
Value reordered(Value array, const std::vector<uint32_t>& order) {
    std::vector<Value> out;
    out.reserve(order.size());
    if (array.is_unique()) {
        std::vector<Value>& items = array.mutable_items();
        for (uint32_t i : order)
            out.push_back(std::move(items[i]));
    } else {
        const std::vector<Value>& items = array.items();
        for (uint32_t i : order)
            out.push_back(items[i]);
    }
    return Value::array(std::move(out));
}

bool is_callable(const Value& v) {
    return v.is(ValueKind::Function) || v.is(ValueKind::BuiltinFunction);
}

// What the function gives for each item, in order, called through the
// interpreter's ordinary call path; an Error result (reported where it
// arose) ends the loop and is returned.
Value results_for_each(NativeContext& context, const Value& function,
                       const std::vector<Value>& items, std::vector<Value>& results) {
    results.reserve(items.size());
    for (const Value& item : items) {
        Value argument = item;
        Value result = context.interpreter()->call_function(function, &argument, 1);
        if (result.is_error()) return result;
        results.push_back(std::move(result));
    }
    return Value();
}

// The checks every function taking an array and a function shares.
Value check_callback(std::string_view function, const Value* args, NativeContext& context) {
    if (!args[0].is(ValueKind::Array)) return wrong_argument(function, "an array", args[0]);
    if (!is_callable(args[1])) return wrong_argument(function, "a function", args[1]);
    if (!context.interpreter()) return failure(function, "no program is running");
    return Value();
}

} // namespace

Value sort(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Array)) return wrong_argument("sort", "an array", args[0]);
    const std::vector<Value>& items = args[0].items();
    if (std::all_of(items.begin(), items.end(),
                    [](const Value& v) { return v.is(ValueKind::Number); })) {
        // Equal whole numbers cannot be told apart, so there is no order to
        // keep: they sort where they are (in x = sort(x), in x's own array).
        Value result = std::move(args[0]);
        std::vector<Value>& numbers = result.mutable_items();
        std::sort(numbers.begin(), numbers.end(),
                  [](const Value& a, const Value& b) { return a.as_number() < b.as_number(); });
        return result;
    }
    std::vector<uint32_t> order;
    Value unordered = sort_order("sort", args[0].items(), order);
    DREVEL_TRY(unordered);
    return reordered(std::move(args[0]), order);
}

Value sort_by(Value* args, size_t, NativeContext& context) {
    Value unusable = check_callback("sort_by", args, context);
    DREVEL_TRY(unusable);
    std::vector<Value> keys;
    Value failed = results_for_each(context, args[1], args[0].items(), keys);
    DREVEL_TRY(failed);
    std::vector<uint32_t> order;
    Value unordered = sort_order("sort_by", keys, order);
    DREVEL_TRY(unordered);
    return reordered(std::move(args[0]), order);
}

Value map(Value* args, size_t, NativeContext& context) {
    Value unusable = check_callback("map", args, context);
    DREVEL_TRY(unusable);
    std::vector<Value> mapped;
    Value failed = results_for_each(context, args[1], args[0].items(), mapped);
    DREVEL_TRY(failed);
    return Value::array(std::move(mapped));
}

Value filter(Value* args, size_t, NativeContext& context) {
    Value unusable = check_callback("filter", args, context);
    DREVEL_TRY(unusable);
    const std::vector<Value>& items = args[0].items();
    std::vector<Value> verdicts;
    Value failed = results_for_each(context, args[1], items, verdicts);
    DREVEL_TRY(failed);
    std::vector<Value> kept;
    for (size_t i = 0; i < items.size(); ++i)
        if (is_truthy(verdicts[i])) kept.push_back(items[i]);
    return Value::array(std::move(kept));
}

Value compare(Value* args, size_t, NativeContext&) {
    std::string a_storage, b_storage;
    int c = argument_text(args[0], a_storage).compare(argument_text(args[1], b_storage));
    return Value::number(c < 0 ? -1 : c > 0 ? 1 : 0);
}

} // namespace drevel::stdlib
