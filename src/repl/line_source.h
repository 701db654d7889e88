// The prompt's input: lines with editing, history and completion from libedit
// on a terminal, plain lines otherwise.
#pragma once

#include <string>

#include "repl/line_editor.h"

namespace drevel {

class LineSource {
  public:
    LineSource();

    enum class Result { Line, Interrupted, End };
    // Shows the prompt and reads one line. Interrupted: Ctrl-C discarded the
    // line being typed.
    Result read(const char* prompt, std::string& line);

    // Names offered by Tab besides the fixed ones.
    CompletionNames& names() { return names_; }

  private:
    LineEditor editor_;
    bool terminal_;
    std::string history_path_;
    CompletionNames names_;
};

} // namespace drevel
