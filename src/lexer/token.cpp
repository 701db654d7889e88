#include "lexer/token.h"

#include "lexer/debug_text.h"

namespace drevel {

namespace {
constexpr std::string_view kKindNames[kTokenKindCount] = {
    "Let",      "Def",      "Return",     "If",          "Else",         "While",       "For",
    "In",       "Break",    "Continue",   "True",        "False",        "And",         "Or",
    "Not",      "Match",    "Try",        "Catch",       "Global",       "Identifier",  "Number",
    "Float",    "String",   "Plus",       "Minus",       "Star",         "Slash",       "Percent",
    "Power",    "Assign",   "PlusAssign", "MinusAssign", "StarAssign",   "SlashAssign", "Equal",
    "NotEqual", "Less",     "Greater",    "LessEqual",   "GreaterEqual", "LParen",      "RParen",
    "LBrace",   "RBrace",   "LBracket",   "RBracket",    "Comma",        "Colon",       "Semicolon",
    "Arrow",    "FatArrow", "Dot",        "Question",    "Use",          "As",          "EOF",
};
} // namespace

namespace {
constexpr Spelling kSymbols[] = {
    {"+", TokenKind::Plus},        {"-", TokenKind::Minus},         {"*", TokenKind::Star},
    {"/", TokenKind::Slash},       {"%", TokenKind::Percent},       {"**", TokenKind::Power},
    {"=", TokenKind::Assign},      {"+=", TokenKind::PlusAssign},   {"-=", TokenKind::MinusAssign},
    {"*=", TokenKind::StarAssign}, {"/=", TokenKind::SlashAssign},  {"==", TokenKind::Equal},
    {"!=", TokenKind::NotEqual},   {"<", TokenKind::Less},          {">", TokenKind::Greater},
    {"<=", TokenKind::LessEqual},  {">=", TokenKind::GreaterEqual}, {"(", TokenKind::LParen},
    {")", TokenKind::RParen},      {"{", TokenKind::LBrace},        {"}", TokenKind::RBrace},
    {"[", TokenKind::LBracket},    {"]", TokenKind::RBracket},      {",", TokenKind::Comma},
    {":", TokenKind::Colon},       {";", TokenKind::Semicolon},     {"->", TokenKind::Arrow},
    {"=>", TokenKind::FatArrow},   {".", TokenKind::Dot},           {"?", TokenKind::Question},
    {"!", TokenKind::Not},
};
} // namespace

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
