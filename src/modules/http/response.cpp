#include "modules/http/response.h"

#include <algorithm>
#include <charconv>

#include "interpreter/json.h"
#include "modules/http/protocol.h"

namespace drevel::http {

namespace {

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kJson = "application/json";

// Headers the server writes itself; a handler's own would contradict them.
constexpr std::string_view kServerHeaders[] = {"content-length", "connection", "transfer-encoding",
                                               "content-type"};

void append_decimal(std::string& out, uint64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, size_t(end - digits));
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool is_server_header(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        c = ascii_lower(c);
    for (std::string_view own : kServerHeaders) {
        if (lower == own) return true;
    }
    return false;
}

// A header name is a token; a value may not break the line.
bool is_header_name(std::string_view name) {
    if (name.empty()) return false;
    for (unsigned char c : name) {
        if (c <= ' ' || c >= 0x7F || c == ':') return false;
    }
    return true;
}

bool is_header_value(std::string_view value) {
    return value.find_first_of("\r\n", 0) == std::string_view::npos &&
           value.find('\0') == std::string_view::npos;
}

void append_status_line(std::string& out, int64_t code) {
    out += "HTTP/1.1 ";
    append_decimal(out, uint64_t(code));
    out += ' ';
    out += server_reason(code);
    out += "\r\n";
}

void append_ending(std::string& out, int64_t code, std::string_view type, uint64_t length,
                   ResponseMode mode) {
    if (!type.empty()) {
        out += "Content-Type: ";
        out += type;
        out += "\r\n";
    }
    // These never have a body; a length on Not Modified would be the file's.
    if (code >= 200 && code != 204 && code != 304) {
        out += "Content-Length: ";
        append_decimal(out, length);
        out += "\r\n";
    }
    out += mode.keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
}

// A status from a script: a whole number from 100 to 999, else 500.
int64_t status_of(const Value* status) {
    if (status == nullptr) return 200;
    if (!status->is_numeric()) return 500;
    const int64_t code = numeric_to_int(*status);
    return code >= 100 && code <= 999 ? code : 500;
}

} // namespace

void append_handler_response(std::string& out, const Value& result, ResponseMode mode) {
    int64_t code = 200;
    std::string body;
    std::string_view type = kHtml;
    std::string extra;
    if (result.kind() == ValueKind::Dict) {
        const Dict& fields = result.entries();
        code = status_of(fields.find("status"));
        if (const Value* json = fields.find("json")) {
            json::append(body, *json);
            type = kJson;
        } else if (const Value* text = fields.find("body")) {
            append_display_text(body, *text);
        }
        std::string type_text;
        if (const Value* given = fields.find("type")) {
            type_text = display_text(*given);
            if (is_header_value(type_text)) type = type_text;
        }
        if (const Value* headers = fields.find("headers");
            headers && headers->kind() == ValueKind::Dict) {
            for (const auto& [key, value] : headers->entries()) {
                // Names in a dict literal are bare words: x_powered_by is
                // the header X-Powered-By's name as a script writes it.
                std::string name(key);
                std::replace(name.begin(), name.end(), '_', '-');
                const std::string text = display_text(value);
                if (!is_header_name(name) || !is_header_value(text) || is_server_header(name)) {
                    continue;
                }
                extra += name;
                extra += ": ";
                extra += text;
                extra += "\r\n";
            }
        }
        append_status_line(out, code);
        out += extra;
        const bool no_body = code == 204 || code == 304 || code < 200;
        append_ending(out, code, type, no_body ? 0 : body.size(), mode);
        if (!mode.head && !no_body) out += body;
        return;
    }
    if (result.is_null()) {
        append_status_line(out, 204);
        append_ending(out, 204, {}, 0, mode);
        return;
    }
    append_display_text(body, result);
    append_status_line(out, code);
    append_ending(out, code, type, body.size(), mode);
    if (!mode.head) out += body;
}

std::string server_response(int64_t code, std::string_view allow, std::string_view detail) {
    std::string body(detail.empty() ? server_reason(code) : detail);
    body += '\n';
    std::string out;
    append_status_line(out, code);
    if (!allow.empty()) {
        out += "Allow: ";
        out += allow;
        out += "\r\n";
    }
    append_ending(out, code, "text/plain; charset=utf-8", body.size(), ResponseMode{});
    out += body;
    return out;
}

std::string response_head(int64_t code, std::string_view type, uint64_t length,
                          std::string_view extra_headers, ResponseMode mode) {
    std::string out;
    append_status_line(out, code);
    out += extra_headers;
    append_ending(out, code, type, length, mode);
    return out;
}

Value redirect_value(std::string location, int64_t status) {
    Dict headers;
    headers.insert_or_assign("Location", Value::string(location));
    Dict response;
    response.insert_or_assign("status", Value::number(status));
    response.insert_or_assign("headers", Value::dict(std::move(headers)));
    response.insert_or_assign("body", Value::string(""));
    return Value::dict(std::move(response));
}

} // namespace drevel::http
