// The server's connections in flight: a fixed pool of slots, kept in the
// order of their last progress so that the one idle longest is always at
// hand, for time-outs and for making room when the pool is full.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modules/http/protocol.h"
#include "modules/http/request.h"
#include "modules/http/routes.h"

namespace drevel::http {

struct Connection {
    // Reading: the request's first line. ReadingMessage: the rest of a
    // request for a handler or a static file. Writing: the response.
    enum class Phase : uint8_t { Reading, ReadingMessage, Writing };

    int fd = -1; // -1: the slot is free
    Phase phase = Phase::Reading;
    bool watched = false;       // registered for readiness events
    bool saw_end = false;       // the client ended its sending side
    bool keep_alive = false;    // after this response comes the next request
    bool sent_continue = false; // "100 Continue" went out for this request
    // The last receive took all the socket held: until the next readiness
    // event there is nothing to read.
    bool drained = false;
    // Unread bytes may follow the request: take them in before closing.
    bool must_drain = false;
    bool remote_known = false;
    char remote[48];          // the client's address as text, once a handler asked
    uint16_t served = 0;      // requests answered on this connection
    uint32_t received = 0;    // bytes in `in`
    uint32_t parsed = 0;      // of those, the bytes the reader has taken
    std::string_view pending; // the part of the response not sent yet
    int file_fd = -1;         // a static file sent after the response head
    off_t file_offset = 0;
    uint64_t file_left = 0;
    int64_t last_progress_ms = 0;
    uint32_t older = kNone; // neighbours in the order of progress
    uint32_t newer = kNone;
    // The bytes received and not used yet; kept between connections, so a
    // slot in use allocates only when a request outgrows it.
    std::unique_ptr<char[]> in;
    uint32_t capacity = 0;
    RouteMatch route;     // where the request goes, once its first line is in
    RequestReader reader; // a request for a handler or a static file
    std::string response; // a response made for this request

    static constexpr uint32_t kNone = UINT32_MAX;
};

class ConnectionPool {
  public:
    explicit ConnectionPool(size_t capacity);

    size_t size() const { return size_; }
    bool full() const { return size_ >= limit_; }
    // Holds at most this many from now on (at least one, at most the
    // capacity): for when descriptors run out before the slots do.
    void limit_to(size_t count);

    // A fresh connection for fd, made newest. The pool must not be full.
    Connection& open(int fd, int64_t now_ms);
    // The connection made progress: it becomes the newest.
    void touch(Connection& connection, int64_t now_ms);
    // Frees the slot; closing the descriptor is the caller's business.
    void release(Connection& connection);

    // The connection idle longest, or nullptr when there is none.
    Connection* oldest();

    uint32_t index_of(const Connection& connection) const {
        return uint32_t(&connection - slots_.data());
    }
    Connection& at(uint32_t index) { return slots_[index]; }

  private:
    void unlink(Connection& connection);
    void link_newest(Connection& connection);

    std::vector<Connection> slots_;
    std::vector<uint32_t> free_;
    size_t size_ = 0;
    size_t limit_;
    uint32_t oldest_ = Connection::kNone;
    uint32_t newest_ = Connection::kNone;
};

} // namespace drevel::http
