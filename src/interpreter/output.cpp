#include "interpreter/output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace drevel::output {

namespace {

constexpr size_t kBufferSize = 1 << 16;
char buffer[kBufferSize];
size_t used = 0;

void write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            // The reader went away: stop quietly, as command-line tools do.
            if (errno == EPIPE && fd == STDOUT_FILENO) _exit(0);
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

} // namespace

void write(std::string_view text) {
    if (text.size() > kBufferSize - used) {
        flush();
        if (text.size() >= kBufferSize) {
            write_all(STDOUT_FILENO, text.data(), text.size());
            return;
        }
    }
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
}

void write_char(char c) {
    if (used == kBufferSize) flush();
    buffer[used++] = c;
}

void flush() {
    if (used == 0) return;
    size_t size = used;
    used = 0;
    write_all(STDOUT_FILENO, buffer, size);
}

void error_line(std::string_view line) {
    flush();
    write_all(STDERR_FILENO, line.data(), line.size());
}

} // namespace drevel::output
