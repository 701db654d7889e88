// The one runtime value type of the language.
//
// A Value is 16 bytes: a kind tag and an 8-byte payload. Numbers, floats,
// booleans, colours and short texts live inline; longer texts, arrays, dicts,
// functions and the larger shapes live in reference-counted heap objects that are shared
// between copies and copied only when written while shared (copy on write).
// Sharing an immutable buffer cannot be told apart from a deep copy, so the
// language's copy semantics hold while a copy costs one increment.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interpreter/dict.h"
#include "lexer/debug_text.h"

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

// The process-wide seed of key hashes.
uint64_t dict_seed();

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

// Layout: a head word (byte 0 the kind, byte 1 a flag for a heap payload and
// the length of an inline text, bytes 2 to 7 the first inline text bytes) and
// a payload word (number, double, heap object, or the rest of an inline text).
// Texts of up to 14 bytes live inline; longer ones in one allocation of
// header and bytes. The head is always written and copied as a whole word: a
// one-byte store read back as part of a wider load stalls store forwarding.
class Value {
  public:
    static constexpr size_t kInlineTextMax = 14;

    Value() noexcept : head_(uint64_t(ValueKind::Null)) { payload_.integer = 0; }
    ~Value() { release(); }

    Value(const Value& other) noexcept : head_(other.head_), payload_(other.payload_) { retain(); }
    Value(Value&& other) noexcept : head_(other.head_), payload_(other.payload_) {
        other.head_ = uint64_t(ValueKind::Null);
    }
    Value& operator=(const Value& other) noexcept {
        if (this != &other) {
            other.retain();
            release();
            head_ = other.head_;
            payload_ = other.payload_;
        }
        return *this;
    }
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            release();
            head_ = other.head_;
            payload_ = other.payload_;
            other.head_ = uint64_t(ValueKind::Null);
        }
        return *this;
    }

    // A value's two words held outside any Value; whoever holds them owns
    // the value's reference. Relocating through them skips a move's tag
    // write and release check where the source is known to be dead.
    struct Words {
        uint64_t head;
        int64_t payload;
    };
    Words words() const noexcept { return {head_, payload_.integer}; }
    static Value from_words(Words w) noexcept {
        Value v;
        v.adopt(w);
        return v;
    }
    // Takes over the words without releasing what this value held: the
    // caller has relocated that elsewhere.
    void adopt(Words w) noexcept {
        head_ = w.head;
        payload_.integer = w.payload;
    }
    // Drops what this value held and takes over the words.
    void replace_with(Words w) noexcept {
        release();
        adopt(w);
    }
    // Leaves the value empty without releasing it: its words live elsewhere.
    void forget() noexcept { head_ = uint64_t(ValueKind::Null); }

    // Replace the value by a number, field by field.
    void assign_number(int64_t n) noexcept {
        release();
        head_ = uint64_t(ValueKind::Number);
        payload_.integer = n;
    }
    void assign_floating(double d) noexcept {
        release();
        head_ = uint64_t(ValueKind::Float);
        payload_.real = d;
    }

    // Constructors by kind.
    static Value number(int64_t n) noexcept { return Value(ValueKind::Number, n); }
    static Value floating(double d) noexcept {
        Value v;
        v.payload_.real = d;
        v.head_ = uint64_t(ValueKind::Float);
        return v;
    }
    static Value boolean(bool b) noexcept { return Value(ValueKind::Boolean, b ? 1 : 0); }
    static Value null() noexcept { return Value(); }
    static Value string(std::string_view text) {
        return text.size() <= kInlineTextMax ? inline_text(text) : long_text(text);
    }
    static Value string(const std::string& text) { return string(std::string_view(text)); }
    static Value string(const char* text) { return string(std::string_view(text)); }
    static Value error(std::string_view message);
    static Value builtin_function(std::string_view qualified_name);
    static Value array(std::vector<Value> items);
    static Value dict(Dict entries);
    // A new dict made where it stays, with room for `expected` keys; the
    // maker fills it through mutable_entries() before anyone else holds it.
    static Value empty_dict(size_t expected);
    static Value function(FunctionBody* body); // takes one new reference
    static Value color(uint8_t r, uint8_t g, uint8_t b) noexcept {
        return Value(ValueKind::Color, int64_t(r) | (int64_t(g) << 8) | (int64_t(b) << 16));
    }
    static Value rect(int32_t x, int32_t y, uint32_t w, uint32_t h);
    static Value circle(int32_t x, int32_t y, uint32_t radius);
    static Value triangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);

    ValueKind kind() const noexcept { return ValueKind(uint8_t(head_)); }
    bool is(ValueKind k) const noexcept { return kind() == k; }
    bool is_error() const noexcept { return kind() == ValueKind::Error; }
    bool is_null() const noexcept { return kind() == ValueKind::Null; }
    bool is_numeric() const noexcept {
        return kind() == ValueKind::Number || kind() == ValueKind::Float;
    }

    // Payload access; the caller has checked the kind.
    int64_t as_number() const noexcept { return payload_.integer; }
    double as_float() const noexcept { return payload_.real; }
    bool as_boolean() const noexcept { return payload_.integer != 0; }
    // String, Error (the message) and BuiltinFunction (the qualified name).
    // Valid while this value is alive and unchanged.
    std::string_view text() const noexcept {
        if (has_heap()) {
            auto* object = static_cast<const TextObject*>(payload_.object);
            return {object->data(), object->size};
        }
        return {reinterpret_cast<const char*>(this) + 2, size_t(uint8_t(head_ >> 8) >> 1)};
    }
    // Whether this String holds the same bytes as another. Two inline texts
    // compare as their two words: their unused bytes are always zero.
    bool same_text(const Value& other) const noexcept {
        if (!((head_ | other.head_) & kHeapFlag))
            return head_ == other.head_ && payload_.integer == other.payload_.integer;
        return text() == other.text();
    }
    // A String's key_hash, remembered in a long text's buffer so that
    // looking up a dict by the same text again does not hash it again.
    uint64_t text_key_hash() const noexcept;
    const std::vector<Value>& items() const noexcept {
        return static_cast<ArrayObject*>(payload_.object)->items;
    }
    const Dict& entries() const noexcept { return static_cast<DictObject*>(payload_.object)->map; }
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

    // Appends to a String, growing a buffer nobody else holds in place (so
    // repeated appends stay linear) and copying a shared one first.
    void append_text(std::string_view more);
    // Writable access, copying the buffer first when it is shared.
    std::vector<Value>& mutable_items() {
        if (payload_.object->refs != 1) [[unlikely]]
            unshare_items();
        return static_cast<ArrayObject*>(payload_.object)->items;
    }
    Dict& mutable_entries();

    // True when no other value shares this one's buffer (inline kinds too).
    bool is_unique() const noexcept { return !has_heap() || payload_.object->refs == 1; }

  private:
    // Header and bytes in one allocation; the bytes follow the header.
    struct TextObject : HeapObject {
        uint32_t size;
        uint32_t capacity;
        uint64_t hash = 0; // the text's key_hash once asked for (0: not yet)
        TextObject(ValueKind k, uint32_t s, uint32_t c) : HeapObject(k), size(s), capacity(c) {}
        char* data() noexcept { return reinterpret_cast<char*>(this + 1); }
        const char* data() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    };
    struct ArrayObject : HeapObject {
        std::vector<Value> items;
        explicit ArrayObject(std::vector<Value> i)
            : HeapObject(ValueKind::Array), items(std::move(i)) {}
        static void* operator new(size_t bytes) { return allocate_block(bytes); }
        static void operator delete(void* p, size_t bytes) noexcept { free_block(p, bytes); }
    };
    struct DictObject : HeapObject {
        Dict map;
        explicit DictObject(Dict&& m) : HeapObject(ValueKind::Dict), map(std::move(m)) {}
        explicit DictObject(size_t expected) : HeapObject(ValueKind::Dict), map(expected) {}
        static void* operator new(size_t bytes) { return allocate_block(bytes); }
        static void operator delete(void* p, size_t bytes) noexcept { free_block(p, bytes); }
    };
    struct ShapeObject : HeapObject {
        ShapeFields fields;
        ShapeObject(ValueKind k, ShapeFields f) : HeapObject(k), fields(f) {}
    };

    static constexpr uint64_t kHeapFlag = 1u << 8;
    Value(ValueKind kind, int64_t integer) noexcept : head_(uint64_t(kind)) {
        payload_.integer = integer;
    }
    static Value heap(ValueKind kind, HeapObject* object) noexcept {
        Value v;
        v.payload_.object = object;
        v.head_ = uint64_t(kind) | kHeapFlag;
        return v;
    }
    static TextObject* new_text(ValueKind kind, std::string_view text, size_t capacity);
    static Value inline_text(std::string_view text) noexcept;
    static Value long_text(std::string_view text);
    static Value inline_bytes(unsigned __int128 bytes, size_t size) noexcept;

    bool has_heap() const noexcept { return head_ & kHeapFlag; }
    void retain() const noexcept {
        if (has_heap()) ++payload_.object->refs; // function bodies are heap objects too
    }
    void release() noexcept {
        if (has_heap() && --payload_.object->refs == 0) destroy_heap();
    }
    void destroy_heap() noexcept; // the last reference went away
    void unshare_items();         // a copy of a shared array for this value alone
    static Value shape(ValueKind kind, ShapeFields fields);

    uint64_t head_;
    union {
        int64_t integer;
        double real;
        HeapObject* object;
        FunctionBody* function;
    } payload_;
};

static_assert(sizeof(Value) == 16, "Value should stay two words");

const Value* Dict::slot_value(uint32_t slot) const noexcept {
    return &values_[slot];
}

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
