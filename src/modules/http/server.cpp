#include "modules/http/server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "interpreter/interpreter.h"
#include "interpreter/json.h"
#include "interpreter/log.h"
#include "interpreter/output.h"
#include "modules/http/connections.h"
#include "modules/http/protocol.h"
#include "modules/http/request.h"
#include "modules/http/response.h"
#include "modules/http/routes.h"
#include "modules/http/static_files.h"
#include "platform/source_file.h"

namespace drevel::http {

namespace {

// A client that makes no progress for this long (sends nothing while its
// request is incomplete, takes in nothing while its response is pending) is
// dropped, so that it holds a slot only briefly.
constexpr int64_t kIdleLimitMs = 5000;
// Connections in flight at most; fewer when the descriptor limit is lower.
constexpr size_t kMaxConnections = 1024;
// After an accept failed for lack of descriptors or memory, new connections
// wait this long in the backlog while the ones in flight finish.
constexpr int64_t kAcceptPauseMs = 100;
// New connections taken per readiness of the listener, so that a flood of
// them cannot starve the connections already in flight.
constexpr int kAcceptBatch = 64;
constexpr int kEventBatch = 256;
// After a request that filled the buffer, this much of the unread rest is
// taken off the socket so that closing it does not reset the connection
// under the response.
constexpr size_t kDrainLimit = 256 * 1024;
constexpr uint64_t kListenerTag = UINT64_MAX;
// The longest sleep of the loop: an interrupt that arrives just before it
// starts waiting is seen after this long at the latest.
constexpr int64_t kInterruptCheckMs = 1000;

int64_t now_ms() {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool out_of_resources(int code) {
    return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
}

// Descriptors open now, inherited ones included; the listing's own
// descriptor is not counted.
long open_descriptors(int fallback) {
    DIR* listing = ::opendir("/proc/self/fd");
    if (listing == nullptr) return fallback;
    long count = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(listing);
    return count - 1;
}

// Descriptors already open stay in use, and one more is needed to accept a
// connection before the oldest makes room for it.
size_t connection_cap(int highest_open_fd) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kMaxConnections;
    }
    const long spare = long(limit.rlim_cur) - open_descriptors(highest_open_fd + 1) - 1;
    return size_t(std::clamp(spare, 1L, long(kMaxConnections)));
}

std::string socket_error(int fd) {
    std::string text = os_error_text(errno);
    if (fd >= 0) ::close(fd);
    return text;
}

// The result of taking a step on a connection.
enum class Step { Done, Blocked, Failed };

// Requests answered on one kept-alive connection before it is closed, so
// that no client holds a slot for ever.
constexpr uint16_t kRequestsPerConnection = 1000;
// A connection's input buffer larger than this is given back after its
// request (a large body), so that idle slots stay small.
constexpr uint32_t kKeptBufferSize = 64 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

// The client's address as text ("127.0.0.1", "::1"), asked once per
// connection.
std::string_view remote_of(Connection& connection) {
    static_assert(sizeof connection.remote >= INET6_ADDRSTRLEN);
    if (connection.remote_known) return connection.remote;
    connection.remote_known = true;
    connection.remote[0] = '\0';
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(connection.fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return "";
    const void* address = &reinterpret_cast<sockaddr_in&>(peer).sin_addr;
    if (peer.ss_family == AF_INET6) address = &reinterpret_cast<sockaddr_in6&>(peer).sin6_addr;
    ::inet_ntop(peer.ss_family, address, connection.remote, sizeof connection.remote);
    return connection.remote;
}

class Server {
  public:
    Server(int listener, int epoll, Interpreter* interpreter)
        : listener_(listener), epoll_(epoll), interpreter_(interpreter),
          pool_(connection_cap(epoll)), application_(has_application_routes()) {}
    ~Server() {
        while (Connection* connection = pool_.oldest())
            close_connection(*connection);
        ::close(epoll_);
        ::close(listener_);
    }

    // Serves until an interrupt (Ctrl-C at the interactive prompt) is raised.
    void run() {
        epoll_event events[kEventBatch];
        while (!interrupt_requested) {
            // What handlers printed reaches a log file before the wait.
            output::flush();
            const int ready = ::epoll_wait(epoll_, events, kEventBatch, wait_limit_ms(now_ms()));
            const int64_t now = now_ms();
            for (int i = 0; i < ready && !interrupt_requested; ++i) {
                if (events[i].data.u64 == kListenerTag) {
                    accept_new(now);
                    continue;
                }
                Connection& connection = pool_.at(uint32_t(events[i].data.u64));
                // A slot freed earlier in this batch has no descriptor; one
                // reused since then only gets an extra, harmless attempt.
                if (connection.fd < 0) continue;
                if (events[i].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
                    connection.drained = false; // the event may bring bytes
                } else if (connection.phase != Connection::Phase::Writing) {
                    continue; // room to send, and nothing waits to be sent
                }
                advance(connection, now);
            }
            drop_idle(now_ms());
            if (accept_paused_ && now >= accept_resume_ms_) watch_listener(true);
        }
    }

  private:
    // How long the loop may sleep: until the oldest connection runs out of
    // time, or the listener is due to be watched again; at most a second,
    // so that an interrupt that came just before the wait is seen.
    int wait_limit_ms(int64_t now) {
        int64_t until = now + kInterruptCheckMs;
        if (const Connection* oldest = pool_.oldest()) {
            until = std::min(until, oldest->last_progress_ms + kIdleLimitMs);
        }
        if (accept_paused_) until = std::min(until, accept_resume_ms_);
        return int(std::max<int64_t>(0, until - now + 1));
    }

    void accept_new(int64_t now) {
        for (int i = 0; i < kAcceptBatch; ++i) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                const int code = errno;
                if (code == EINTR) continue;
                if (code == EAGAIN || code == EWOULDBLOCK) return;
                report_accept_failure(code, now);
                if (code == EMFILE && pool_.size() > 0) {
                    // The process holds all the descriptors it may: from now
                    // on the pool is full one short of that, and the oldest
                    // connection makes room as in a full pool.
                    pool_.limit_to(pool_.size() - 1);
                    close_connection(*pool_.oldest());
                    continue;
                }
                if (!out_of_resources(code)) continue;
                watch_listener(false);
                accept_resume_ms_ = now + kAcceptPauseMs;
                return;
            }
            if (pool_.full()) close_connection(*pool_.oldest());
            advance(pool_.open(fd, now), now);
        }
    }

