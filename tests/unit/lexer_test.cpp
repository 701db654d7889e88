// The token list of source texts, compared through the tokens' debug form.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "lexer/lexer.h"
#include "lexer/token.h"

using namespace drevel;

namespace {

// All tokens of a text, space-separated, the final EOF included.
std::string lex(std::string_view source) {
    std::string out;
    for (const Token& t : tokenize(source)) {
        if (!out.empty()) out += ' ';
        out += token_debug(t);
    }
    return out;
}

TEST(Lexer, EmptyTextsYieldOnlyEof) {
    EXPECT_EQ(lex(""), "EOF");
    EXPECT_EQ(lex(" \t\r\n  "), "EOF");
    EXPECT_EQ(lex("# just a comment\n/* and a block */ \n"), "EOF");
    EXPECT_EQ(lex("# no line feed at the end"), "EOF");
    EXPECT_EQ(lex("/* never closed ( let x = 1"), "EOF");
}

TEST(Lexer, ListAlwaysEndsWithExactlyOneEof) {
    for (std::string_view source : {"", "x", "\"open", "/* open", "1.", "a\\", "\"\\"}) {
        TokenList tokens = tokenize(source);
        ASSERT_FALSE(tokens.empty());
        EXPECT_EQ(tokens.back().kind, TokenKind::EOF_) << source;
        for (size_t i = 0; i + 1 < tokens.size(); ++i)
            EXPECT_NE(tokens[i].kind, TokenKind::EOF_) << source;
    }
}

TEST(Lexer, AllKeywords) {
    EXPECT_EQ(
        lex("let def return if else while for in break continue true false and or not match try "
            "catch global use as"),
        "Let Def Return If Else While For In Break Continue True False And Or Not Match Try Catch "
        "Global Use As EOF");
}

TEST(Lexer, KeywordsAreCaseSensitiveAndOnlyWholeNames) {
    EXPECT_EQ(lex("Let TRUE lets _let iff"),
              "Identifier(\"Let\") Identifier(\"TRUE\") Identifier(\"lets\") Identifier(\"_let\") "
              "Identifier(\"iff\") EOF");
    EXPECT_EQ(lex("null print sdl2 _ __x9"),
              "Identifier(\"null\") Identifier(\"print\") Identifier(\"sdl2\") Identifier(\"_\") "
              "Identifier(\"__x9\") EOF");
}

TEST(Lexer, SingleCharacterTokens) {
    EXPECT_EQ(lex("( ) { } [ ] , : ; % ? ."), "LParen RParen LBrace RBrace LBracket RBracket Comma "
                                              "Colon Semicolon Percent Question Dot EOF");
    EXPECT_EQ(lex(".."), "Dot Dot EOF");
    EXPECT_EQ(lex("%="), "Percent Assign EOF");
}

TEST(Lexer, CombiningCharacters) {
    EXPECT_EQ(lex("x=>y"), "Identifier(\"x\") FatArrow Identifier(\"y\") EOF");
    EXPECT_EQ(lex("x==y"), "Identifier(\"x\") Equal Identifier(\"y\") EOF");
    EXPECT_EQ(lex("x=y"), "Identifier(\"x\") Assign Identifier(\"y\") EOF");
    EXPECT_EQ(lex("a->b"), "Identifier(\"a\") Arrow Identifier(\"b\") EOF");
    EXPECT_EQ(lex("a-=1"), "Identifier(\"a\") MinusAssign Number(1) EOF");
    EXPECT_EQ(
        lex("+ += - -= * *= ** / /= < <= > >= ! != = == =>"),
        "Plus PlusAssign Minus MinusAssign Star StarAssign Power Slash SlashAssign Less LessEqual "
        "Greater GreaterEqual Not NotEqual Assign Equal FatArrow EOF");
    // Longest match first, then the rest starts a new token.
    EXPECT_EQ(lex("**="), "Power Assign EOF");
    EXPECT_EQ(lex("==="), "Equal Assign EOF");
    EXPECT_EQ(lex("=>="), "FatArrow Assign EOF");
    EXPECT_EQ(lex("<=="), "LessEqual Assign EOF");
    EXPECT_EQ(lex("***"), "Power Star EOF");
}

TEST(Lexer, CombiningCharacterAtEndOfInput) {
    EXPECT_EQ(lex("!"), "Not EOF");
    EXPECT_EQ(lex("="), "Assign EOF");
    EXPECT_EQ(lex("<"), "Less EOF");
    EXPECT_EQ(lex(">"), "Greater EOF");
    EXPECT_EQ(lex("+"), "Plus EOF");
    EXPECT_EQ(lex("-"), "Minus EOF");
    EXPECT_EQ(lex("*"), "Star EOF");
    EXPECT_EQ(lex("/"), "Slash EOF");
}

TEST(Lexer, PowerAndStarMinus) {
    EXPECT_EQ(lex("2**3"), "Number(2) Power Number(3) EOF");
    EXPECT_EQ(lex("2*-3"), "Number(2) Star Minus Number(3) EOF");
}

TEST(Lexer, NotInBothSpellings) {
    EXPECT_EQ(lex("!x"), "Not Identifier(\"x\") EOF");
    EXPECT_EQ(lex("not x"), "Not Identifier(\"x\") EOF");
    EXPECT_EQ(lex("!="), "NotEqual EOF");
    EXPECT_EQ(lex("! ="), "Not Assign EOF");
}

TEST(Lexer, UnknownCharactersAreDroppedAndSeparateTokens) {
    EXPECT_EQ(lex("a$b"), "Identifier(\"a\") Identifier(\"b\") EOF");
    EXPECT_EQ(lex("a && b"), "Identifier(\"a\") Identifier(\"b\") EOF");
    EXPECT_EQ(lex("a || b"), "Identifier(\"a\") Identifier(\"b\") EOF");
    EXPECT_EQ(lex("'x' ^~`@\\ 1\f2\v3"), "Identifier(\"x\") Number(1) Number(2) Number(3) EOF");
    // Non-ASCII outside strings and name tails.
    EXPECT_EQ(lex("é1 ∑ 😀x"), "Number(1) Identifier(\"x\") EOF");
}

TEST(Lexer, Comments) {
    EXPECT_EQ(lex("1 # two\n3"), "Number(1) Number(3) EOF");
    EXPECT_EQ(lex("a//b"), "Identifier(\"a\") Slash Slash Identifier(\"b\") EOF");
    // A star and a slash apart do not close; the real pair does.
    EXPECT_EQ(lex("1 /* a * / b */ 2"), "Number(1) Number(2) EOF");
    // The opening star does not count: slash, star, slash stays open.
    EXPECT_EQ(lex("/*/ 1 */ 2"), "Number(2) EOF");
    EXPECT_EQ(lex("/**/3"), "Number(3) EOF");
    EXPECT_EQ(lex("/***/4"), "Number(4) EOF");
    // Block comments do not nest.
    EXPECT_EQ(lex("/* /* */ 5 */"), "Number(5) Star Slash EOF");
    // A hash inside a string is text.
    EXPECT_EQ(lex("\"#x\""), "String(\"#x\") EOF");
}

TEST(Lexer, StringEscapes) {
    EXPECT_EQ(lex(R"("a\nb\tc\rd\\e\"f")"), R"(String("a\nb\tc\rd\\e\"f") EOF)");
    // Unknown escapes keep their backslash.
    Token q = tokenize(R"("a\qb")")[0];
    EXPECT_EQ(q.text, "a\\qb");
    EXPECT_EQ(tokenize(R"("\e\0")")[0].text, "\\e\\0");
    EXPECT_EQ(tokenize(R"("a\"b")")[0].text, "a\"b");
    // A line break stays part of the literal.
    EXPECT_EQ(tokenize("\"one\ntwo\"")[0].text, "one\ntwo");
    // Single quotes do not delimit.
    EXPECT_EQ(tokenize("\"it's\"")[0].text, "it's");
    EXPECT_EQ(tokenize("\"é∑\"")[0].text, "é∑");
}

TEST(Lexer, UnterminatedStrings) {
    EXPECT_EQ(lex("\"abc"), "String(\"abc\") EOF");
    // A final backslash is dropped and the literal ends.
    EXPECT_EQ(lex("\"ab\\"), "String(\"ab\") EOF");
    EXPECT_EQ(lex("\""), "String(\"\") EOF");
    // The escaped quote does not close.
    EXPECT_EQ(lex("\"a\\\" 1"), "String(\"a\\\" 1\") EOF");
}

TEST(Lexer, Numbers) {
    EXPECT_EQ(lex("3.14"), "Float(3.14) EOF");
    EXPECT_EQ(lex("3 .14"), "Number(3) Dot Number(14) EOF");
    EXPECT_EQ(lex("1.5"), "Float(1.5) EOF");
    EXPECT_EQ(lex("1."), "Number(1) Dot EOF");
    EXPECT_EQ(lex("1.x"), "Number(1) Dot Identifier(\"x\") EOF");
    EXPECT_EQ(lex("1..5"), "Number(1) Dot Dot Number(5) EOF");
    EXPECT_EQ(lex("1.2.3"), "Float(1.2) Dot Number(3) EOF");
    EXPECT_EQ(lex("007"), "Number(7) EOF");
    EXPECT_EQ(lex(".5"), "Dot Number(5) EOF");
    EXPECT_EQ(lex("12ab"), "Number(12) Identifier(\"ab\") EOF");
    EXPECT_EQ(lex("-4"), "Minus Number(4) EOF");
    EXPECT_EQ(lex("1e5"), "Number(1) Identifier(\"e5\") EOF");
    EXPECT_EQ(lex("0x1F"), "Number(0) Identifier(\"x1F\") EOF");
    EXPECT_EQ(lex("1_000"), "Number(1) Identifier(\"_000\") EOF");
    EXPECT_EQ(lex("2.0"), "Float(2.0) EOF");
}

TEST(Lexer, IntegerLimits) {
    TokenList max = tokenize("9223372036854775807");
    ASSERT_EQ(max[0].kind, TokenKind::Number);
    EXPECT_EQ(max[0].integer, INT64_MAX);

    // One above the largest integer becomes the nearest double, not a wrap.
    TokenList above = tokenize("9223372036854775808");
    ASSERT_EQ(above[0].kind, TokenKind::Float);
    EXPECT_EQ(above[0].real, 9223372036854775808.0);

    TokenList huge = tokenize("123456789012345678901234567890 1");
    ASSERT_EQ(huge.size(), 3u);
    ASSERT_EQ(huge[0].kind, TokenKind::Float);
    EXPECT_DOUBLE_EQ(huge[0].real, 1.2345678901234568e29);
    EXPECT_EQ(huge[1].kind, TokenKind::Number);

    std::string digits(400, '9');
    TokenList enormous = tokenize(digits);
    ASSERT_EQ(enormous[0].kind, TokenKind::Float);
    EXPECT_TRUE(enormous[0].real > 1e308);
}

TEST(Lexer, UnicodeIdentifierTails) {
    EXPECT_EQ(lex("aé"), "Identifier(\"aé\") EOF");
    EXPECT_EQ(lex("straße_2"), "Identifier(\"straße_2\") EOF");
    EXPECT_EQ(lex("xΩ日本"), "Identifier(\"xΩ日本\") EOF");
    // Nd (Arabic-Indic digit), Nl (Roman numeral), No (superscript two).
    EXPECT_EQ(lex("a٣ bⅣ c²"), "Identifier(\"a٣\") Identifier(\"bⅣ\") Identifier(\"c²\") EOF");
    // A non-ASCII letter cannot start a name.
    EXPECT_EQ(lex("éa"), "Identifier(\"a\") EOF");
    // Symbols and punctuation end a name and are dropped.
    EXPECT_EQ(
        lex("a∑b a—b a😀b"),
        "Identifier(\"a\") Identifier(\"b\") Identifier(\"a\") Identifier(\"b\") Identifier(\"a\") "
        "Identifier(\"b\") EOF");
    // A keyword followed by a letter tail is a plain name.
    EXPECT_EQ(lex("leté"), "Identifier(\"leté\") EOF");
}

TEST(Lexer, TokensCompareByKindAndPayload) {
    TokenList a = tokenize("x 1 1.5 \"s\" +");
    TokenList b = tokenize("x 1 1.5 \"s\" +");
    TokenList c = tokenize("y 2 2.5 \"t\" -");
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(a[i] == b[i]) << i;
        if (i + 1 < a.size()) {
            EXPECT_FALSE(a[i] == c[i]) << i;
        }
    }
}

TEST(Lexer, AStatementOfMixedTokens) {
    EXPECT_EQ(lex("let total = add(1, 2.5) # sum\nprint(\"t: \" + total);"),
              "Let Identifier(\"total\") Assign Identifier(\"add\") LParen Number(1) Comma "
              "Float(2.5) RParen "
              "Identifier(\"print\") LParen String(\"t: \") Plus Identifier(\"total\") RParen "
              "Semicolon EOF");
}

TEST(Lexer, ArbitraryBytesNeverCrash) {
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += char(i);
    TokenList tokens = tokenize(all + all);
    EXPECT_EQ(tokens.back().kind, TokenKind::EOF_);
}

} // namespace

