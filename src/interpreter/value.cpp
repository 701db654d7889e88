#include "interpreter/value.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "interpreter/function_body.h"

namespace drevel {

// ---- construction and sharing ----

namespace {

uint64_t load64(const char* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

uint32_t load32(const char* p) noexcept {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

// Up to eight bytes as a little-endian word with zeros above, read with at
// most two loads that stay inside the text.
uint64_t load_small(const char* p, size_t n) noexcept {
    if (n >= 8) return load64(p);
    if (n >= 4) return uint64_t(load32(p)) | (uint64_t(load32(p + n - 4)) << (8 * (n - 4)));
    if (n == 0) return 0;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint64_t(u[0]) | (uint64_t(u[n / 2]) << (8 * (n / 2))) |
           (uint64_t(u[n - 1]) << (8 * (n - 1)));
}

// Up to fourteen bytes of text as one 128-bit little-endian number.
unsigned __int128 load_inline(const char* p, size_t n) noexcept {
    unsigned __int128 bytes = load_small(p, n < 8 ? n : 8);
    if (n > 8) bytes |= (unsigned __int128)load_small(p + 8, n - 8) << 64;
    return bytes;
}

} // namespace

static_assert(std::endian::native == std::endian::little, "inline texts assume little endian");

Value Value::inline_text(std::string_view text) noexcept {
    return inline_bytes(load_inline(text.data(), text.size()), text.size());
}

Value Value::inline_bytes(unsigned __int128 bytes, size_t size) noexcept {
    // Both words are composed in registers and stored whole.
    Value v;
    v.head_ = uint64_t(ValueKind::String) | (uint64_t(size) << 9) | (uint64_t(bytes) << 16);
    v.payload_.integer = int64_t(uint64_t(bytes >> 48));
    return v;
}

Value::TextObject* Value::new_text(ValueKind kind, std::string_view text, size_t capacity) {
    if (capacity > UINT32_MAX) throw std::length_error("text too long");
    // Short-lived texts come and go like small dicts: from the same pool.
    void* memory = allocate_block(sizeof(TextObject) + capacity);
    auto* object = new (memory) TextObject(kind, uint32_t(text.size()), uint32_t(capacity));
    if (!text.empty()) std::memcpy(object->data(), text.data(), text.size());
    return object;
}

Value Value::long_text(std::string_view text) {
    return heap(ValueKind::String, new_text(ValueKind::String, text, text.size()));
}

Value Value::error(std::string_view message) {
    return heap(ValueKind::Error, new_text(ValueKind::Error, message, message.size()));
}

Value Value::builtin_function(std::string_view qualified_name) {
    return heap(ValueKind::BuiltinFunction,
                new_text(ValueKind::BuiltinFunction, qualified_name, qualified_name.size()));
}

Value Value::array(std::vector<Value> items) {
    return heap(ValueKind::Array, new ArrayObject(std::move(items)));
}

Value Value::dict(Dict entries) {
    return heap(ValueKind::Dict, new DictObject(std::move(entries)));
}

Value Value::empty_dict(size_t expected) {
    return heap(ValueKind::Dict, new DictObject(expected));
}

Value Value::function(FunctionBody* body) {
    return heap(ValueKind::Function, body);
}

Value Value::shape(ValueKind kind, ShapeFields fields) {
    return heap(kind, new ShapeObject(kind, fields));
}

Value Value::rect(int32_t x, int32_t y, uint32_t w, uint32_t h) {
    return shape(ValueKind::Rect, ShapeFields{{x, y, int32_t(w), int32_t(h), 0, 0}});
}

Value Value::circle(int32_t x, int32_t y, uint32_t radius) {
    return shape(ValueKind::Circle, ShapeFields{{x, y, int32_t(radius), 0, 0, 0}});
}

Value Value::triangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
    return shape(ValueKind::Triangle, ShapeFields{{x1, y1, x2, y2, x3, y3}});
}

void Value::destroy_heap() noexcept {
    HeapObject* object = payload_.object;
    switch (kind()) {
    case ValueKind::Function: delete payload_.function; break;
    case ValueKind::String:
    case ValueKind::Error:
    case ValueKind::BuiltinFunction: {
        auto* text = static_cast<TextObject*>(object);
        size_t bytes = sizeof(TextObject) + text->capacity;
        text->~TextObject();
        free_block(text, bytes);
        break;
    }
    case ValueKind::Array: delete static_cast<ArrayObject*>(object); break;
    case ValueKind::Dict: delete static_cast<DictObject*>(object); break;
    default: delete static_cast<ShapeObject*>(object); break;
    }
}

void Value::append_text(std::string_view more) {
    std::string_view current = text();
    size_t size = current.size() + more.size();
    if (!has_heap() && size <= kInlineTextMax) {
        unsigned __int128 bytes =
            (unsigned __int128)uint64_t(payload_.integer) << 48 | (head_ >> 16);
        bytes |= load_inline(more.data(), more.size()) << (8 * current.size());
        *this = inline_bytes(bytes, size);
        return;
    }
    auto* object = has_heap() ? static_cast<TextObject*>(payload_.object) : nullptr;
    if (!object || object->refs != 1 || object->capacity < size) {
        // A new buffer, doubled when it grows, so appends stay linear. `more`
        // may point into the old one, which lives until the copy is done.
        size_t capacity = std::max(size, 2 * kInlineTextMax);
        if (object && object->refs == 1)
            capacity = std::max(capacity, size_t(object->capacity) * 2);
        TextObject* grown = new_text(kind(), current, capacity);
        std::memcpy(grown->data() + current.size(), more.data(), more.size());
        grown->size = uint32_t(size);
        *this = heap(kind(), grown);
        return;
    }
    std::memmove(object->data() + object->size, more.data(), more.size());
    object->size = uint32_t(size);
    object->hash = 0;
}

uint64_t Value::text_key_hash() const noexcept {
    if (!has_heap()) return key_hash(text());
    auto* object = static_cast<TextObject*>(payload_.object);
    if (object->hash == 0) object->hash = key_hash(text());
    return object->hash;
}

void Value::unshare_items() {
    auto* object = static_cast<ArrayObject*>(payload_.object);
    payload_.object = new ArrayObject(object->items);
    --object->refs;
}

Dict& Value::mutable_entries() {
    auto* object = static_cast<DictObject*>(payload_.object);
    if (object->refs != 1) {
        auto* copy = new DictObject(Dict(object->map));
        --object->refs;
        payload_.object = object = copy;
    }
    return object->map;
}

// ---- the texts of values ----

std::string_view type_name(ValueKind kind) {
    static constexpr std::string_view kNames[] = {
        "number",           "float", "string", "boolean", "array",    "dict", "function",
        "builtin function", "rect",  "color",  "circle",  "triangle", "null", "error",
    };
    static_assert(std::size(kNames) == size_t(ValueKind::Error) + 1, "one name per kind");
    return kNames[int(kind)];
}

void append_float_display(std::string& out, double d) {
    if (append_non_finite(out, d)) return;
    // The shortest round-trip digits come from the scientific form; they are
    // then placed around the decimal point by hand, because the fixed form
    // prints the exact binary value of large numbers (1e300 is not a 1 and
    // 300 zeros there).
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
    std::string_view text(buffer, size_t(result.ptr - buffer));
    size_t e = text.find('e');
    std::string_view mantissa = text.substr(0, e);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    exponent);
    if (!mantissa.empty() && mantissa[0] == '-') {
        out += '-';
        mantissa.remove_prefix(1);
    }
    char digits[32];
    size_t count = 0;
    for (char c : mantissa)
        if (c != '.') digits[count++] = c;
    int point = exponent + 1; // digits before the decimal point
    if (point <= 0) {
        out += "0.";
        out.append(size_t(-point), '0');
        out.append(digits, count);
    } else if (size_t(point) >= count) {
        out.append(digits, count);
        out.append(size_t(point) - count, '0');
    } else {
        out.append(digits, size_t(point));
        out += '.';
        out.append(digits + point, count - size_t(point));
    }
}

namespace {

// open, the elements joined by ", ", close.
template <typename Range, typename AppendElement>
void append_joined(std::string& out, std::string_view open, const Range& range,
                   std::string_view close, AppendElement append_element) {
    out += open;
    bool first = true;
    for (const auto& element : range) {
        if (!first) out += ", ";
        first = false;
        append_element(element);
    }
    out += close;
}

void append_int(std::string& out, int64_t n) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    out.append(buffer, result.ptr);
}

} // namespace

