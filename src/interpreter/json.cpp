#include "interpreter/json.h"

#include <charconv>
#include <cmath>
#include <vector>

// Failures come back as error codes; with exceptions off the header also
// asks nothing of the library but its kernels.
#define SIMDJSON_EXCEPTIONS 0
#include <simdjson.h>

#include "platform/dynamic_library.h"
#include "platform/utf8.h"

// The parser's kernels live in its shared library, which is loaded the first
// time a text is parsed, so that a run that reads no JSON does not pay for
// loading it (and the C++ runtime it brings) at start-up. The header's inline
// code reaches the library through the few functions defined below, each of
// which forwards to the library's own.
namespace {

template <typename Pointer> Pointer simdjson_entry(const char* name) {
    static void* const library =
        drevel::dynamic_library::open_first({"libsimdjson.so.14", "libsimdjson.so"});
    return drevel::dynamic_library::entry<Pointer>(library, name);
}

} // namespace

namespace simdjson {

internal::atomic_ptr<const implementation>& get_active_implementation() {
    using Getter = internal::atomic_ptr<const implementation>& (*)();
    static const Getter getter =
        simdjson_entry<Getter>("_ZN8simdjson25get_active_implementationEv");
    static internal::atomic_ptr<const implementation> none{nullptr};
    return getter ? getter() : none;
}

// Number conversion the header calls where it is not inlined (unoptimised
// builds); only reached once a parse has loaded the library.
namespace internal {

double from_chars(const char* first) noexcept {
    using Convert = double (*)(const char*);
    static const Convert convert = simdjson_entry<Convert>("_ZN8simdjson8internal10from_charsEPKc");
    return convert ? convert(first) : 0.0;
}

double from_chars(const char* first, const char* end) noexcept {
    using Convert = double (*)(const char*, const char*);
    static const Convert convert =
        simdjson_entry<Convert>("_ZN8simdjson8internal10from_charsEPKcS2_");
    return convert ? convert(first, end) : 0.0;
}

} // namespace internal
} // namespace simdjson

namespace drevel::json {

namespace {

bool parser_available() {
    const simdjson::implementation* active = simdjson::get_active_implementation();
    return active != nullptr;
}

// Why a parse stopped, in words a script's author can act on.
std::string_view reason(simdjson::error_code code) {
    switch (code) {
    case simdjson::EMPTY: return "no JSON value in the text";
    case simdjson::UTF8_ERROR: return "the text is not valid UTF-8";
    case simdjson::UNCLOSED_STRING: return "a string is not closed";
    case simdjson::UNESCAPED_CHARS: return "a control character inside a string must be escaped";
    case simdjson::STRING_ERROR: return "a string holds a bad escape";
    case simdjson::NUMBER_ERROR:
    case simdjson::NUMBER_OUT_OF_RANGE: return "a number is malformed";
    case simdjson::T_ATOM_ERROR: return "expected true";
    case simdjson::F_ATOM_ERROR: return "expected false";
    case simdjson::N_ATOM_ERROR: return "expected null";
    case simdjson::DEPTH_ERROR: return "nesting deeper than 1000 levels";
    case simdjson::CAPACITY: return "the text is too large";
    case simdjson::MEMALLOC: return "out of memory";
    default: return "unexpected character";
    }
}

// Where a refused text goes wrong. The parser checks the whole text before
// it hands anything over and says only what went wrong; this walk follows
// the grammar and stops at the first byte that does not fit, to say where.
class FaultFinder {
  public:
    explicit FaultFinder(std::string_view text) : text_(text) {}

    size_t offset() {
        if (const size_t valid = valid_utf8_prefix(text_); valid < text_.size()) return valid;
        skip_space();
        if (at_ == text_.size()) return at_;
        if (!value(1)) return at_;
        skip_space();
        return at_;
    }

