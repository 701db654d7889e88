// The lexer: source text to the token list, in one pass with one character of
// look-ahead. It has no errors: unknown characters are dropped, unterminated
// strings and comments end at the end of the input.
#pragma once

#include <string_view>

#include "lexer/token.h"

namespace drevel {

// The list always ends with exactly one EOF token.
TokenList tokenize(std::string_view source);

} // namespace drevel
