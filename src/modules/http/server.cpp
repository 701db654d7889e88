#include "modules/http/server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "interpreter/output.h"
#include "modules/http/connections.h"
#include "modules/http/protocol.h"
#include "modules/http/routes.h"
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

class Server {
  public:
    Server(int listener, int epoll)
        : listener_(listener), epoll_(epoll), pool_(connection_cap(epoll)) {}

    [[noreturn]] void run() {
        epoll_event events[kEventBatch];
        for (;;) {
            const int ready = ::epoll_wait(epoll_, events, kEventBatch, wait_limit_ms(now_ms()));
            const int64_t now = now_ms();
            for (int i = 0; i < ready; ++i) {
                if (events[i].data.u64 == kListenerTag) {
                    accept_new(now);
                    continue;
                }
                Connection& connection = pool_.at(uint32_t(events[i].data.u64));
                // A slot freed earlier in this batch has no descriptor; one
                // reused since then only gets an extra, harmless attempt.
                if (connection.fd >= 0) advance(connection, now);
            }
            drop_idle(now);
            if (accept_paused_ && now >= accept_resume_ms_) watch_listener(true);
        }
    }

  private:
    // How long the loop may sleep: until the oldest connection runs out of
    // time, or the listener is due to be watched again.
    int wait_limit_ms(int64_t now) {
        int64_t until = -1;
        if (const Connection* oldest = pool_.oldest()) {
            until = oldest->last_progress_ms + kIdleLimitMs;
        }
        if (accept_paused_ && (until < 0 || accept_resume_ms_ < until)) {
            until = accept_resume_ms_;
        }
        if (until < 0) return -1;
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

    // Takes the connection as far as it can go without waiting: reads its
    // request, answers it, closes it. Where the socket is not ready, the
    // connection waits for its next readiness event.
    void advance(Connection& connection, int64_t now) {
        if (connection.phase == Connection::Phase::Reading) {
            const Step step = read_request(connection, now);
            if (step == Step::Blocked) return watch(connection);
            if (step == Step::Failed) return close_connection(connection);
            start_response(connection);
        }
        const Step step = send_response(connection, now);
        if (step == Step::Blocked) return watch(connection);
        if (step == Step::Done) finish(connection);
        close_connection(connection);
    }

    // Reads until the request line is complete (a line feed arrived), the
    // buffer is full or the client ended its sending side.
    Step read_request(Connection& connection, int64_t now) {
        for (;;) {
            char* const at = connection.request + connection.received;
            const size_t room = sizeof connection.request - connection.received;
            const ssize_t n = ::recv(connection.fd, at, room, 0);
            if (n > 0) {
                connection.received = uint16_t(connection.received + n);
                pool_.touch(connection, now);
                if (std::memchr(at, '\n', size_t(n)) != nullptr || size_t(n) == room) {
                    return Step::Done;
                }
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

    void start_response(Connection& connection) {
        char scratch[3 * kRequestBufferSize];
        const std::string_view received(connection.request, connection.received);
        connection.pending = response_for(request_path_of(received, scratch));
        connection.phase = Connection::Phase::Writing;
    }

    Step send_response(Connection& connection, int64_t now) {
        std::string_view& pending = connection.pending;
        while (!pending.empty()) {
            const ssize_t n = ::send(connection.fd, pending.data(), pending.size(), MSG_NOSIGNAL);
            if (n > 0) {
                pending.remove_prefix(size_t(n));
                pool_.touch(connection, now);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Step::Blocked;
            return Step::Failed;
        }
        return Step::Done;
    }

    // The whole response is with the kernel. A request that filled the
    // buffer may have more bytes behind it; closing on unread bytes would
    // reset the connection and could cut the response short.
    void finish(Connection& connection) {
        if (connection.saw_end || connection.received < sizeof connection.request) return;
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

    void close_connection(Connection& connection) {
        ::close(connection.fd);
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
    ConnectionPool pool_;
    int accept_error_ = 0; // errno of the latest failed accept
    int64_t last_accept_failure_ms_ = 0;
    bool accept_paused_ = false;
    int64_t accept_resume_ms_ = 0;
};

} // namespace

std::string serve(uint16_t port) {
    const std::string port_text = std::to_string(port);
    output::write("Starting HTTP server on port " + port_text + "\n");

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
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
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) return socket_error(listener);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerTag;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event) != 0) {
        const std::string text = socket_error(listener);
        ::close(epoll);
        return text;
    }

    output::write("Server listening on http://localhost:" + port_text + "\n");
    output::flush();
    Server(listener, epoll).run();
}

} // namespace drevel::http
