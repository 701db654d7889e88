// The process-wide route table of the http module: the pages a script
// registered, each with its whole response built in advance.
#pragma once

#include <string>
#include <string_view>

namespace drevel::http {

// Adds a page at the end of the route table. Its whole response is built
// now, so serving it is a single send.
void add_route(std::string path, std::string_view content);

// The response for a request path: the first registered page with exactly
// that path, or the 404 response. Valid until the next add_route.
std::string_view response_for(std::string_view path);

} // namespace drevel::http
