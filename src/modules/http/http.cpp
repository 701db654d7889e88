// The http module's functions: argument checks and messages around the
// server, the client and the text builders.
#include "modules/http/http.h"

#include <string>

#include "lexer/unicode.h"
#include "modules/files/file_system.h"
#include "modules/http/client.h"
#include "modules/http/protocol.h"
#include "modules/http/routes.h"
#include "modules/http/server.h"

namespace drevel {

namespace {

// Paths, contents, URLs and bodies are the display text of any value.
std::string text_of(const Value& v) {
    return display_text(v);
}

Value serve(const Value* args, size_t) {
    if (!args[0].is_numeric()) return Value::error("Port must be a number");
    // Only the low 16 bits count: 70000 is port 4464, -1 is 65535.
    const auto port = static_cast<uint16_t>(numeric_to_int(args[0]));
    return Value::error("Failed to bind to port: " + http::serve(port));
}

Value page(const Value* args, size_t) {
    http::add_route(text_of(args[0]), text_of(args[1]));
    return Value::null();
}

Value template_text(const Value* args, size_t) {
    std::string content, error;
    if (!file_system::read_text_file(text_of(args[0]), content, error)) {
        return Value::error("Failed to read template: " + error);
    }
    return Value::string(std::move(content));
}

Value json(const Value* args, size_t) {
    std::string out;
    http::append_json(out, args[0]);
    return Value::string(std::move(out));
}

Value status(const Value* args, size_t count) {
    if (!args[0].is_numeric()) return Value::error("Status code must be a number");
    const int64_t code = numeric_to_int(args[0]);
    if (count >= 2) return Value::string(http::status_line(code, text_of(args[1])));
    return Value::string(http::status_line(code, http::reason_phrase(code)));
}

Value get(const Value* args, size_t) {
    return http::send_request(text_of(args[0]), "GET", "");
}

Value post(const Value* args, size_t) {
    return http::send_request(text_of(args[0]), "POST", text_of(args[1]));
}

Value send(const Value* args, size_t) {
    const std::string method = to_upper(text_of(args[1]));
    return http::send_request(text_of(args[0]), method, text_of(args[2]));
}

struct HttpFunction {
    std::string_view name;
    size_t required; // arguments below this count give the usage message
    const char* usage;
    Value (*run)(const Value* args, size_t count);
};

constexpr HttpFunction kFunctions[] = {
    {"http.serve", 1, "serve requires a port number", serve},
    {"http.page", 2, "page requires a path and content", page},
    {"http.template", 1, "template requires a filepath", template_text},
    {"http.json", 1, "json requires an argument", json},
    {"http.status", 1, "status requires a status code", status},
    {"http.get", 1, "get requires a url", get},
    {"http.post", 2, "post requires a url and body", post},
    {"http.send", 3, "send requires url, method, and optionally body", send},
};

} // namespace

bool http_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                   Value& result) {
    for (const HttpFunction& f : kFunctions) {
        if (f.name != qualified_name) continue;
        result = count < f.required ? Value::error(f.usage) : f.run(args, count);
        return true;
    }
    return false;
}

} // namespace drevel
