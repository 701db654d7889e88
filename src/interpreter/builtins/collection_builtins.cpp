// Builtins on arrays (and len on texts and dicts). They never change a
// script's variable: each works on its own argument and returns a new value.
#include <algorithm>

#include "interpreter/builtins/core.h"

namespace drevel::builtins {

Value len(Value* args, size_t count, NativeContext&) {
    if (count == 0) return Value();
    switch (args[0].kind()) {
    case ValueKind::String: return Value::number(int64_t(args[0].text().size()));
    case ValueKind::Array: return Value::number(int64_t(args[0].items().size()));
    case ValueKind::Dict: return Value::number(int64_t(args[0].entries().size()));
    default: return Value();
    }
}

Value push(Value* args, size_t count, NativeContext&) {
    if (count < 2 || args[0].kind() != ValueKind::Array) return Value();
    // The arguments belong to this call and are discarded after it, so the
    // array is taken over: when no variable shares it, it grows in place.
    Value result = std::move(args[0]);
    result.mutable_items().push_back(args[1]);
    return result;
}

Value pop(Value* args, size_t count, NativeContext&) {
    if (count == 0 || args[0].kind() != ValueKind::Array || args[0].items().empty()) return Value();
    return args[0].items().back();
}

Value reverse(Value* args, size_t count, NativeContext&) {
    if (count == 0 || args[0].kind() != ValueKind::Array) return Value();
    Value result = std::move(args[0]);
    std::vector<Value>& items = result.mutable_items();
    std::reverse(items.begin(), items.end());
    return result;
}

// The rows: name, function.
constexpr BuiltinEntry kRows[] = {
    {"len", len, takes(1)},
    {"push", push, takes(2)},
    {"pop", pop, takes(1)},
    {"reverse", reverse, takes(1)},
};

std::span<const BuiltinEntry> collection_builtins() {
    return kRows;
}

} // namespace drevel::builtins
