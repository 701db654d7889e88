#include "lexer/token.h"

#include <array>

#include "lexer/debug_text.h"

namespace drevel {

namespace {

#define DREVEL_TOKEN_NAME(name, keyword, symbol, ...) #name,
constexpr std::string_view kKindNames[] = {DREVEL_TOKEN_KINDS(DREVEL_TOKEN_NAME) "EOF"};
#undef DREVEL_TOKEN_NAME
static_assert(std::size(kKindNames) == kTokenKindCount);

// Each kind's keyword and symbol, in kind order.
constexpr std::string_view kColumns[][2] = {
#define DREVEL_TOKEN_COLUMNS(name, keyword, symbol, ...) {keyword, symbol},
    DREVEL_TOKEN_KINDS(DREVEL_TOKEN_COLUMNS)
#undef DREVEL_TOKEN_COLUMNS
};

template <size_t Column> constexpr size_t spelled_count() {
    size_t n = 0;
    for (const auto& row : kColumns)
        n += !row[Column].empty();
    return n;
}

// The kinds whose column is not empty, with that column.
template <size_t Column> constexpr auto spelled_kinds() {
    std::array<Spelling, spelled_count<Column>()> out{};
    size_t i = 0;
    for (size_t k = 0; k < std::size(kColumns); ++k)
        if (!kColumns[k][Column].empty()) out[i++] = {kColumns[k][Column], TokenKind(k)};
    return out;
}

constexpr auto kKeywordSpellings = spelled_kinds<0>();
constexpr auto kSymbols = spelled_kinds<1>();

} // namespace

std::span<const Spelling> keyword_spellings() {
    return kKeywordSpellings;
}

std::span<const Spelling> symbol_spellings() {
    return kSymbols;
}

std::string_view token_kind_name(TokenKind kind) {
    return kKindNames[int(kind)];
}

bool Token::operator==(const Token& other) const {
    if (kind != other.kind) return false;
    switch (kind) {
    case TokenKind::Identifier:
    case TokenKind::String: return text == other.text;
    case TokenKind::Number: return integer == other.integer;
    case TokenKind::Float: return real == other.real;
    default: return true;
    }
}

std::string token_debug(const Token& token) {
    std::string out(token_kind_name(token.kind));
    switch (token.kind) {
    case TokenKind::Identifier:
    case TokenKind::String:
        out += '(';
        append_quoted(out, token.text);
        out += ')';
        break;
    case TokenKind::Number: out += '(' + std::to_string(token.integer) + ')'; break;
    case TokenKind::Float:
        out += '(';
        append_float_debug(out, token.real);
        out += ')';
        break;
    default: break;
    }
    return out;
}

} // namespace drevel