// The spelling tables are what the checker's messages and the editor files
// rely on: every written form lexes to its kind, and every kind without a
// payload has a written form.
TEST(Lexer, SpellingTablesMatchTheLexer) {
    std::set<TokenKind> spelled;
    for (const Keyword& k : keywords()) {
        EXPECT_EQ(tokenize(k.text)[0].kind, k.kind) << k.text;
        spelled.insert(k.kind);
    }
    for (const Spelling& s : symbol_spellings()) {
        TokenList tokens = tokenize(s.text);
        ASSERT_EQ(tokens.size(), 2u) << s.text;
        EXPECT_EQ(tokens[0].kind, s.kind) << s.text;
        spelled.insert(s.kind);
    }
    const std::set<TokenKind> payload = {TokenKind::Identifier, TokenKind::Number, TokenKind::Float,
                                         TokenKind::String, TokenKind::EOF_};
    for (int k = 0; k < kTokenKindCount; ++k) {
        TokenKind kind = TokenKind(k);
        EXPECT_EQ(spelled.count(kind) + payload.count(kind), 1u) << token_kind_name(kind);
    }
}

TEST(Lexer, SourceMapRecordsTokensAndDroppedCharacters) {
    SourceMap map;
    std::string_view source = "a && b # c\n  \"s\" $@ é";
    TokenList tokens = tokenize(source, &map);
    ASSERT_EQ(tokens.size(), 4u); // a b "s" EOF
    EXPECT_EQ(map.token_offsets, (std::vector<uint32_t>{0, 5, 13, uint32_t(source.size())}));
    EXPECT_EQ(map.token_ends, (std::vector<uint32_t>{1, 6, 16, uint32_t(source.size())}));
    ASSERT_EQ(map.dropped.size(), 3u); // "&&", "$@", "é"
    EXPECT_EQ(source.substr(map.dropped[0].offset, map.dropped[0].length), "&&");
    EXPECT_EQ(source.substr(map.dropped[1].offset, map.dropped[1].length), "$@");
    EXPECT_EQ(source.substr(map.dropped[2].offset, map.dropped[2].length), "é");
    EXPECT_EQ(tokenize(source), tokens); // the map changes nothing
}
