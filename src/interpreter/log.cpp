#include "interpreter/log.h"

#include <string>

#include "interpreter/interrupt.h"
#include "interpreter/output.h"

namespace drevel {

bool extra_debug = false;

namespace {
void line(std::string_view prefix, std::string_view message) {
    std::string text;
    text.reserve(prefix.size() + message.size() + 1);
    text += prefix;
    text += message;
    text += '\n';
    output::error_line(text);
}
} // namespace

void report_error(std::string_view message) {
    // An interrupted input unwinds through every caller; the prompt reports
    // the interrupt once instead.
    if (interrupt_requested) return;
    line("\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m ", message);
}
void debug_log(std::string_view message) {
    line("\x1b[33m[\x1b[93mDEBUG\x1b[33m]\x1b[0m ", message);
}
void trace_log(std::string_view message) {
    line("\x1b[33m[\x1b[93mDEBUG CALL\x1b[33m]\x1b[0m ", message);
}

} // namespace drevel
