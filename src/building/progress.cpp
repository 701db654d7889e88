#include "building/progress.h"

#include <cstdio>
#include <string>

#include "interpreter/output.h"

namespace drevel {

namespace {

// "\r" + colour + text + middle + seconds + "s)" + reset, two decimals.
void finished_line(const char* colour, std::string_view text, const char* outcome, double seconds) {
    char number[64];
    std::snprintf(number, sizeof number, "%.2f", seconds < 0 ? 0.0 : seconds);
    std::string line = "\r";
    line += colour;
    line += text;
    line += outcome;
    line += number;
    line += "s)\x1b[0m\n";
    output::write_styled(line);
    output::flush();
}

} // namespace

void progress_start(std::string_view text) {
    std::string line = "\r\x1b[33m";
    line += text;
    line += " in progress\x1b[0m";
    output::write_styled(line);
    output::flush();
}

void progress_done(std::string_view text, double seconds) {
    finished_line("\x1b[32m", text, " done (", seconds);
}

void progress_failed(std::string_view text, double seconds) {
    finished_line("\x1b[31m", text, " failed (", seconds);
}

} // namespace drevel