void append_display_text(std::string& out, const Value& v) {
    switch (v.kind()) {
    case ValueKind::Number: append_int(out, v.as_number()); break;
    case ValueKind::Float: append_float_display(out, v.as_float()); break;
    case ValueKind::String: out += v.text(); break;
    case ValueKind::Boolean: out += v.as_boolean() ? "true" : "false"; break;
    case ValueKind::Array:
        append_joined(out, "[", v.items(), "]",
                      [&out](const Value& item) { append_display_text(out, item); });
        break;
    case ValueKind::Dict:
        append_joined(out, "{", v.entries(), "}", [&out](const auto& entry) {
            out += entry.first;
            out += ": ";
            append_display_text(out, entry.second);
        });
        break;
    case ValueKind::Function: out += "<function>"; break;
    case ValueKind::BuiltinFunction:
        out += "<builtin: ";
        out += v.text();
        out += '>';
        break;
    case ValueKind::Rect: {
        const auto& s = v.shape().v;
        out += "Rect(";
        append_int(out, s[0]);
        out += ", ";
        append_int(out, s[1]);
        out += ", ";
        append_int(out, uint32_t(s[2]));
        out += ", ";
        append_int(out, uint32_t(s[3]));
        out += ')';
        break;
    }
    case ValueKind::Color:
        out += "Color(";
        append_int(out, v.color_r());
        out += ", ";
        append_int(out, v.color_g());
        out += ", ";
        append_int(out, v.color_b());
        out += ')';
        break;
    case ValueKind::Circle: {
        const auto& s = v.shape().v;
        out += "Circle(";
        append_int(out, s[0]);
        out += ", ";
        append_int(out, s[1]);
        out += ", ";
        append_int(out, uint32_t(s[2]));
        out += ')';
        break;
    }
    case ValueKind::Triangle: {
        const auto& s = v.shape().v;
        out += "Triangle(";
        for (int i = 0; i < 6; ++i) {
            if (i) out += ", ";
            append_int(out, s[i]);
        }
        out += ')';
        break;
    }
    case ValueKind::Null: out += "null"; break;
    case ValueKind::Error:
        out += "Error: ";
        out += v.text();
        break;
    }
}

