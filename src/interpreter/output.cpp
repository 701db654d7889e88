#include "interpreter/output.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// Calls piece with each run of text between escape sequences: ESC "[" with
// its parameter and intermediate bytes up to the final byte, or ESC and one
// more character.
template <class Piece> void without_escapes(std::string_view text, Piece piece) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t escape = text.find('\x1b', at);
        if (escape == std::string_view::npos) break;
        if (escape > at) piece(text.substr(at, escape - at));
        at = escape + 1;
        if (at < text.size() && text[at] == '[') {
            ++at;
            while (at < text.size() && (unsigned char)text[at] >= 0x20 &&
                   (unsigned char)text[at] < 0x40)
                ++at;
        }
        if (at < text.size()) ++at; // the final byte
    }
    if (at < text.size()) piece(text.substr(at));
}

void write_all(int fd, const char* data, size_t size, int closed_pipe_status);

// Writes a diagnostic whole, or stripped of its escapes through a fixed
// buffer: this also reports running out of memory, so it must not allocate.
void write_diagnostic(std::string_view line) {
    if (colour_enabled()) {
        write_all(STDERR_FILENO, line.data(), line.size(), 0);
        return;
    }
    char plain[4096];
    size_t used_bytes = 0;
    without_escapes(line, [&](std::string_view piece) {
        while (!piece.empty()) {
            if (used_bytes == sizeof plain) {
                write_all(STDERR_FILENO, plain, used_bytes, 0);
                used_bytes = 0;
            }
            const size_t n = std::min(piece.size(), sizeof plain - used_bytes);
            std::memcpy(plain + used_bytes, piece.data(), n);
            used_bytes += n;
            piece.remove_prefix(n);
        }
    });
    write_all(STDERR_FILENO, plain, used_bytes, 0);
}

// Output that cannot be written ends the run: a script printing to a full
// disk must not go on as if its lines had arrived. A reader that went away
// (a closed pipe) ends it quietly, as command-line tools do.
[[noreturn]] void output_failed(int code, int closed_pipe_status) {
    if (code == EPIPE) _exit(closed_pipe_status);
    write_diagnostic("\x1b[31mError: Failed to write to standard output: " + os_error_text(code) +
                     "\x1b[0m\n");
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

void write_styled(std::string_view text) {
    if (colour_enabled()) {
        write(text);
        return;
    }
    without_escapes(text, [](std::string_view piece) { write(piece); });
}

void error_line(std::string_view line) {
    flush();
    write_diagnostic(line);
}

bool colour_enabled() {
    static const bool enabled = [] {
        const char* no_colour = std::getenv("NO_COLOR");
        return no_colour == nullptr || *no_colour == '\0';
    }();
    return enabled;
}

} // namespace drevel::output
