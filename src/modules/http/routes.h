// The process-wide route table of the http module, searched in the order of
// registration: fixed pages (each with its whole response built in advance),
// handlers (a script function per request) and static folders.
#pragma once

#include <string>
#include <string_view>

#include "interpreter/value.h"
#include "modules/http/request.h"

namespace drevel::http {

// Adds a page at the end of the route table. Its whole response is built
// now, so serving it is a single send.
void add_route(std::string path, std::string_view content);
// Adds a handler for requests whose path fits the pattern: literal segments,
// ":name" segments and a last segment "*" for any rest. An empty method
// takes every method.
void add_handler(std::string method, std::string pattern, Value function);
// Adds a folder whose files are served below the URL prefix.
void add_static(std::string prefix, std::string folder);
// The largest request body taken (http.limit); 1 MiB until changed.
void set_body_limit(size_t bytes);
size_t body_limit();
// True once a handler or a static folder is registered: only then are
// requests read beyond their first line.
bool has_application_routes();

// The response for a request path when only pages count: the first
// registered page with exactly that path, or the 404 response. Valid for as
// long as the process runs.
std::string_view response_for(std::string_view path);

struct RouteMatch {
    enum class Kind : uint8_t { Page, NotFound, Handler, Static, WrongMethod };
    Kind kind = Kind::NotFound;
    std::string_view response; // Page and NotFound: the whole response
    Value function;            // Handler
    Value params;              // Handler: the ":name" segments (and "*")
    std::string file;          // Static: the file, resolved and checked
    std::string allow;         // WrongMethod: the methods the path takes
};

// The first route that fits: a page whose path equals page_path, a handler
// whose method and pattern fit the request line, a static folder holding the
// path. A path that only handlers for other methods take gives WrongMethod.
RouteMatch find_route(std::string_view page_path, const RequestLine* line);

// The ":name" segments of a path that fits the pattern, as a dict (with
// "*" for the rest a trailing "*" took); Null when it does not fit. Both
// are split at "/"; the path's segments are compared decoded.
Value match_pattern(std::string_view pattern, std::string_view path);

} // namespace drevel::http
