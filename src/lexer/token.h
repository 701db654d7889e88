// Tokens: the flat list the lexer produces and the parser reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace drevel {

// In declared order; the names double as operator names in messages.
enum class TokenKind : uint8_t {
    Let,
    Def,
    Return,
    If,
    Else,
    While,
    For,
    In,
    Break,
    Continue,
    True,
    False,
    And,
    Or,
    Not,
    Match,
    Try,
    Catch,
    Global,
    Identifier,
    Number,
    Float,
    String,
    Plus,
    Minus,
    Star,
    Slash,
    Percent,
    Power,
    Assign,
    PlusAssign,
    MinusAssign,
    StarAssign,
    SlashAssign,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    LParen,
    RParen,
    LBrace,
    RBrace,
    LBracket,
    RBracket,
    Comma,
    Colon,
    Semicolon,
    Arrow,
    FatArrow,
    Dot,
    Question,
    Use,
    As,
    EOF_,
};

inline constexpr int kTokenKindCount = int(TokenKind::EOF_) + 1;

// The kind's own name: "Plus", "PlusAssign", "EOF".
std::string_view token_kind_name(TokenKind kind);

// How the tokens without a payload are written, keywords aside: "+", "**",
// "=>". Not has two spellings, "!" here and the keyword "not".
struct Spelling {
    std::string_view text;
    TokenKind kind;
};
std::span<const Spelling> symbol_spellings();

struct Token {
    TokenKind kind = TokenKind::EOF_;
    int64_t integer = 0; // Number
    double real = 0.0;   // Float
    std::string text;    // Identifier, String

    bool operator==(const Token& other) const;
};

// The debug form: Plus, Identifier("x"), Number(5), Float(1.5), String("hi").
std::string token_debug(const Token& token);

using TokenList = std::vector<Token>;

} // namespace drevel
