// Requests for handler routes and static files, read in full: the request
// line, the headers and the body, by Content-Length or chunked, within
// limits. The bytes are taken apart by http_parser; this file keeps what the
// callbacks hand over and turns it into the script's request dict.
#pragma once

#include <http_parser.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interpreter/value.h"

namespace drevel::http {

// The request line, the headers and the empty line after them, at most.
inline constexpr size_t kHeaderLimit = 8 * 1024;
// A body larger than this is refused with 413, unless http.limit says else.
inline constexpr size_t kDefaultBodyLimit = 1024 * 1024;

// The method and target of a request line "METHOD TARGET VERSION", split at
// single spaces; empty when the line does not have that shape.
struct RequestLine {
    std::string_view method;
    std::string_view target;
    std::string_view path;  // the target without its query, still encoded
    std::string_view query; // after the "?", still encoded
};
// Reads the first line of bytes (up to the first line feed); false when it
// is incomplete or not a request line.
bool split_request_line(std::string_view bytes, RequestLine& line);

// %XX sequences decoded; with plus_is_space, "+" becomes a space (query
// strings and form bodies). A "%" without two hex digits stays as it is.
std::string percent_decode(std::string_view text, bool plus_is_space);
// name=value pairs joined by "&", decoded; a later name replaces an earlier.
Value decode_fields(std::string_view text);

// One request being read. Feed it the bytes as they arrive; it stops after
// one complete message, so what follows (a pipelined request) stays unread.
class RequestReader {
  public:
    enum class State : uint8_t { Reading, Complete, Bad, TooLarge, HeadersTooLarge };

    RequestReader();
    // Starts over for the next request on the connection.
    void reset(size_t body_limit);
    // Takes bytes; returns how many belong to this request. Once the state
    // is no longer Reading the rest is left alone.
    size_t feed(const char* data, size_t size);
    // The client ended its side: a body without a length ends here.
    void finish();

    State state() const { return state_; }
    std::string_view method() const;
    const std::string& target() const { return target_; }
    std::span<const std::pair<std::string, std::string>> headers() const {
        return {headers_.data(), header_count_};
    }
    const std::string& body() const { return body_; }
    // The header's value (names compared in lower case), or empty.
    std::string_view header(std::string_view lower_name) const;
    bool keep_alive() const { return keep_alive_; }
    bool is_head() const { return parser_.method == HTTP_HEAD; }
    // The client waits for "100 Continue" before it sends the body.
    bool expects_continue() const { return expects_continue_; }

  private:
    static int on_url(http_parser* p, const char* at, size_t n);
    static int on_header_field(http_parser* p, const char* at, size_t n);
    static int on_header_value(http_parser* p, const char* at, size_t n);
    static int on_headers_complete(http_parser* p);
    static int on_body(http_parser* p, const char* at, size_t n);
    static int on_message_complete(http_parser* p);
    static const http_parser_settings kSettings;
    // Ends the reading with the given state; the parser stops at once.
    int stop(State state);

    http_parser parser_;
    State state_ = State::Reading;
    bool in_value_ = false;
    bool keep_alive_ = false;
    bool expects_continue_ = false;
    size_t body_limit_ = kDefaultBodyLimit;
    std::string target_;
    std::vector<std::pair<std::string, std::string>> headers_;
    size_t header_count_ = 0; // headers_ keeps its strings between requests
    std::string body_;
};

// True for a Content-Type of JSON: application/json or application/...+json.
bool is_json_type(std::string_view type);

// The dict a handler receives: method, path, query, params, headers, body,
// form, json (the body read as JSON, or Null) and remote.
Value request_value(const RequestReader& reader, Value params, std::string_view remote, Value json);

} // namespace drevel::http