std::string display_text(const Value& v) {
    if (v.kind() == ValueKind::String) return std::string(v.text());
    std::string out;
    append_display_text(out, v);
    return out;
}

namespace {

void append_debug(std::string& out, const Value& v) {
    auto named = [&out](const char* name,
                        std::initializer_list<std::pair<const char*, int64_t>> fields) {
        out += name;
        out += " { ";
        bool first = true;
        for (const auto& [field, value] : fields) {
            if (!first) out += ", ";
            first = false;
            out += field;
            out += ": ";
            append_int(out, value);
        }
        out += " }";
    };
    switch (v.kind()) {
    case ValueKind::Number:
        out += "Number(";
        append_int(out, v.as_number());
        out += ')';
        break;
    case ValueKind::Float:
        out += "Float(";
        append_float_debug(out, v.as_float());
        out += ')';
        break;
    case ValueKind::String:
        out += "String(";
        append_quoted(out, v.text());
        out += ')';
        break;
    case ValueKind::Boolean: out += v.as_boolean() ? "Boolean(true)" : "Boolean(false)"; break;
    case ValueKind::Array:
        append_joined(out, "Array([", v.items(), "])",
                      [&out](const Value& item) { append_debug(out, item); });
        break;
    case ValueKind::Dict:
        append_joined(out, "Dict({", v.entries(), "})", [&out](const auto& entry) {
            append_quoted(out, entry.first);
            out += ": ";
            append_debug(out, entry.second);
        });
        break;
    case ValueKind::Function: {
        const FunctionBody& f = v.function_body();
        out += "Function { params: [";
        for (size_t i = 0; i < f.params.size(); ++i) {
            if (i) out += ", ";
            append_quoted(out, f.params[i]);
        }
        out += "], body: ";
        append_debug_form(out, f.body);
        out += " }";
        break;
    }
    case ValueKind::BuiltinFunction:
        out += "BuiltinFunction { name: ";
        append_quoted(out, v.text());
        out += " }";
        break;
    case ValueKind::Rect: {
        const auto& s = v.shape().v;
        named("Rect", {{"x", s[0]}, {"y", s[1]}, {"w", uint32_t(s[2])}, {"h", uint32_t(s[3])}});
        break;
    }
    case ValueKind::Color:
        named("Color", {{"r", v.color_r()}, {"g", v.color_g()}, {"b", v.color_b()}});
        break;
    case ValueKind::Circle: {
        const auto& s = v.shape().v;
        named("Circle", {{"x", s[0]}, {"y", s[1]}, {"radius", uint32_t(s[2])}});
        break;
    }
    case ValueKind::Triangle: {
        const auto& s = v.shape().v;
        named("Triangle",
              {{"x1", s[0]}, {"y1", s[1]}, {"x2", s[2]}, {"y2", s[3]}, {"x3", s[4]}, {"y3", s[5]}});
        break;
    }
    case ValueKind::Null: out += "Null"; break;
    case ValueKind::Error:
        out += "Error(";
        append_quoted(out, v.text());
        out += ')';
        break;
    }
}

} // namespace

std::string debug_text(const Value& v) {
    std::string out;
    append_debug(out, v);
    return out;
}

// ---- numeric conversions ----

int64_t saturating_to_int(double d) noexcept {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (d < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return int64_t(d);
}

int64_t numeric_to_int(const Value& v) noexcept {
    return v.kind() == ValueKind::Number ? v.as_number() : saturating_to_int(v.as_float());
}

double numeric_to_float(const Value& v) noexcept {
    return v.kind() == ValueKind::Number ? double(v.as_number()) : v.as_float();
}

} // namespace drevel
