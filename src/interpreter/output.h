// Standard output is buffered for speed and flushed before anything that can
// block or run long (reading input, serving, frame pacing, child processes)
// and at exit. Diagnostics go to standard error one whole line at a time,
// after pending output, so the two streams keep their order on a terminal.
#pragma once

#include <string_view>

namespace drevel::output {

void write(std::string_view text);
void write_char(char c);
// The program's own coloured text on standard output (progress lines, the
// module list): written as given, or without its escape sequences when the
// user asked for no colour.
void write_styled(std::string_view text);
// Writes everything buffered so far. A reader that went away (EPIPE) ends the
// process quietly with status 0, as command-line tools do; any other failure
// ends it with "Error: Failed to write to standard output: ..." and status 1.
void flush();
// The same for an interactive prompt, where nobody left to read means the
// session failed: a closed pipe ends the process with status 1.
void flush_prompt();
// Flushes standard output, then writes the line (which must end in "\n") to
// standard error in one call, without escape sequences when the user asked
// for no colour.
void error_line(std::string_view line);

// False when the NO_COLOR environment variable is set and not empty: then no
// colour or cursor sequence is written to either stream by the lines above.
bool colour_enabled();

} // namespace drevel::output
