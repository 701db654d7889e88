// The http module's functions: argument checks and messages around the
// server, the client and the text builders.
#include "modules/http/http.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/json.h"
#include "lexer/unicode.h"
#include "modules/http/client.h"
#include "modules/http/protocol.h"
#include "modules/http/response.h"
#include "modules/http/routes.h"
#include "modules/http/server.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

Value serve(Value* args, size_t count, NativeContext& context) {
    if (!args[0].is_numeric()) return Value::error("Port must be a number");
    // Only the low 16 bits count: 70000 is port 4464, -1 is 65535.
    const auto port = static_cast<uint16_t>(numeric_to_int(args[0]));
    http::ListenAddress where;
    if (count >= 2 && !http::parse_listen_address(argument_text(args[1]), where)) {
        return Value::error("Invalid address: " + argument_text(args[1]));
    }
    const http::ServeResult result = http::serve(port, where, context.interpreter());
    if (result.interrupted) return Value::error("Interrupted");
    return Value::error("Failed to bind to port: " + result.error);
}

bool is_function(const Value& value) {
    return value.kind() == ValueKind::Function || value.kind() == ValueKind::BuiltinFunction;
}

// handle(path, function) for every method, handle(method, path, function)
// for one.
Value handle(Value* args, size_t count, NativeContext&) {
    if (count >= 3 && is_function(args[2])) {
        http::add_handler(to_upper(argument_text(args[0])), argument_text(args[1]),
                          std::move(args[2]));
        return Value::null();
    }
    if (!is_function(args[1])) return Value::error("handle requires a function");
    http::add_handler("", argument_text(args[0]), std::move(args[1]));
    return Value::null();
}

Value static_folder(Value* args, size_t, NativeContext&) {
    const std::string folder = argument_text(args[1]);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        return Value::error("Failed to serve folder: " + os_error_text(errno));
    }
    struct stat info {};
    if (::stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Value::error("Failed to serve folder: " + os_error_text(ENOTDIR));
    }
    http::add_static(argument_text(args[0]), resolved);
    return Value::null();
}

Value redirect(Value* args, size_t count, NativeContext&) {
    int64_t status = 302;
    if (count >= 2) {
        if (!args[1].is_numeric()) return Value::error("Status code must be a number");
        status = numeric_to_int(args[1]);
    }
    return http::redirect_value(argument_text(args[0]), status);
}

Value limit(Value* args, size_t, NativeContext&) {
    if (!args[0].is_numeric() || numeric_to_int(args[0]) < 0) {
        return Value::error("Limit must be a number of bytes");
    }
    http::set_body_limit(size_t(numeric_to_int(args[0])));
    return Value::null();
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
    json::append(out, args[0]);
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
    // Runs the request handlers.
    {"serve", serve, {1, "serve requires a port number", 1, 2}, nullptr, false, true},
    {"template", template_text, {1, "template requires a filepath"}},
    {"json", json, {1, "json requires an argument"}},
    {"status", status, {1, "status requires a status code", 1, 2}},
    {"handle", handle, {2, "handle requires a path and a function", 2, 3}},
    {"static", static_folder, {2, "static requires a url prefix and a folder"}},
    {"redirect", redirect, {1, "redirect requires a location", 1, 2}},
    {"limit", limit, {1, "limit requires a number of bytes"}},
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
