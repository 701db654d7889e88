// Builtins on texts. Those that take any value work on its display text.
#include <algorithm>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/builtins/core.h"
#include "lexer/unicode.h"

namespace drevel::builtins {

Value upper(Value* args, size_t count, NativeContext&) {
    if (count == 0 || args[0].kind() != ValueKind::String) return Value();
    return Value::string(to_upper(args[0].text()));
}

Value lower(Value* args, size_t count, NativeContext&) {
    if (count == 0 || args[0].kind() != ValueKind::String) return Value();
    return Value::string(to_lower(args[0].text()));
}

// Indices count characters. A negative start skips everything (it is read as
// an unsigned count), an end below start copies to the end of the text.
Value slice(Value* args, size_t count, NativeContext&) {
    if (count < 3 || args[0].kind() != ValueKind::String || !args[1].is_numeric() ||
        !args[2].is_numeric())
        return Value();
    int64_t start = numeric_to_int(args[1]);
    int64_t end = numeric_to_int(args[2]);
    if (start == end) return Value::string("");
    std::string_view text = args[0].text();
    uint64_t skip = uint64_t(start);
    uint64_t take = uint64_t(end) - uint64_t(start);
    size_t pos = 0;
    while (skip > 0 && pos < text.size()) {
        next_code_point(text, pos);
        --skip;
    }
    size_t from = pos;
    while (take > 0 && pos < text.size()) {
        next_code_point(text, pos);
        --take;
    }
    return Value::string(text.substr(from, pos - from));
}

Value contains(Value* args, size_t count, NativeContext&) {
    if (count < 2) return Value();
    std::string haystack_storage, needle_storage;
    std::string_view haystack = argument_text(args[0], haystack_storage);
    std::string_view needle = argument_text(args[1], needle_storage);
    return Value::boolean(haystack.find(needle) != std::string_view::npos);
}

Value split(Value* args, size_t count, NativeContext&) {
    if (count < 2) return Value();
    std::string text_storage, separator_storage;
    std::string_view text = argument_text(args[0], text_storage);
    std::string_view separator = argument_text(args[1], separator_storage);
    std::vector<Value> pieces;
    if (separator.empty()) {
        // Matches before every character and at the end.
        pieces.reserve(text.size() + 2);
        pieces.push_back(Value::string(""));
        size_t pos = 0;
        while (pos < text.size()) {
            size_t from = pos;
            next_code_point(text, pos);
            pieces.push_back(Value::string(text.substr(from, pos - from)));
        }
        pieces.push_back(Value::string(""));
        return Value::array(std::move(pieces));
    }
    // Matches are counted first so the array is allocated once. One byte,
    // the common case, is a plain scan: pieces are short and a library
    // search per piece costs more than it saves.
    size_t from = 0;
    if (separator.size() == 1) {
        const char c = separator[0];
        pieces.reserve(size_t(std::count(text.begin(), text.end(), c)) + 1);
        for (size_t at = 0; at < text.size(); ++at) {
            if (text[at] != c) continue;
            pieces.push_back(Value::string(text.substr(from, at - from)));
            from = at + 1;
        }
    } else {
        size_t matches = 0;
        for (size_t at = text.find(separator); at != std::string_view::npos;
             at = text.find(separator, at + separator.size()))
            ++matches;
        pieces.reserve(matches + 1);
        for (size_t at = text.find(separator); at != std::string_view::npos;
             at = text.find(separator, from)) {
            pieces.push_back(Value::string(text.substr(from, at - from)));
            from = at + separator.size();
        }
    }
    pieces.push_back(Value::string(text.substr(from)));
    return Value::array(std::move(pieces));
}

Value concat(Value* args, size_t count, NativeContext&) {
    if (count == 0) return Value::string("");
    // The first argument's buffer is reused when nothing else holds it
    // (s = concat(s, t) in a loop stays linear). The arguments belong to this
    // call and are discarded after it.
    Value& first = args[0];
    Value result =
        first.kind() == ValueKind::String ? std::move(first) : Value::string(display_text(first));
    std::string storage;
    for (size_t i = 1; i < count; ++i)
        result.append_text(argument_text(args[i], storage));
    return result;
}

// The rows: name, function.
constexpr BuiltinEntry kRows[] = {
    {"upper", upper, takes(1)}, {"lower", lower, takes(1)},
    {"slice", slice, takes(3)}, {"contains", contains, takes(2)},
    {"split", split, takes(2)}, {"concat", concat, takes(0, kAnyMore)},
};

std::span<const BuiltinEntry> text_builtins() {
    return kRows;
}

} // namespace drevel::builtins
