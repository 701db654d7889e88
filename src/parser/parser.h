// The recursive-descent parser: token list to statements. It has no errors:
// a statement that does not fit its form is skipped, closing brackets are
// taken when present, and a token that cannot start an expression stands for
// the number 0. Every loop advances, so any input terminates.
#pragma once

#include <optional>
#include <string>

#include "lexer/token.h"
#include "parser/ast.h"

namespace drevel {

// How deeply brackets, blocks and operator chains may nest; deeper source is
// refused as a whole.
inline constexpr int kMaxNestingDepth = 4000;

struct ParseResult {
    Block program;
    // Set when the source nests deeper than the limit; the program is then empty.
    std::optional<std::string> refusal;
};

ParseResult parse_program(const TokenList& tokens);

// The message a refused source is reported with.
std::string nesting_refusal_message();

} // namespace drevel
