// The JSON reader: any bytes give a value or an error naming a line and a
// column, and what it reads is written back as text that reads as the same value.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "interpreter/json.h"

namespace {

// Structural equality: dict entries are compared by key, since two dicts
// with the same entries may list them in different orders.
bool same(const drevel::Value& a, const drevel::Value& b) {
    using drevel::ValueKind;
    // A float with no fraction is written as an integer and reads back as one.
    if (a.is_numeric() && b.is_numeric())
        return drevel::numeric_to_float(a) == drevel::numeric_to_float(b);
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
    case ValueKind::Boolean: return a.as_boolean() == b.as_boolean();
    case ValueKind::String: return a.text() == b.text();
    case ValueKind::Array: {
        if (a.items().size() != b.items().size()) return false;
        for (size_t i = 0; i < a.items().size(); ++i)
            if (!same(a.items()[i], b.items()[i])) return false;
        return true;
    }
    case ValueKind::Dict: {
        if (a.entries().size() != b.entries().size()) return false;
        for (const auto& [key, item] : a.entries()) {
            const drevel::Value* other = b.entries().find(key);
            if (!other || !same(item, *other)) return false;
        }
        return true;
    }
    default: return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const drevel::Value value = drevel::json::parse(text);
    if (value.is_error()) {
        if (!value.text().starts_with("line ")) std::abort();
        return 0;
    }
    std::string written;
    drevel::json::append(written, value);
    const drevel::Value again = drevel::json::parse(written);
    if (again.is_error() || !same(value, again)) std::abort();
    return 0;
}
