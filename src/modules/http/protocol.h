// The bytes the http module reads and writes, apart from any socket: request
// paths, responses, status lines, JSON text, URLs and client requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/value.h"

namespace drevel::http {

// Only the first segment of a request, up to this many bytes, is read.
inline constexpr size_t kRequestBufferSize = 1024;

// What every request without a registered page gets: exactly 80 bytes.
inline constexpr std::string_view kNotFoundResponse =
    "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\nNot Found";

// The request path: the second piece of the received bytes, read as UTF-8,
// split at runs of white space; "/" when there are fewer than two pieces.
// When the piece holds invalid UTF-8, its text with each bad sequence
// replaced by U+FFFD is written to scratch, which must hold three bytes for
// every received byte; otherwise the result points into received.
std::string_view request_path_of(std::string_view received, char* scratch);

// The whole 200 response for a page: status line, headers and content.
std::string page_response(std::string_view content);

// "OK" for 200, ..., "Unknown" for codes without a phrase.
std::string_view reason_phrase(int64_t code);
// "HTTP/1.1 " + code + " " + reason, with no line end.
std::string status_line(int64_t code, std::string_view reason);

// A client URL taken apart. host and path point into the URL text.
struct UrlParts {
    std::string_view host;
    uint16_t port = 80;
    std::string_view path;
};
enum class UrlResult { Ok, Https };

// Trims white space, drops "http://", refuses "https://", splits the
// authority from the path at the first "/" and the host from the port at the
// first ":".
UrlResult split_url(std::string_view url, UrlParts& parts);
// An unsigned 16-bit decimal with an optional "+"; anything else gives 80.
uint16_t parse_port(std::string_view text);

// The request bytes: request line, Host, Connection: close and
// Content-Length headers, an empty line and the body.
std::string request_text(std::string_view method, std::string_view host, std::string_view path,
                         std::string_view body);

} // namespace drevel::http
