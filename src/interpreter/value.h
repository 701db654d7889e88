// The one runtime value type of the language.
//
// A Value is 16 bytes: a kind tag and an 8-byte payload. Numbers, floats,
// booleans and colours live inline; texts, arrays, dicts, functions and the
// larger shapes live in reference-counted heap objects that are shared
// between copies and copied only when written while shared (copy on write).
// Sharing an immutable buffer cannot be told apart from a deep copy, so the
// language's copy semantics hold while a copy costs one increment.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lexer/literal_forms.h"

namespace drevel {

enum class ValueKind : uint8_t {
    Number,
    Float,
    String,
    Boolean,
    Array,
    Dict,
    Function,
    BuiltinFunction,
    Rect,
    Color,
    Circle,
    Triangle,
    Null,
    Error,
};

struct FunctionBody; // interpreter/function_body.h: parameters and body statements
class Value;

// Keys hash with a seed drawn once per process, so iteration order is not a
// fact scripts can come to rely on. Literal keys in the tree carry their hash
// ready-made (PrehashedKey), which every map of the process agrees with.
struct PrehashedKey {
    std::string_view text;
    size_t hash;
};
uint64_t dict_seed();
struct SeededHash {
    using is_transparent = void;
    uint64_t seed = dict_seed();
    size_t operator()(std::string_view key) const noexcept;
    size_t operator()(const PrehashedKey& key) const noexcept { return key.hash; }
};
struct KeyEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
    bool operator()(const PrehashedKey& a, std::string_view b) const noexcept {
        return a.text == b;
    }
    bool operator()(std::string_view a, const PrehashedKey& b) const noexcept {
        return a == b.text;
    }
};
// The hash every map of this process gives the key.
inline size_t dict_key_hash(std::string_view key) {
    return SeededHash{}(key);
}
using DictMap = std::unordered_map<std::string, Value, SeededHash, KeyEqual>;
DictMap make_dict_map(size_t expected = 0);

struct HeapObject {
    uint32_t refs = 1;
    ValueKind kind;
    explicit HeapObject(ValueKind k) : kind(k) {}
};

// The rectangle, circle and triangle fields, as the shape constructors made
// them: Rect {x, y, w, h}, Circle {x, y, radius}, Triangle {x1..y3}.
struct ShapeFields {
    int32_t v[6] = {0, 0, 0, 0, 0, 0};
};

class Value {
  public:
    Value() noexcept : kind_(ValueKind::Null) { payload_.integer = 0; }
    ~Value() { release(); }