    // A failure that repeats, as a lack of descriptors does on every try, is
    // printed when it starts, not once per try: again only after a quiet
    // second or with another cause.
    void report_accept_failure(int code, int64_t now) {
        const bool same_burst = code == accept_error_ && now - last_accept_failure_ms_ < 1000;
        accept_error_ = code;
        last_accept_failure_ms_ = now;
        if (same_burst) return;
        output::error_line("Connection error: " + os_error_text(code) + "\n");
    }

    void watch_listener(bool on) {
        epoll_event event{};
        event.events = on ? uint32_t(EPOLLIN) : 0u;
        event.data.u64 = kListenerTag;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, listener_, &event);
        accept_paused_ = !on;
    }

    // Takes the connection as far as it can go without waiting: reads a
    // request, answers it, and either closes the connection or goes on with
    // the next request. Where the socket is not ready, the connection waits
    // for its next readiness event.
    void advance(Connection& connection, int64_t now) {
        for (;;) {
            Step step = Step::Done;
            switch (connection.phase) {
            case Connection::Phase::Reading:
                step = read_head(connection, now);
                if (step != Step::Done) break;
                // A kept-alive client that leaves between requests.
                if (connection.served > 0 && connection.received == 0) {
                    return close_connection(connection);
                }
                start_route(connection);
                continue;
            case Connection::Phase::ReadingMessage:
                step = read_message(connection, now);
                if (step != Step::Done) break;
                answer(connection);
                now = now_ms(); // a handler may have taken a while
                continue;
            case Connection::Phase::Writing:
                step = send_response(connection, now);
                if (step != Step::Done) break;
                if (!connection.keep_alive) {
                    finish(connection);
                    return close_connection(connection);
                }
                next_request(connection);
                continue;
            }
            if (step == Step::Blocked) return watch(connection);
            return close_connection(connection);
        }
    }

    // Room for at least `more` bytes after the received ones.
    static void make_room(Connection& connection, uint32_t more) {
        const uint32_t need = connection.received + more;
        if (need <= connection.capacity) return;
        const uint32_t capacity = std::max(need, std::max<uint32_t>(connection.capacity * 2, 1024));
        std::unique_ptr<char[]> grown(new char[capacity]);
        if (connection.received) std::memcpy(grown.get(), connection.in.get(), connection.received);
        connection.in = std::move(grown);
        connection.capacity = capacity;
    }

    // Reads until the first line of the request is complete (a line feed
    // arrived), the first line's limit is reached or the client ended its
    // sending side. With only pages registered the limit is the 1024 bytes
    // that decide a page; with handlers it is the whole head's limit.
    Step read_head(Connection& connection, int64_t now) {
        const uint32_t limit = uint32_t(application_ ? kHeaderLimit : kRequestBufferSize);
        if (connection.received > 0 &&
            std::memchr(connection.in.get(), '\n', connection.received) != nullptr) {
            return Step::Done; // a pipelined request is already in
        }
        // Nothing can have come since the last receive: wait for the event.
        if (connection.drained) return Step::Blocked;
        for (;;) {
            if (connection.saw_end || connection.received >= limit) return Step::Done;
            make_room(connection, limit - connection.received);
            char* const at = connection.in.get() + connection.received;
            const size_t room = limit - connection.received;
            const ssize_t n = ::recv(connection.fd, at, room, 0);
            if (n > 0) {
                connection.received += uint32_t(n);
                connection.drained = size_t(n) < room;
                pool_.touch(connection, now);
                if (std::memchr(at, '\n', size_t(n)) != nullptr) return Step::Done;
                continue;
            }
            if (n == 0) {
                connection.saw_end = true;
                return Step::Done;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Step::Blocked;
            return Step::Failed;
        }
    }

    // Chooses the route by the first line: a page (or 404) is answered at
    // once and closes the connection; a handler or a static file needs the
    // whole request first.
    void start_route(Connection& connection) {
        const std::string_view received(connection.in.get(), connection.received);
        char scratch[3 * kRequestBufferSize];
        const std::string_view page_path =
            request_path_of(received.substr(0, kRequestBufferSize), scratch);
        connection.keep_alive = false;
        connection.phase = Connection::Phase::Writing;
        // A request that filled the buffer may have more bytes behind it,
        // and so may any whose head was read only up to its first line.
        connection.must_drain = application_ || connection.received >= kRequestBufferSize;
        if (!application_) {
            connection.pending = response_for(page_path);
            return;
        }
        RequestLine line;
        const bool has_line = split_request_line(received, line);
        connection.route = find_route(page_path, has_line ? &line : nullptr);
        switch (connection.route.kind) {
        case RouteMatch::Kind::Page:
        case RouteMatch::Kind::NotFound: connection.pending = connection.route.response; return;
        case RouteMatch::Kind::WrongMethod:
            return respond_with(connection, server_response(405, connection.route.allow));
        case RouteMatch::Kind::Handler:
        case RouteMatch::Kind::Static:
            connection.reader.reset(body_limit());
            connection.parsed = 0;
            connection.sent_continue = false;
            connection.phase = Connection::Phase::ReadingMessage;
            return;
        }
    }

    // Feeds the reader until its request is complete or refused.
    Step read_message(Connection& connection, int64_t now) {
        RequestReader& reader = connection.reader;
        for (;;) {
            if (connection.parsed < connection.received) {
                connection.parsed += uint32_t(reader.feed(connection.in.get() + connection.parsed,
                                                          connection.received - connection.parsed));
            }
            if (reader.state() != RequestReader::State::Reading) return Step::Done;
            // Everything so far is with the reader: the buffer starts over.
            connection.received = connection.parsed = 0;
            if (reader.expects_continue() && !connection.sent_continue) {
                connection.sent_continue = true;
                ::send(connection.fd, kContinue.data(), kContinue.size(), MSG_NOSIGNAL);
            }
            if (connection.saw_end) {
                reader.finish();
                return Step::Done;
            }
            if (connection.drained) return Step::Blocked;
            make_room(connection, 4 * 1024);
            const ssize_t n = ::recv(connection.fd, connection.in.get(), connection.capacity, 0);
            if (n > 0) {
                connection.received = uint32_t(n);
                connection.drained = size_t(n) < connection.capacity;
                pool_.touch(connection, now);
                continue;
            }
            if (n == 0) {
                connection.saw_end = true;
                continue;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Step::Blocked;
            return Step::Failed;
        }
    }

    // The response to a whole request (or to one refused on the way).
    void answer(Connection& connection) {
        const RequestReader& reader = connection.reader;
        switch (reader.state()) {
        case RequestReader::State::Reading:
        case RequestReader::State::Bad: return respond_with(connection, server_response(400));
        case RequestReader::State::TooLarge: return respond_with(connection, server_response(413));
        case RequestReader::State::HeadersTooLarge:
            return respond_with(connection, server_response(431));
        case RequestReader::State::Complete: break;
        }
        ++connection.served;
        connection.must_drain = connection.parsed < connection.received;
        const ResponseMode mode{reader.keep_alive() && !connection.saw_end &&
                                    connection.served < kRequestsPerConnection,
                                reader.is_head()};
        connection.keep_alive = mode.keep_alive;
        connection.response.clear();
        if (connection.route.kind == RouteMatch::Kind::Static) {
            StaticFile file;
            if (!open_static(connection.route.file, reader.header("if-modified-since"), mode,
                             file)) {
                connection.keep_alive = false;
                connection.pending = kNotFoundResponse;
                connection.phase = Connection::Phase::Writing;
                return;
            }
            connection.response = std::move(file.head);
            connection.file_fd = file.fd;
            connection.file_offset = 0;
            connection.file_left = file.size;
        } else {
            run_handler(connection, mode);
        }
        connection.pending = connection.response;
        connection.phase = Connection::Phase::Writing;
    }

    void run_handler(Connection& connection, ResponseMode mode) {
        const RequestReader& reader = connection.reader;
        // A body that says it is JSON and is not is refused before the
        // handler sees it, with the reader's message.
        Value json;
        if (is_json_type(reader.header("content-type"))) {
            json = json::parse(reader.body());
            if (json.is_error()) {
                connection.response =
                    server_response(400, {}, "Invalid JSON: " + std::string(json.text()));
                connection.keep_alive = false;
                return;
            }
        }
        Value request = request_value(reader, std::move(connection.route.params),
                                      remote_of(connection), std::move(json));
        // A handler may take the request or nothing at all.
        const Value& handler = connection.route.function;
        const size_t count =
            handler.is(ValueKind::Function) && handler.function_body().arity == 0 ? 0 : 1;
        Value result = interpreter_ ? interpreter_->call_function(handler, &request, count)
                                    : Value::error("no interpreter to run the handler");
        connection.route.function = Value();
        if (result.is_error()) {
            report_error("Error in handler for " + std::string(reader.method()) + " " +
                         reader.target() + ": " + std::string(result.text()));
            connection.response = server_response(500);
            connection.keep_alive = false;
            return;
        }
        append_handler_response(connection.response, result, mode);
    }

    void respond_with(Connection& connection, std::string response) {
        connection.response = std::move(response);
        connection.pending = connection.response;
        connection.keep_alive = false;
        connection.must_drain = true;
        connection.phase = Connection::Phase::Writing;
    }

    Step send_response(Connection& connection, int64_t now) {
        std::string_view& pending = connection.pending;
        // A file's head goes out in one segment with the file's first bytes.
        const int more = connection.file_left > 0 ? MSG_MORE : 0;
        while (!pending.empty()) {
            const ssize_t n =
                ::send(connection.fd, pending.data(), pending.size(), MSG_NOSIGNAL | more);
            if (n > 0) {
                pending.remove_prefix(size_t(n));
                pool_.touch(connection, now);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Step::Blocked;
            return Step::Failed;
        }
        while (connection.file_left > 0) {
            const ssize_t n = ::sendfile(connection.fd, connection.file_fd, &connection.file_offset,
                                         std::min<uint64_t>(connection.file_left, 1 << 30));
            if (n > 0) {
                connection.file_left -= uint64_t(n);
                pool_.touch(connection, now);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Step::Blocked;
            return Step::Failed; // the file shrank under us, or the client left
        }
        close_file(connection);
        return Step::Done;
    }

    // A kept-alive connection goes on with the bytes after its request.
    void next_request(Connection& connection) {
        const uint32_t rest = connection.received - connection.parsed;
        if (rest > 0) {
            std::memmove(connection.in.get(), connection.in.get() + connection.parsed, rest);
        }
        connection.received = rest;
        connection.parsed = 0;
        if (connection.capacity > kKeptBufferSize && rest <= kRequestBufferSize) {
            std::unique_ptr<char[]> smaller(new char[kRequestBufferSize]);
            std::memcpy(smaller.get(), connection.in.get(), rest);
            connection.in = std::move(smaller);
            connection.capacity = kRequestBufferSize;
        }
        connection.pending = {};
        connection.route = RouteMatch();
        connection.phase = Connection::Phase::Reading;
    }

    // The whole response is with the kernel. Closing on unread bytes would
    // reset the connection and could cut the response short.
    void finish(Connection& connection) {
        if (connection.saw_end || !connection.must_drain) return;
        ::shutdown(connection.fd, SHUT_WR);
        char sink[4096];
        size_t total = 0;
        while (total < kDrainLimit) {
            const ssize_t n = ::recv(connection.fd, sink, sizeof sink, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            total += size_t(n);
        }
    }

    // Edge-triggered for both directions: the phase decides which one counts,
    // and the registration never changes until the descriptor is closed.
    void watch(Connection& connection) {
        if (connection.watched) return;
        epoll_event event{};
        event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
        event.data.u64 = pool_.index_of(connection);
        if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, connection.fd, &event) != 0) {
            return close_connection(connection);
        }
        connection.watched = true;
    }

    static void close_file(Connection& connection) {
        if (connection.file_fd >= 0) ::close(connection.file_fd);
        connection.file_fd = -1;
        connection.file_left = 0;
    }

    void close_connection(Connection& connection) {
        close_file(connection);
        ::close(connection.fd);
        connection.route = RouteMatch();
        if (connection.capacity > kKeptBufferSize) {
            connection.in.reset();
            connection.capacity = 0;
        }
        pool_.release(connection);
    }

    void drop_idle(int64_t now) {
        while (Connection* oldest = pool_.oldest()) {
            if (now - oldest->last_progress_ms < kIdleLimitMs) return;
            close_connection(*oldest);
        }
    }

    const int listener_;
    const int epoll_;
    Interpreter* const interpreter_;
    ConnectionPool pool_;
    // Handlers or static folders exist: requests are read in full.
    const bool application_;
    int accept_error_ = 0; // errno of the latest failed accept
    int64_t last_accept_failure_ms_ = 0;
    bool accept_paused_ = false;
    int64_t accept_resume_ms_ = 0;
};

} // namespace

bool parse_listen_address(std::string_view text, ListenAddress& where) {
    where = ListenAddress();
    if (text == "localhost") return true;
    const std::string address(text);
    if (::inet_pton(AF_INET, address.c_str(), &where.v4) == 1) {
        where.shown = address;
        return true;
    }
    if (::inet_pton(AF_INET6, address.c_str(), &where.v6) == 1) {
        where.family = AF_INET6;
        where.shown = "[" + address + "]";
        return true;
    }
    return false;
}

ServeResult serve(uint16_t port, const ListenAddress& where, Interpreter* interpreter) {
    const std::string port_text = std::to_string(port);
    output::write("Starting HTTP server on port " + port_text + "\n");

    sockaddr_storage address{};
    socklen_t address_size = 0;
    if (where.family == AF_INET6) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        in6.sin6_addr = where.v6;
        address_size = sizeof in6;
    } else {
        auto& in4 = reinterpret_cast<sockaddr_in&>(address);
        in4.sin_family = AF_INET;
        in4.sin_port = htons(port);
        in4.sin_addr = where.v4;
        address_size = sizeof in4;
    }
    const int listener = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) return {false, socket_error(-1)};
    // Several processes may share the port (one per core behind a balancer).
    const int one = 1;
    if (::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one) != 0) {
        return {false, socket_error(listener)};
    }
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), address_size) != 0 ||
        ::listen(listener, 128) != 0) {
        return {false, socket_error(listener)};
    }
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) return {false, socket_error(listener)};
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerTag;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event) != 0) {
        const std::string text = socket_error(listener);
        ::close(epoll);
        return {false, text};
    }

    output::write("Server listening on http://" + where.shown + ":" + port_text + "\n");
    // The start lines reach a log file or pipe before the first request.
    output::flush();
    Server(listener, epoll, interpreter).run();
    return {true, {}};
}

} // namespace drevel::http
