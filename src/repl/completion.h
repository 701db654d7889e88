// Tab completion at the prompt: keywords, builtins, the functions of the
// native modules after their prefix, and the names defined so far.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "repl/line_editor.h"

namespace drevel {

// Every candidate that begins with the word, sorted, without repeats. A word
// with a dot completes the functions of that native module ("sdl2.cr").
std::vector<std::string> completions(std::string_view word, const CompletionNames& names);

} // namespace drevel