  private:
    bool value(size_t depth) {
        skip_space();
        if (at_ == text_.size()) return false;
        switch (text_[at_]) {
        case '{': return container(depth, '}', true);
        case '[': return container(depth, ']', false);
        case '"': return string();
        case 't': return word("true");
        case 'f': return word("false");
        case 'n': return word("null");
        default: return number();
        }
    }

    bool container(size_t depth, char close, bool keyed) {
        if (depth > kMaxDepth) return false;
        ++at_;
        skip_space();
        if (peek() == close) {
            ++at_;
            return true;
        }
        for (;;) {
            if (keyed) {
                skip_space();
                if (peek() != '"' || !string()) return false;
                skip_space();
                if (peek() != ':') return false;
                ++at_;
            }
            if (!value(depth + 1)) return false;
            skip_space();
            if (peek() == close) {
                ++at_;
                return true;
            }
            if (peek() != ',') return false;
            ++at_;
        }
    }

    bool string() {
        const size_t start = at_++;
        while (at_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                if (!escape()) return false;
                continue;
            }
            ++at_;
        }
        at_ = start;
        return false;
    }

    bool escape() {
        const char kind = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
        if (std::string_view("\"\\/bfnrt").find(kind) != std::string_view::npos && kind) {
            at_ += 2;
            return true;
        }
        if (kind != 'u') return false;
        for (size_t k = 2; k < 6; ++k)
            if (at_ + k >= text_.size() ||
                !std::isxdigit(static_cast<unsigned char>(text_[at_ + k])))
                return false;
        at_ += 6;
        return true;
    }

    bool number() {
        const size_t start = at_;
        if (peek() == '-') ++at_;
        if (peek() == '0') {
            ++at_;
        } else if (!digits()) {
            at_ = start;
            return false;
        }
        if (peek() == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!digits()) return false;
        }
        // "01" and the like: a number ends where a digit still follows.
        if (std::isdigit(static_cast<unsigned char>(peek()))) {
            at_ = start;
            return false;
        }
        return true;
    }

    bool digits() {
        const size_t start = at_;
        while (std::isdigit(static_cast<unsigned char>(peek())))
            ++at_;
        return at_ > start;
    }

    bool word(std::string_view expected) {
        if (text_.substr(at_, expected.size()) != expected) return false;
        at_ += expected.size();
        return true;
    }

    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    void skip_space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }

    std::string_view text_;
    size_t at_ = 0;
};

// Line and column (in characters) of a byte offset, both counted from 1.
[[gnu::cold]] Value located_error(std::string_view text, std::string_view why) {
    const size_t offset = FaultFinder(text).offset();
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    std::string message = "line " + std::to_string(line) + ", column " + std::to_string(column);
    message += ": ";
    message += why;
    return Value::error(message);
}

template <typename T> T get(simdjson::dom::element element) {
    T out{};
    if (element.get(out)) return T{};
    return out;
}

// Values from the parsed document; the parser has bounded its depth. The
// getters cannot fail here: each is asked for the type the element has.
Value build(simdjson::dom::element element) {
    using simdjson::dom::element_type;
    switch (element.type()) {
    case element_type::OBJECT: {
        simdjson::dom::object fields;
        if (element.get(fields)) return Value::null();
        Dict dict;
        for (auto [key, item] : fields)
            dict.insert_or_assign(key, build(item));
        return Value::dict(std::move(dict));
    }
    case element_type::ARRAY: {
        simdjson::dom::array items;
        if (element.get(items)) return Value::null();
        std::vector<Value> values;
        values.reserve(items.size());
        for (auto item : items)
            values.push_back(build(item));
        return Value::array(std::move(values));
    }
    case element_type::INT64: return Value::number(element.get_int64().value_unsafe());
    case element_type::UINT64: return Value::floating(double(element.get_uint64().value_unsafe()));
    case element_type::DOUBLE: return Value::floating(element.get_double().value_unsafe());
    case element_type::STRING: return Value::string(element.get_string().value_unsafe());
    case element_type::BOOL: return Value::boolean(element.get_bool().value_unsafe());
    case element_type::NULL_VALUE: return Value::null();
    }
    return Value::null();
}

