#include "modules/http/client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "interpreter/output.h"
#include "lexer/unicode.h"
#include "modules/http/protocol.h"
#include "platform/source_file.h"

namespace drevel::http {

namespace {

class Connection {
  public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (fd >= 0) ::close(fd);
    }
    int fd = -1;
};

// Connects, carrying on with a connect that a signal interrupted (it goes on
// in the background; its outcome is read once the socket is writable).
// Returns 0 or an errno.
int connect_socket(int fd, const sockaddr* address, socklen_t length) {
    if (::connect(fd, address, length) == 0) return 0;
    if (errno != EINTR) return errno;
    pollfd wait{fd, POLLOUT, 0};
    while (::poll(&wait, 1, -1) < 0) {
        if (errno != EINTR) return errno;
    }
    int code = 0;
    socklen_t size = sizeof code;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) != 0) return errno;
    return code;
}

// Resolves host and port and connects to the first address that answers.
bool open_connection(const std::string& host, uint16_t port, Connection& connection,
                     std::string& error) {
    if (host.find('\0') != std::string::npos) {
        error = "host name contained an unexpected NUL byte";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        error = status == EAI_SYSTEM ? os_error_text(errno) : std::string(::gai_strerror(status));
        return false;
    }
    if (found == nullptr) {
        error = "could not resolve to any addresses";
        return false;
    }
    int last = 0;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            last = errno;
            continue;
        }
        last = connect_socket(fd, a->ai_addr, a->ai_addrlen);
        if (last == 0) {
            connection.fd = fd;
            break;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (connection.fd < 0) error = os_error_text(last);
    return connection.fd >= 0;
}

// Returns "" or the reason the request could not be written whole.
std::string write_request(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return os_error_text(errno);
        }
        if (n == 0) return kWriteZero;
        data.remove_prefix(size_t(n));
    }
    return {};
}

// Reads until the server closes. Returns "" or the reason reading failed.
std::string read_response(int fd, std::string& response) {
    size_t used = 0;
    response.resize(16 * 1024);
    for (;;) {
        if (used == response.size()) response.resize(response.size() * 2);
        const ssize_t n = ::recv(fd, response.data() + used, response.size() - used, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return os_error_text(errno);
        }
        if (n == 0) break;
        used += size_t(n);
    }
    response.resize(used);
    return {};
}

} // namespace

Value send_request(std::string_view url, std::string_view method, std::string_view body) {
    UrlParts parts;
    if (split_url(url, parts) == UrlResult::Https) {
        return Value::error("HTTPS not supported, use HTTP");
    }
    const std::string host(parts.host);
    const std::string request = request_text(method, parts.host, parts.path, body);

    // The server may take its time: what the script printed so far shows first.
    output::flush();

    Connection connection;
    std::string error;
    if (!open_connection(host, parts.port, connection, error)) {
        return Value::error("Failed to connect to " + host + ":" + std::to_string(parts.port) +
                            ": " + error);
    }
    error = write_request(connection.fd, request);
    if (!error.empty()) return Value::error("Failed to write request: " + error);

    std::string response;
    error = read_response(connection.fd, response);
    if (error.empty() && !is_valid_utf8(response)) error = kNotUtf8;
    if (!error.empty()) return Value::error("Failed to read response: " + error);
    return Value::string(std::move(response));
}

} // namespace drevel::http
