// The http module's functions: argument checks and messages around the
// server, the client and the text builders.
#include "modules/http/http.h"

#include <string>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/source_file.h"
#include "lexer/unicode.h"
#include "modules/http/client.h"
#include "modules/http/protocol.h"
#include "modules/http/routes.h"
#include "modules/http/server.h"

namespace drevel {

namespace {

Value serve(Value* args, size_t, NativeContext&) {
    if (!args[0].is_numeric()) return Value::error("Port must be a number");
    // Only the low 16 bits count: 70000 is port 4464, -1 is 65535.
    const auto port = static_cast<uint16_t>(numeric_to_int(args[0]));
    return Value::error("Failed to bind to port: " + http::serve(port));
}

Value page(Value* args, size_t, NativeContext&) {
    http::add_route(argument_text(args[0]), argument_text(args[1]));
    return Value::null();
}

Value template_text(Value* args, size_t, NativeContext&) {
    std::string error;
    std::optional<std::string> content = read_text_file(argument_text(args[0]), error);
    if (!content) return Value::error("Failed to read template: " + error);
    return Value::string(std::move(*content));
}

Value json(Value* args, size_t, NativeContext&) {
    std::string out;
    http::append_json(out, args[0]);
    return Value::string(std::move(out));
}

Value status(Value* args, size_t count, NativeContext&) {
    if (!args[0].is_numeric()) return Value::error("Status code must be a number");
    const int64_t code = numeric_to_int(args[0]);
    if (count >= 2) return Value::string(http::status_line(code, argument_text(args[1])));
    return Value::string(http::status_line(code, http::reason_phrase(code)));
}

Value get(Value* args, size_t, NativeContext&) {
    return http::send_request(argument_text(args[0]), "GET", "");
}

Value post(Value* args, size_t, NativeContext&) {
    return http::send_request(argument_text(args[0]), "POST", argument_text(args[1]));
}

Value send(Value* args, size_t, NativeContext&) {
    const std::string method = to_upper(argument_text(args[1]));
    return http::send_request(argument_text(args[0]), method, argument_text(args[2]));
}

constexpr BuiltinEntry kFunctions[] = {
    {"page", page, {2, "page requires a path and content"}},
    {"serve", serve, {1, "serve requires a port number"}},
    {"template", template_text, {1, "template requires a filepath"}},
    {"json", json, {1, "json requires an argument"}},
    {"status", status, {1, "status requires a status code", 1, 2}},
    {"send", send, {3, "send requires url, method, and optionally body"}},
    {"get", get, {1, "get requires a url"}},
    {"post", post, {2, "post requires a url and body"}},
};

} // namespace

const NativeModule& http_module() {
    static const NativeModule module{"http", "HTTP", true, kFunctions, {}};
    return module;
}

} // namespace drevel
