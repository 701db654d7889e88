// The server's connections in flight: a fixed pool of slots, kept in the
// order of their last progress so that the one idle longest is always at
// hand, for time-outs and for making room when the pool is full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "modules/http/protocol.h"

namespace drevel::http {

struct Connection {
    enum class Phase : uint8_t { Reading, Writing };

    int fd = -1; // -1: the slot is free
    Phase phase = Phase::Reading;
    bool watched = false;     // registered for readiness events
    bool saw_end = false;     // the client ended its sending side
    uint16_t received = 0;    // bytes of request taken in so far
    std::string_view pending; // the part of the response not sent yet
    int64_t last_progress_ms = 0;
    uint32_t older = kNone; // neighbours in the order of progress
    uint32_t newer = kNone;
    char request[kRequestBufferSize];

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
