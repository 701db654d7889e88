// Dicts and arrays. A function that changes a collection returns the changed
// one, taking over its first argument: when no variable shares it (x =
// set(x, ...) lets x go first), it changes in place.
#include <algorithm>
#include <cmath>
#include <vector>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/operator_rules.h"
#include "modules/std/std_functions.h"

namespace drevel::stdlib {

std::string with_article(std::string_view kind) {
    std::string out =
        std::string_view("aeiou").find(kind[0]) == std::string_view::npos ? "a " : "an ";
    out += kind;
    return out;
}

Value wrong_argument(std::string_view function, std::string_view needs, const Value& got) {
    std::string message(function);
    message += " requires ";
    message += needs;
    message += ", not ";
    message += with_article(type_name(got));
    return Value::error(message);
}

Value failure(std::string_view function, std::string_view what) {
    std::string message(function);
    message += ": ";
    message += what;
    return Value::error(message);
}

bool whole_number(const Value& v, int64_t& out) {
    if (v.is(ValueKind::Number)) {
        out = v.as_number();
        return true;
    }
    if (v.is(ValueKind::Float) && std::trunc(v.as_float()) == v.as_float() &&
        std::fabs(v.as_float()) < 9.2e18) {
        out = int64_t(v.as_float());
        return true;
    }
    return false;
}

namespace {

// Dict keys in code-point order (byte order of UTF-8).
std::vector<std::pair<std::string_view, const Value*>> sorted_entries(const Dict& dict) {
    std::vector<std::pair<std::string_view, const Value*>> entries;
    entries.reserve(dict.size());
    for (auto [key, value] : dict)
        entries.emplace_back(key, &value);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

[[gnu::cold]] Value outside(std::string_view function, int64_t index, size_t size) {
    return failure(function, "index " + std::to_string(index) + " is outside the array of " +
                                 std::to_string(size) + " items");
}

// The index argument of an array function, checked against [0, limit].
bool array_index(const Value& v, size_t limit, int64_t& index) {
    return whole_number(v, index) && index >= 0 && uint64_t(index) <= limit;
}

Value index_failure(std::string_view function, const Value& index, size_t limit) {
    int64_t n;
    if (!whole_number(index, n)) return wrong_argument(function, "a whole-number index", index);
    return outside(function, n, limit);
}

// Equality as == has it for numbers, texts and booleans; null equals null.
bool same_value(const Value& a, const Value& b) {
    if (a.is_numeric() && b.is_numeric()) {
        if (a.is(ValueKind::Number) && b.is(ValueKind::Number))
            return a.as_number() == b.as_number();
        return floats_equal(numeric_to_float(a), numeric_to_float(b));
    }
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
    case ValueKind::String: return a.same_text(b);
    case ValueKind::Boolean: return a.as_boolean() == b.as_boolean();
    case ValueKind::Null: return true;
    default: return false;
    }
}

} // namespace

Value keys(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Dict)) return wrong_argument("keys", "a dict", args[0]);
    std::vector<Value> items;
    items.reserve(args[0].entries().size());
    for (const auto& entry : sorted_entries(args[0].entries()))
        items.push_back(Value::string(entry.first));
    return Value::array(std::move(items));
}

Value values(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Dict)) return wrong_argument("values", "a dict", args[0]);
    std::vector<Value> items;
    items.reserve(args[0].entries().size());
    for (const auto& entry : sorted_entries(args[0].entries()))
        items.push_back(*entry.second);
    return Value::array(std::move(items));
}

Value has(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Dict)) return wrong_argument("has", "a dict", args[0]);
    std::string storage;
    return Value::boolean(args[0].entries().find(argument_text(args[1], storage)) != nullptr);
}

