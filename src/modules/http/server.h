// The server half of the http module: one thread answering many connections
// at once, driven by socket readiness.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace drevel {
class Interpreter;
}

namespace drevel::http {

// Where the server listens: 127.0.0.1 unless the script names an address.
struct ListenAddress {
    int family = AF_INET;
    in_addr v4{htonl(INADDR_LOOPBACK)};
    in6_addr v6{};
    std::string shown = "localhost"; // in the "Server listening on" line
};
// A numeric IPv4 or IPv6 address, or "localhost"; false for anything else.
bool parse_listen_address(std::string_view text, ListenAddress& where);

struct ServeResult {
    bool interrupted;  // Ctrl-C at the interactive prompt ended the serving
    std::string error; // otherwise: why the socket could not be set up
};

// Listens on the address and port and answers every connection by the route
// table, running handlers in the interpreter, until interrupted. Returns at
// once when the socket cannot be set up.
ServeResult serve(uint16_t port, const ListenAddress& where, Interpreter* interpreter);

} // namespace drevel::http
