#include "interpreter/input_reader.h"

#include <cerrno>
#include <unistd.h>

namespace drevel {

namespace {
char buffer[4096];
size_t start = 0, end = 0;

bool refill() {
    while (true) {
        ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        start = 0;
        end = size_t(n);
        return true;
    }
}
} // namespace

bool read_input_line(std::string& line) {
    line.clear();
    bool any = false;
    while (true) {
        if (start == end && !refill()) return any;
        any = true;
        for (size_t i = start; i < end; ++i) {
            if (buffer[i] == '\n') {
                line.append(buffer + start, i - start);
                start = i + 1;
                return true;
            }
        }
        line.append(buffer + start, end - start);
        start = end;
    }
}

} // namespace drevel
