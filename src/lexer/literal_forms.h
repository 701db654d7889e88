// How literals are written back in tokens, tree dumps and debug texts.
#pragma once

#include <string>
#include <string_view>

namespace drevel {

// Always shows a fraction or an exponent (1.0, 1e16, 1e-5, inf, NaN).
void append_float_debug(std::string& out, double d);
// A quoted text with backslash escapes, as call traces and tree dumps show it.
void append_quoted(std::string& out, std::string_view text);

} // namespace drevel
