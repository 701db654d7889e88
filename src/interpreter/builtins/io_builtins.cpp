// print, input and the type tests.
#include <string>

#include "interpreter/builtins/core.h"
#include "interpreter/input_reader.h"
#include "interpreter/output.h"
#include "lexer/unicode.h"

namespace drevel::builtins {

Value print(Value* args, size_t count, NativeContext&) {
    for (size_t i = 0; i < count; ++i) {
        if (args[i].kind() == ValueKind::String) {
            output::write(args[i].text());
        } else {
            std::string text;
            append_display_text(text, args[i]);
            output::write(text);
        }
        output::write_char('\n');
    }
    return Value();
}

Value input(Value* args, size_t count, NativeContext&) {
    if (count == 0) return Value();
    output::write(display_text(args[0]));
    output::flush();
    std::string line;
    // Ctrl-C at the interactive prompt ends the wait and the whole input.
    if (read_input_line(line) == LineRead::Interrupted) return Value::error("Interrupted");
    return Value::string(std::string(trim_white_space(utf8_lossy(line))));
}

Value type_of(Value* args, size_t count, NativeContext&) {
    if (count == 0) return Value();
    switch (args[0].kind()) {
    case ValueKind::Number: return Value::string("number");
    case ValueKind::Float: return Value::string("float");
    case ValueKind::String: return Value::string("string");
    case ValueKind::Boolean: return Value::string("boolean");
    case ValueKind::Array: return Value::string("array");
    case ValueKind::Dict: return Value::string("dict");
    case ValueKind::Null: return Value::string("null");
    default: return Value::string("unknown");
    }
}

Value is_number(Value* args, size_t count, NativeContext&) {
    return Value::boolean(count > 0 && args[0].is_numeric());
}
Value is_string(Value* args, size_t count, NativeContext&) {
    return Value::boolean(count > 0 && args[0].kind() == ValueKind::String);
}
Value is_array(Value* args, size_t count, NativeContext&) {
    return Value::boolean(count > 0 && args[0].kind() == ValueKind::Array);
}
Value is_dict(Value* args, size_t count, NativeContext&) {
    return Value::boolean(count > 0 && args[0].kind() == ValueKind::Dict);
}

// The rows: name, function.
constexpr BuiltinEntry kRows[] = {
    {"print", print, takes(0, kAnyMore)}, {"input", input, takes(1)},
    {"typeof", type_of, takes(1)},        {"is_number", is_number, takes(1)},
    {"is_string", is_string, takes(1)},   {"is_array", is_array, takes(1)},
    {"is_dict", is_dict, takes(1)},
};

std::span<const BuiltinEntry> io_builtins() {
    return kRows;
}

} // namespace drevel::builtins
