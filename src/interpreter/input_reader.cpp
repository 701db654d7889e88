#include "interpreter/input_reader.h"

#include <cerrno>
#include <unistd.h>

#include "interpreter/interrupt.h"

namespace drevel {

namespace {
char buffer[4096];
size_t start = 0, end = 0;

// A signal ends the wait only when it is the prompt's Ctrl-C.
LineRead refill() {
    while (true) {
        if (interrupt_requested) return LineRead::Interrupted;
        ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return LineRead::End;
        start = 0;
        end = size_t(n);
        return LineRead::Line;
    }
}
} // namespace

LineRead read_input_line(std::string& line) {
    line.clear();
    bool any = false;
    while (true) {
        if (start == end) {
            const LineRead got = refill();
            if (got == LineRead::Interrupted) {
                line.clear();
                return got;
            }
            if (got == LineRead::End) return any ? LineRead::Line : LineRead::End;
        }
        any = true;
        for (size_t i = start; i < end; ++i) {
            if (buffer[i] == '\n') {
                line.append(buffer + start, i - start);
                start = i + 1;
                return LineRead::Line;
            }
        }
        line.append(buffer + start, end - start);
        start = end;
    }
}

} // namespace drevel
