// The debug forms of floats and texts, shared by token and tree dumps and
// by the values' own debug text.
#pragma once

#include <string>
#include <string_view>

namespace drevel {

// NaN, inf or -inf when d is one of them: true when it wrote one.
bool append_non_finite(std::string& out, double d);
// Always shows a fraction or an exponent (1.0, 1e16, 1e-5, inf, NaN).
void append_float_debug(std::string& out, double d);
// A quoted text with backslash escapes, as call traces and tree dumps show it.
void append_quoted(std::string& out, std::string_view text);

} // namespace drevel