// The text with ".0" after every integer too long for 64 bits, so that the
// parser, which refuses such integers, reads them as floats.
std::string widen_long_integers(std::string_view text) {
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    std::string out;
    out.reserve(text.size() + 16);
    bool in_string = false;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (in_string) {
            const size_t n = c == '\\' && i + 1 < text.size() ? 2 : 1;
            if (c == '"') in_string = false;
            out.append(text, i, n);
            i += n;
            continue;
        }
        if (c == '"') in_string = true;
        // An integer part starts a number: after a sign that starts it, or
        // after anything but a digit, a point or an exponent.
        const char before = i > 0 ? text[i - 1] : ' ';
        const char sign_before = i > 1 ? text[i - 2] : ' ';
        const bool starts_number = is_digit(c) && !is_digit(before) && before != '.' &&
                                   before != 'e' && before != 'E' && before != '+' &&
                                   (before != '-' || (sign_before != 'e' && sign_before != 'E'));
        if (!starts_number) {
            out += c;
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && is_digit(text[end]))
            ++end;
        out.append(text, i, end - i);
        const bool integer =
            end == text.size() || (text[end] != '.' && text[end] != 'e' && text[end] != 'E');
        if (integer && end - i >= 20) out += ".0";
        i = end;
    }
    return out;
}

simdjson::error_code parse_into(std::string_view text, simdjson::dom::parser& parser,
                                simdjson::dom::element& root) {
    // The parser reads a little past the end of its input, so it gets a
    // padded copy.
    const simdjson::padded_string padded(text);
    auto code = parser.allocate(padded.size(), kMaxDepth);
    if (!code) code = parser.parse(padded).get(root);
    return code;
}

// A JSON string: the text between double quotes, with the quote, the
// backslash and the control characters escaped. Runs of plain bytes are
// copied whole.
void append_string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        out += '\\';
        switch (c) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '\b': out += 'b'; break;
        case '\f': out += 'f'; break;
        case '\n': out += 'n'; break;
        case '\r': out += 'r'; break;
        case '\t': out += 't'; break;
        default:
            out += "u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    out.append(text, plain, text.size() - plain);
    out += '"';
}

} // namespace

Value parse(std::string_view text) {
    if (!parser_available()) [[unlikely]]
        return Value::error("the JSON reader (libsimdjson) cannot be loaded");
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    auto code = parse_into(text, parser, root);
    if (code == simdjson::NUMBER_ERROR) {
        // Integers beyond 64 bits are numbers all the same: read as floats.
        const std::string widened = widen_long_integers(text);
        if (widened.size() != text.size() && !parse_into(widened, parser, root)) return build(root);
    }
    if (code) return located_error(text, reason(code));
    return build(root);
}

void append(std::string& out, const Value& value) {
    switch (value.kind()) {
    case ValueKind::Number: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.as_number()).ptr;
        out.append(digits, size_t(end - digits));
        return;
    }
    case ValueKind::Float:
        // JSON has no infinities and no NaN.
        if (!std::isfinite(value.as_float())) {
            out += "null";
        } else {
            append_float_display(out, value.as_float());
        }
        return;
    case ValueKind::String: append_string(out, value.text()); return;
    case ValueKind::Boolean: out += value.as_boolean() ? "true" : "false"; return;
    case ValueKind::Array: {
        out += '[';
        bool first = true;
        for (const Value& item : value.items()) {
            if (!first) out += ',';
            first = false;
            append(out, item);
        }
        out += ']';
        return;
    }
    case ValueKind::Dict: {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : value.entries()) {
            if (!first) out += ',';
            first = false;
            append_string(out, key);
            out += ':';
            append(out, item);
        }
        out += '}';
        return;
    }
    default: out += "null"; return;
    }
}

} // namespace drevel::json
