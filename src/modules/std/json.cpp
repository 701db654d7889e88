// JSON: the one reader and writer every module shares, under std's names.
#include "interpreter/json.h"

#include "modules/std/std_functions.h"

namespace drevel::stdlib {

Value parse_json(Value* args, size_t, NativeContext&) {
    if (!args[0].is(ValueKind::String)) return wrong_argument("parse_json", "a text", args[0]);
    Value parsed = json::parse(args[0].text());
    if (parsed.is_error()) return failure("parse_json", parsed.text());
    return parsed;
}

Value to_json(Value* args, size_t, NativeContext&) {
    std::string out;
    json::append(out, args[0]);
    return Value::string(out);
}

} // namespace drevel::stdlib
