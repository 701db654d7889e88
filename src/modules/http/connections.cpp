#include "modules/http/connections.h"

#include <algorithm>

namespace drevel::http {

ConnectionPool::ConnectionPool(size_t capacity) : slots_(capacity), limit_(capacity) {
    free_.reserve(capacity);
    // Lowest slots first, so a light load stays within a few of them.
    for (size_t i = capacity; i-- > 0;)
        free_.push_back(uint32_t(i));
}

void ConnectionPool::limit_to(size_t count) {
    limit_ = std::clamp<size_t>(count, 1, slots_.size());
}

Connection& ConnectionPool::open(int fd, int64_t now_ms) {
    Connection& connection = slots_[free_.back()];
    free_.pop_back();
    ++size_;
    connection.fd = fd;
    connection.phase = Connection::Phase::Reading;
    connection.watched = false;
    connection.saw_end = false;
    connection.keep_alive = false;
    connection.sent_continue = false;
    connection.drained = false;
    connection.must_drain = false;
    connection.remote_known = false;
    connection.served = 0;
    connection.received = 0;
    connection.parsed = 0;
    connection.pending = {};
    connection.file_fd = -1;
    connection.file_left = 0;
    connection.last_progress_ms = now_ms;
    link_newest(connection);
    return connection;
}

void ConnectionPool::touch(Connection& connection, int64_t now_ms) {
    connection.last_progress_ms = now_ms;
    if (index_of(connection) == newest_) return;
    unlink(connection);
    link_newest(connection);
}

void ConnectionPool::release(Connection& connection) {
    unlink(connection);
    connection.fd = -1;
    connection.pending = {};
    free_.push_back(index_of(connection));
    --size_;
}

Connection* ConnectionPool::oldest() {
    return oldest_ == Connection::kNone ? nullptr : &slots_[oldest_];
}

void ConnectionPool::unlink(Connection& connection) {
    if (connection.older != Connection::kNone) {
        slots_[connection.older].newer = connection.newer;
    } else {
        oldest_ = connection.newer;
    }
    if (connection.newer != Connection::kNone) {
        slots_[connection.newer].older = connection.older;
    } else {
        newest_ = connection.older;
    }
    connection.older = connection.newer = Connection::kNone;
}

void ConnectionPool::link_newest(Connection& connection) {
    const uint32_t index = index_of(connection);
    connection.older = newest_;
    connection.newer = Connection::kNone;
    if (newest_ != Connection::kNone) {
        slots_[newest_].newer = index;
    } else {
        oldest_ = index;
    }
    newest_ = index;
}

} // namespace drevel::http
