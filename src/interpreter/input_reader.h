// Lines from standard input, shared by the input builtin and the REPL so that
// neither loses what the other has buffered.
#pragma once

#include <string>

namespace drevel {

enum class LineRead { Line, End, Interrupted };

// Reads one line without its "\n". End: end of input (or a read error) before
// anything was read. Interrupted: Ctrl-C at the interactive prompt
// (interrupt_requested) ended the wait; what was typed of the line is gone,
// as the terminal drops it too.
LineRead read_input_line(std::string& line);

} // namespace drevel
