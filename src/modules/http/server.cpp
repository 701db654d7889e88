#include "modules/http/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <mutex>
#include <vector>

#include "interpreter/output.h"
#include "modules/files/file_system.h"
#include "modules/http/protocol.h"

namespace drevel::http {

namespace {

// A client that sends nothing for this long is dropped without an answer,
// so it cannot hold up the clients behind it; the same holds for a client
// that stops reading a large response.
constexpr time_t kTimeoutSeconds = 5;
// Responses up to this size fit the socket's send buffer and never block.
constexpr size_t kUnblockedResponseSize = 64 * 1024;
// After a request longer than the buffer, this much of the unread rest is
// taken off the socket so that closing it does not reset the connection
// under the response.
constexpr size_t kDrainLimit = 256 * 1024;

struct Route {
    std::string path;
    std::string response;
};

struct RouteTable {
    std::mutex lock;
    std::vector<Route> routes;
};

RouteTable& route_table() {
    static RouteTable table;
    return table;
}

// One pass over the table; the caller holds the lock.
std::string_view find_response(const std::vector<Route>& routes, std::string_view path) {
    for (const Route& route : routes) {
        if (route.path == path) return route.response;
    }
    return kNotFoundResponse;
}

void send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // the client went away; nothing to tell anyone
        data.remove_prefix(size_t(n));
    }
}

double seconds_since(const timespec& start) {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) / 1e9;
}

void set_time_out(int fd, int option, time_t seconds) {
    const timeval limit{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit);
}

// A response larger than the socket buffer waits for the client to read. A
// client that does not take in a buffer's worth within the time-out (the
// send returns short after waiting that long) is dropped, however slowly it
// trickles, so it cannot hold up the clients behind it.
void send_large(int fd, std::string_view data) {
    set_time_out(fd, SO_SNDTIMEO, kTimeoutSeconds);
    while (!data.empty()) {
        timespec start;
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data.remove_prefix(size_t(n));
        if (!data.empty() && seconds_since(start) >= double(kTimeoutSeconds) - 1.0) return;
    }
}

void drain(int fd) {
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    size_t total = 0;
    while (total < kDrainLimit) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        total += size_t(n);
    }
}

// Reads the first segment of the request, answers it and closes. Nothing
// here allocates: the request and the path live on the stack and the
// response was built when its page was registered.
void answer(int fd) {
    set_time_out(fd, SO_RCVTIMEO, kTimeoutSeconds);
    char request[kRequestBufferSize];
    ssize_t received;
    do {
        received = ::recv(fd, request, sizeof request, 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) { // failed or timed out: no answer
        ::close(fd);
        return;
    }
    char scratch[3 * kRequestBufferSize];
    const std::string_view path =
        request_path_of(std::string_view(request, size_t(received)), scratch);
    {
        RouteTable& table = route_table();
        std::lock_guard guard(table.lock);
        const std::string_view response = find_response(table.routes, path);
        if (response.size() > kUnblockedResponseSize) {
            send_large(fd, response);
        } else {
            send_all(fd, response);
        }
    }
    if (size_t(received) == sizeof request) drain(fd);
    ::close(fd);
}

bool out_of_resources(int code) {
    return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
}

std::string socket_error(int fd) {
    std::string text = file_system::os_error_text(errno);
    if (fd >= 0) ::close(fd);
    return text;
}

} // namespace

void add_route(std::string path, std::string_view content) {
    Route route{std::move(path), page_response(content)};
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    table.routes.push_back(std::move(route));
}

std::string_view response_for(std::string_view path) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    return find_response(table.routes, path);
}

std::string serve(uint16_t port) {
    const std::string port_text = std::to_string(port);
    output::write("Starting HTTP server on port " + port_text + "\n");

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return socket_error(-1);
    const int one = 1;
    if (::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
        return socket_error(listener);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 128) != 0) {
        return socket_error(listener);
    }

    output::write("Server listening on http://localhost:" + port_text + "\n");
    output::flush();

    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            answer(fd);
            continue;
        }
        const int code = errno;
        if (code == EINTR) continue;
        output::error_line("Connection error: " + file_system::os_error_text(code) + "\n");
        if (out_of_resources(code)) {
            // Give closing connections a moment instead of spinning.
            const timespec pause{0, 50 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
}

} // namespace drevel::http
