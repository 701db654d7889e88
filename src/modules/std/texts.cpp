// Texts. Positions and widths count characters (code points), as slice
// does; comparisons are by code point, which is the byte order of UTF-8.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "interpreter/builtins/argument_text.h"
#include "lexer/unicode.h"
#include "modules/std/std_functions.h"

namespace drevel::stdlib {

size_t character_count(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

size_t byte_offset(std::string_view text, size_t characters) {
    size_t pos = 0;
    while (characters > 0 && pos < text.size()) {
        next_code_point(text, pos);
        --characters;
    }
    return pos;
}

namespace {

// A text argument: a String's own text, or the display text of anything
// else, as the files module takes its texts.
class Text {
  public:
    explicit Text(const Value& v) : view_(argument_text(v, storage_)) {}
    std::string_view view() const { return view_; }

  private:
    std::string storage_;
    std::string_view view_;
};

// A count argument (repeat's n, a pad width): a whole number from 0 up.
bool count_argument(const Value& v, int64_t& n) {
    return whole_number(v, n) && n >= 0;
}

// Texts beyond this many bytes are refused rather than allocated.
constexpr int64_t kLargestText = int64_t(1) << 31;

Value pad(std::string_view function, Value* args, size_t count, bool left) {
    Text text(args[0]);
    int64_t width;
    if (!count_argument(args[1], width))
        return failure(function, "the width must be a whole number from 0 up");
    std::string fill = " ";
    if (count >= 3) {
        fill = Text(args[2]).view();
        if (character_count(fill) != 1) return failure(function, "the fill must be one character");
    }
    size_t have = character_count(text.view());
    if (size_t(width) <= have) return Value::string(text.view());
    size_t missing = size_t(width) - have;
    if (int64_t(missing * fill.size()) > kLargestText)
        return failure(function, "the width is too large");
    std::string out;
    out.reserve(text.view().size() + missing * fill.size());
    if (!left) out += text.view();
    for (size_t i = 0; i < missing; ++i)
        out += fill;
    if (left) out += text.view();
    return Value::string(out);
}

} // namespace

Value length(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::String)) return wrong_argument("length", "a text", args[0]);
    return Value::number(int64_t(character_count(args[0].text())));
}

Value chars(Value* args, size_t, NativeContext&) {
    Text text(args[0]);
    std::string_view t = text.view();
    std::vector<Value> out;
    out.reserve(t.size());
    for (size_t pos = 0; pos < t.size();) {
        size_t from = pos;
        next_code_point(t, pos);
        out.push_back(Value::string(t.substr(from, pos - from)));
    }
    return Value::array(std::move(out));
}

Value find(Value* args, size_t, NativeContext&) {
    Text text(args[0]), needle(args[1]);
    size_t at = text.view().find(needle.view());
    if (at == std::string_view::npos) return Value::number(-1);
    return Value::number(int64_t(character_count(text.view().substr(0, at))));
}

Value replace(Value* args, size_t, NativeContext&) {
    Text text(args[0]), old_text(args[1]), new_text(args[2]);
    std::string_view t = text.view(), o = old_text.view();
    if (o.empty()) return failure("replace", "the text to replace is empty");
    std::string out;
    size_t from = 0;
    for (size_t at; (at = t.find(o, from)) != std::string_view::npos; from = at + o.size()) {
        out.append(t, from, at - from);
        out += new_text.view();
    }
    out.append(t, from);
    return Value::string(out);
}

Value trim(Value* args, size_t, NativeContext&) {
    Text text(args[0]);
    return Value::string(trim_white_space(text.view()));
}

Value starts_with(Value* args, size_t, NativeContext&) {
    Text text(args[0]), prefix(args[1]);
    return Value::boolean(text.view().starts_with(prefix.view()));
}

Value ends_with(Value* args, size_t, NativeContext&) {
    Text text(args[0]), suffix(args[1]);
    return Value::boolean(text.view().ends_with(suffix.view()));
}

Value repeat(Value* args, size_t, NativeContext&) {
    Text text(args[0]);
    int64_t n;
    if (!count_argument(args[1], n))
        return failure("repeat", "the count must be a whole number from 0 up");
    if (n > 0 && int64_t(text.view().size()) > kLargestText / n)
        return failure("repeat", "the text would be too long");
    std::string out;
    out.reserve(text.view().size() * size_t(n));
    for (int64_t i = 0; i < n; ++i)
        out += text.view();
    return Value::string(out);
}

Value pad_left(Value* args, size_t count, NativeContext&) {
    return pad("pad_left", args, count, true);
}

Value pad_right(Value* args, size_t count, NativeContext&) {
    return pad("pad_right", args, count, false);
}

Value lines(Value* args, size_t, NativeContext&) {
    Text text(args[0]);
    std::string_view t = text.view();
    std::vector<Value> out;
    size_t from = 0;
    while (from < t.size()) {
        size_t end = t.find('\n', from);
        if (end == std::string_view::npos) end = t.size();
        size_t stop = end > from && t[end - 1] == '\r' ? end - 1 : end;
        out.push_back(Value::string(t.substr(from, stop - from)));
        from = end + 1;
    }
    return Value::array(std::move(out));
}

Value to_number(Value* args, size_t, NativeContext&) {
    if (args[0].is_numeric()) return args[0];
    if (!args[0].is(ValueKind::String)) return Value();
    std::string_view t = trim_white_space(args[0].text());
    if (t.empty()) return Value();
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+') ++first;
    int64_t n;
    auto [end, error] = std::from_chars(first, last, n);
    if (error == std::errc() && end == last) return Value::number(n);
    // Decimal and exponent forms only: no hexadecimal, inf or nan.
    for (const char* p = first; p != last; ++p)
        if (!(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.' || *p == 'e' || *p == 'E' ||
              *p == '-' || *p == '+'))
            return Value();
    double d;
    auto [fend, ferror] = std::from_chars(first, last, d);
    if (ferror == std::errc() && fend == last) return Value::floating(d);
    if (ferror == std::errc::result_out_of_range && fend == last)
        return Value::floating(std::strtod(std::string(first, last).c_str(), nullptr));
    return Value();
}

Value fixed(Value* args, size_t, NativeContext&) {
    if (!args[0].is_numeric()) return wrong_argument("fixed", "a number", args[0]);
    int64_t decimals;
    if (!whole_number(args[1], decimals) || decimals < 0 || decimals > 100)
        return failure("fixed", "decimals must be a whole number from 0 to 100");
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", int(decimals), numeric_to_float(args[0]));
    return Value::string(buffer);
}

} // namespace drevel::stdlib
