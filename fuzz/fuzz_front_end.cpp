// The front end: bytes through tokenize and parse, as the run pipeline would
// (only valid UTF-8 reaches the lexer). Checks the lexer's promise of exactly
// one EOF token at the end, and that a refusal comes with an empty program.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lexer/lexer.h"
#include "lexer/unicode.h"
#include "parser/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view source(reinterpret_cast<const char*>(data), size);
    if (!drevel::is_valid_utf8(source)) return -1;
    drevel::TokenList tokens = drevel::tokenize(source);
    if (tokens.empty() || tokens.back().kind != drevel::TokenKind::EOF_) std::abort();
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].kind == drevel::TokenKind::EOF_) std::abort();
    }
    drevel::ParseResult parsed = drevel::parse_program(tokens);
    if (parsed.refusal && !parsed.program.empty()) std::abort();
    return 0;
}
