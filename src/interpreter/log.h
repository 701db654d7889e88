// The interpreter's three coloured log lines, all on standard error.
#pragma once

#include <string_view>

namespace drevel {

// Process-wide: set once by "-D" before execution, read by every interpreter.
extern bool extra_debug;

void report_error(std::string_view message);
void debug_log(std::string_view message);
void trace_log(std::string_view message);

} // namespace drevel
