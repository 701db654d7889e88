// The server half of the http module: the process-wide route table and the
// accept loop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace drevel::http {

// Adds a page at the end of the route table. Its whole response is built
// now, so serving it is a single send.
void add_route(std::string path, std::string_view content);

// The response for a request path: the first registered page with exactly
// that path, or the 404 response. Valid until the next add_route.
std::string_view response_for(std::string_view path);

// Listens on 127.0.0.1:port and answers connections one at a time, for
// ever. Returns only when the socket cannot be set up, with the reason.
std::string serve(uint16_t port);

} // namespace drevel::http