    Value(const Value& other) noexcept : kind_(other.kind_), payload_(other.payload_) { retain(); }
    Value(Value&& other) noexcept : kind_(other.kind_), payload_(other.payload_) {
        other.kind_ = ValueKind::Null;
    }
    Value& operator=(const Value& other) noexcept {
        if (this != &other) {
            other.retain();
            release();
            kind_ = other.kind_;
            payload_ = other.payload_;
        }
        return *this;
    }
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            release();
            kind_ = other.kind_;
            payload_ = other.payload_;
            other.kind_ = ValueKind::Null;
        }
        return *this;
    }

    // Replace the value by a number, field by field.
    void assign_number(int64_t n) noexcept {
        release();
        kind_ = ValueKind::Number;
        payload_.integer = n;
    }
    void assign_floating(double d) noexcept {
        release();
        kind_ = ValueKind::Float;
        payload_.real = d;
    }

    // Constructors by kind.
    static Value number(int64_t n) noexcept {
        Value v;
        v.kind_ = ValueKind::Number;
        v.payload_.integer = n;
        return v;
    }
    static Value floating(double d) noexcept {
        Value v;
        v.kind_ = ValueKind::Float;
        v.payload_.real = d;
        return v;
    }
    static Value boolean(bool b) noexcept {
        Value v;
        v.kind_ = ValueKind::Boolean;
        v.payload_.integer = b ? 1 : 0;
        return v;
    }
    static Value null() noexcept { return Value(); }
    static Value string(std::string text);
    static Value string(std::string_view text) { return string(std::string(text)); }
    static Value string(const char* text) { return string(std::string(text)); }
    static Value error(std::string message);
    static Value builtin_function(std::string qualified_name);
    static Value array(std::vector<Value> items);
    static Value dict(DictMap entries);
    static Value function(FunctionBody* body); // takes one new reference
    static Value color(uint8_t r, uint8_t g, uint8_t b) noexcept {
        Value v;
        v.kind_ = ValueKind::Color;
        v.payload_.integer = int64_t(r) | (int64_t(g) << 8) | (int64_t(b) << 16);
        return v;
    }
    static Value rect(int32_t x, int32_t y, uint32_t w, uint32_t h);
    static Value circle(int32_t x, int32_t y, uint32_t radius);
    static Value triangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);

    ValueKind kind() const noexcept { return kind_; }
    bool is(ValueKind k) const noexcept { return kind_ == k; }
    bool is_error() const noexcept { return kind_ == ValueKind::Error; }
    bool is_null() const noexcept { return kind_ == ValueKind::Null; }
    bool is_numeric() const noexcept {
        return kind_ == ValueKind::Number || kind_ == ValueKind::Float;
    }

    // Payload access; the caller has checked the kind.
    int64_t as_number() const noexcept { return payload_.integer; }
    double as_float() const noexcept { return payload_.real; }
    bool as_boolean() const noexcept { return payload_.integer != 0; }
    // String, Error (the message) and BuiltinFunction (the qualified name).
    const std::string& text() const noexcept {
        return static_cast<TextObject*>(payload_.object)->text;
    }
    const std::vector<Value>& items() const noexcept {
        return static_cast<ArrayObject*>(payload_.object)->items;
    }
    const DictMap& entries() const noexcept {
        return static_cast<DictObject*>(payload_.object)->map;
    }
    const FunctionBody& function_body() const noexcept { return *payload_.function; }
    FunctionBody* function_ref() const noexcept { return payload_.function; }
    uint8_t color_r() const noexcept { return uint8_t(payload_.integer); }
    uint8_t color_g() const noexcept { return uint8_t(payload_.integer >> 8); }
    uint8_t color_b() const noexcept { return uint8_t(payload_.integer >> 16); }
    // Rect, Circle and Triangle fields in declared order (w, h and radius
    // hold their unsigned 32-bit pattern).
    const ShapeFields& shape() const noexcept {
        return static_cast<ShapeObject*>(payload_.object)->fields;
    }

    // Writable access, copying the buffer first when it is shared.
    std::string& mutable_text();
    std::vector<Value>& mutable_items();
    DictMap& mutable_entries();

    // True when no other value shares this one's buffer (inline kinds too).
    bool is_unique() const noexcept { return !has_heap() || payload_.object->refs == 1; }

  private:
    struct TextObject : HeapObject {
        std::string text;
        TextObject(ValueKind k, std::string t) : HeapObject(k), text(std::move(t)) {}
    };
    struct ArrayObject : HeapObject {
        std::vector<Value> items;
        explicit ArrayObject(std::vector<Value> i)
            : HeapObject(ValueKind::Array), items(std::move(i)) {}
    };
    struct DictObject : HeapObject {
        DictMap map;
        explicit DictObject(DictMap m) : HeapObject(ValueKind::Dict), map(std::move(m)) {}
    };
    struct ShapeObject : HeapObject {
        ShapeFields fields;
        ShapeObject(ValueKind k, ShapeFields f) : HeapObject(k), fields(f) {}
    };

    static constexpr uint32_t kHeapKinds =
        (1u << int(ValueKind::String)) | (1u << int(ValueKind::Array)) |
        (1u << int(ValueKind::Dict)) | (1u << int(ValueKind::Function)) |
        (1u << int(ValueKind::BuiltinFunction)) | (1u << int(ValueKind::Rect)) |
        (1u << int(ValueKind::Circle)) | (1u << int(ValueKind::Triangle)) |
        (1u << int(ValueKind::Error));
    bool has_heap() const noexcept { return (kHeapKinds >> unsigned(kind_)) & 1u; }
    void retain() const noexcept {
        if (has_heap()) ++payload_.object->refs; // function bodies are heap objects too
    }
    void release() noexcept {
        if (has_heap() && --payload_.object->refs == 0) destroy_heap();
    }
    void destroy_heap() noexcept; // the last reference went away
    static Value shape(ValueKind kind, ShapeFields fields);

    ValueKind kind_;
    union {
        int64_t integer;
        double real;
        HeapObject* object;
        FunctionBody* function;
    } payload_;
};

static_assert(sizeof(Value) == 16, "Value should stay two words");

// The texts of the language's value kinds, in one place.
std::string_view type_name(ValueKind kind);
inline std::string_view type_name(const Value& v) {
    return type_name(v.kind());
}
inline bool is_truthy(const Value& v) {
    switch (v.kind()) {
    case ValueKind::Number: return v.as_number() != 0;
    case ValueKind::Float: return !(v.as_float() == 0.0); // NaN is true
    case ValueKind::Boolean: return v.as_boolean();
    case ValueKind::Null: return false;
    default: return true;
    }
}
std::string display_text(const Value& v);
void append_display_text(std::string& out, const Value& v);
std::string debug_text(const Value& v);

// Shortest round-trip decimal without exponent (3.0 gives 3, NaN, inf, -inf).
void append_float_display(std::string& out, double d);

// Conversions shared by builtins and native modules.
// A double truncated toward zero into the signed 64-bit range; NaN gives 0.
int64_t saturating_to_int(double d) noexcept;
// Number as it is, Float truncated and saturated; only for numeric values.
int64_t numeric_to_int(const Value& v) noexcept;
// Number converted to the nearest double, Float as it is.
double numeric_to_float(const Value& v) noexcept;

} // namespace drevel
