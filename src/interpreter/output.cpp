#include "interpreter/output.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "platform/source_file.h"

namespace drevel::output {

namespace {

constexpr size_t kBufferSize = 1 << 16;
char buffer[kBufferSize];
size_t used = 0;

// Output that cannot be written ends the run: a script printing to a full
// disk must not go on as if its lines had arrived. A reader that went away
// (a closed pipe) ends it quietly, as command-line tools do.
[[noreturn]] void output_failed(int code, int closed_pipe_status) {
    if (code == EPIPE) _exit(closed_pipe_status);
    const std::string line =
        "\x1b[31mError: Failed to write to standard output: " + os_error_text(code) + "\x1b[0m\n";
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    _exit(1);
}

void write_all(int fd, const char* data, size_t size, int closed_pipe_status) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A stream left non-blocking by whoever shares it: wait.
                pollfd ready{fd, POLLOUT, 0};
                ::poll(&ready, 1, -1);
                continue;
            }
            if (fd == STDOUT_FILENO) output_failed(errno, closed_pipe_status);
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

void drain(int closed_pipe_status) {
    if (used == 0) return;
    size_t size = used;
    used = 0;
    write_all(STDOUT_FILENO, buffer, size, closed_pipe_status);
}

} // namespace

void write(std::string_view text) {
    if (text.size() > kBufferSize - used) {
        flush();
        if (text.size() >= kBufferSize) {
            write_all(STDOUT_FILENO, text.data(), text.size(), 0);
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
    drain(0);
}

void flush_prompt() {
    drain(1);
}

void error_line(std::string_view line) {
    flush();
    write_all(STDERR_FILENO, line.data(), line.size(), 0);
}

} // namespace drevel::output