Value get(Value* args, size_t, NativeContext&) {
    if (args[0].is(ValueKind::Dict)) {
        std::string storage;
        const Value* found = args[0].entries().find(argument_text(args[1], storage));
        return found ? *found : std::move(args[2]);
    }
    if (args[0].is(ValueKind::Array)) {
        const std::vector<Value>& items = args[0].items();
        int64_t index;
        if (!whole_number(args[1], index))
            return wrong_argument("get", "a whole-number index", args[1]);
        if (index < 0 || uint64_t(index) >= items.size()) return std::move(args[2]);
        return items[size_t(index)];
    }
    return wrong_argument("get", "a dict or an array", args[0]);
}

Value set(Value* args, size_t, NativeContext&) {
    Value result = std::move(args[0]);
    if (result.is(ValueKind::Dict)) {
        std::string storage;
        std::string_view key = argument_text(args[1], storage);
        result.mutable_entries().insert_or_assign(key, std::move(args[2]));
        return result;
    }
    if (result.is(ValueKind::Array)) {
        size_t size = result.items().size();
        int64_t index;
        if (!array_index(args[1], size, index) || size_t(index) == size)
            return index_failure("set", args[1], size);
        result.mutable_items()[size_t(index)] = std::move(args[2]);
        return result;
    }
    return wrong_argument("set", "a dict or an array", result);
}

Value insert(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Array)) return wrong_argument("insert", "an array", args[0]);
    Value result = std::move(args[0]);
    size_t size = result.items().size();
    int64_t index;
    if (!array_index(args[1], size, index)) return index_failure("insert", args[1], size);
    std::vector<Value>& items = result.mutable_items();
    items.insert(items.begin() + index, std::move(args[2]));
    return result;
}

Value remove(Value* args, size_t, NativeContext&) {
    Value result = std::move(args[0]);
    if (result.is(ValueKind::Dict)) {
        std::string storage;
        std::string_view key = argument_text(args[1], storage);
        // Only a dict that holds the key is copied (when shared) to lose it.
        if (result.entries().find(key)) result.mutable_entries().erase(key);
        return result;
    }
    if (result.is(ValueKind::Array)) {
        size_t size = result.items().size();
        int64_t index;
        if (!array_index(args[1], size, index) || size_t(index) == size)
            return index_failure("remove", args[1], size);
        std::vector<Value>& items = result.mutable_items();
        items.erase(items.begin() + index);
        return result;
    }
    return wrong_argument("remove", "a dict or an array", result);
}

Value slice(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Array)) return wrong_argument("slice", "an array", args[0]);
    int64_t start, end;
    if (!whole_number(args[1], start))
        return wrong_argument("slice", "a whole-number start", args[1]);
    if (!whole_number(args[2], end)) return wrong_argument("slice", "a whole-number end", args[2]);
    const std::vector<Value>& items = args[0].items();
    const int64_t size = int64_t(items.size());
    start = std::clamp<int64_t>(start, 0, size);
    end = std::clamp<int64_t>(end, start, size);
    return Value::array(std::vector<Value>(items.begin() + start, items.begin() + end));
}

Value index_of(Value* args, size_t, NativeContext&) {
    if (args[0].is(ValueKind::String)) {
        std::string storage;
        std::string_view text = args[0].text();
        size_t at = text.find(argument_text(args[1], storage));
        return Value::number(
            at == std::string_view::npos ? -1 : int64_t(character_count(text.substr(0, at))));
    }
    if (!args[0].is(ValueKind::Array))
        return wrong_argument("index_of", "an array or a text", args[0]);
    const std::vector<Value>& items = args[0].items();
    for (size_t i = 0; i < items.size(); ++i)
        if (same_value(items[i], args[1])) return Value::number(int64_t(i));
    return Value::number(-1);
}

Value join(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::Array)) return wrong_argument("join", "an array", args[0]);
    std::string storage;
    std::string_view separator = argument_text(args[1], storage);
    std::string out;
    bool first = true;
    for (const Value& item : args[0].items()) {
        if (!first) out += separator;
        first = false;
        if (item.is(ValueKind::String))
            out += item.text();
        else
            append_display_text(out, item);
    }
    return Value::string(out);
}

} // namespace drevel::stdlib
