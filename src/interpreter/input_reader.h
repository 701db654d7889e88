// Lines from standard input, shared by the input builtin and the REPL so that
// neither loses what the other has buffered.
#pragma once

#include <string>

namespace drevel {

// Reads one line without its "\n". Returns false at end of input (or on a
// read error) when nothing was read.
bool read_input_line(std::string& line);

} // namespace drevel
