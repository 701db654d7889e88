// Tokens: the flat list the lexer produces and the parser reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace drevel {

// Every token kind, once: its name (which doubles as the operator's name in
// messages), its keyword and its symbol ("" for none). The enum and the
// name, keyword and symbol tables are all made from this list. A binary
// operator's row goes on with its precedence level (a Level of
// parser/operators.h) and, when it has one, its compound assignment token;
// the parser's operator table is made from those rows.
#define DREVEL_TOKEN_KINDS(X)                                                                      \
    X(Let, "let", "")                                                                              \
    X(Def, "def", "")                                                                              \
    X(Return, "return", "")                                                                        \
    X(If, "if", "")                                                                                \
    X(Else, "else", "")                                                                            \
    X(While, "while", "")                                                                          \
    X(For, "for", "")                                                                              \
    X(In, "in", "")                                                                                \
    X(Break, "break", "")                                                                          \
    X(Continue, "continue", "")                                                                    \
    X(True, "true", "")                                                                            \
    X(False, "false", "")                                                                          \
    X(And, "and", "", kAnd)                                                                        \
    X(Or, "or", "", kOr)                                                                           \
    X(Not, "not", "!")                                                                             \
    X(Match, "match", "")                                                                          \
    X(Try, "try", "")                                                                              \
    X(Catch, "catch", "")                                                                          \
    X(Global, "global", "")                                                                        \
    X(Identifier, "", "")                                                                          \
    X(Number, "", "")                                                                              \
    X(Float, "", "")                                                                               \
    X(String, "", "")                                                                              \
    X(Plus, "", "+", kTerm, TokenKind::PlusAssign)                                                 \
    X(Minus, "", "-", kTerm, TokenKind::MinusAssign)                                               \
    X(Star, "", "*", kFactor, TokenKind::StarAssign)                                               \
    X(Slash, "", "/", kFactor, TokenKind::SlashAssign)                                             \
    X(Percent, "", "%", kFactor)                                                                   \
    X(Power, "", "**", kPower)                                                                     \
    X(Assign, "", "=")                                                                             \
    X(PlusAssign, "", "+=")                                                                        \
    X(MinusAssign, "", "-=")                                                                       \
    X(StarAssign, "", "*=")                                                                        \
    X(SlashAssign, "", "/=")                                                                       \
    X(Equal, "", "==", kEquality)                                                                  \
    X(NotEqual, "", "!=", kEquality)                                                               \
    X(Less, "", "<", kComparison)                                                                  \
    X(Greater, "", ">", kComparison)                                                               \
    X(LessEqual, "", "<=", kComparison)                                                            \
    X(GreaterEqual, "", ">=", kComparison)                                                         \
    X(LParen, "", "(")                                                                             \
    X(RParen, "", ")")                                                                             \
    X(LBrace, "", "{")                                                                             \
    X(RBrace, "", "}")                                                                             \
    X(LBracket, "", "[")                                                                           \
    X(RBracket, "", "]")                                                                           \
    X(Comma, "", ",")                                                                              \
    X(Colon, "", ":")                                                                              \
    X(Semicolon, "", ";")                                                                          \
    X(Arrow, "", "->")                                                                             \
    X(FatArrow, "", "=>")                                                                          \
    X(Dot, "", ".")                                                                                \
    X(Question, "", "?")                                                                           \
    X(Use, "use", "")                                                                              \
    X(As, "as", "")

#define DREVEL_TOKEN_ENUM(name, keyword, symbol, ...) name,
enum class TokenKind : uint8_t {
    DREVEL_TOKEN_KINDS(DREVEL_TOKEN_ENUM)
    // The end of the list; named "EOF".
    EOF_,
};
#undef DREVEL_TOKEN_ENUM

inline constexpr int kTokenKindCount = int(TokenKind::EOF_) + 1;

// The kind's own name: "Plus", "PlusAssign", "EOF".
std::string_view token_kind_name(TokenKind kind);

// How the tokens without a payload are written, keywords aside: "+", "**",
// "=>". Not has two spellings, "!" here and the keyword "not" (the lexer's
// keywords()).
struct Spelling {
    std::string_view text;
    TokenKind kind = TokenKind::EOF_;
};
std::span<const Spelling> symbol_spellings();
// The keywords: "let", "not", ...
std::span<const Spelling> keyword_spellings();

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
