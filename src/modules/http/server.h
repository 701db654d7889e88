// The server half of the http module: one thread answering many connections
// at once, driven by socket readiness.
#pragma once

#include <cstdint>
#include <string>

namespace drevel::http {

// Listens on 127.0.0.1:port and answers every connection with the page its
// request path names, for ever. Returns only when the socket cannot be set
// up, with the reason.
std::string serve(uint16_t port);

} // namespace drevel::http
