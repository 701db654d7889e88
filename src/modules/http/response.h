// The responses of handler routes and static files: what a handler returned,
// turned into a status line, headers and body, and the server's own short
// answers (400, 405, 413, 431, 500).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/value.h"

namespace drevel::http {

// How a response ends the exchange: whether the connection stays open for
// the next request, and whether the body is left out (HEAD).
struct ResponseMode {
    bool keep_alive = false;
    bool head = false;
};

// A handler's result as a whole response: a String is a 200 HTML page; a
// Dict may give status, body, type, headers and json; Null is 204; anything
// else is sent as its display text.
void append_handler_response(std::string& out, const Value& result, ResponseMode mode);

// A short text/plain answer of the server itself, closing the connection:
// the reason phrase, or the detail when there is one. allow: the Allow
// header's value, for 405.
std::string server_response(int64_t code, std::string_view allow = {},
                            std::string_view detail = {});

// The head of a response with a body of the given length sent separately
// (a file): status line, Content-Type, Content-Length, extra header lines
// (each ending in CRLF) and the Connection header, then the empty line.
std::string response_head(int64_t code, std::string_view type, uint64_t length,
                          std::string_view extra_headers, ResponseMode mode);

// http.redirect: the response dict of a redirect to location.
Value redirect_value(std::string location, int64_t status);

} // namespace drevel::http
