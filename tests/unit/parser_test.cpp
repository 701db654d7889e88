// The parser through the syntax tree's debug form: statement forms, operator
// grouping, lenient recovery, guaranteed progress and the nesting limit.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "lexer/lexer.h"
#include "parser/ast.h"
#include "parser/operators.h"
#include "parser/parser.h"

using namespace drevel;

namespace {

ParseResult parse(std::string_view source) {
    return parse_program(tokenize(source));
}

// The whole program's debug form: a list of statements.
std::string tree(std::string_view source) {
    ParseResult result = parse(source);
    EXPECT_FALSE(result.refusal) << source;
    return debug_form(result.program);
}

// The debug form of a program that is one expression statement, unwrapped.
std::string expr(std::string_view source) {
    std::string t = tree(source);
    const std::string prefix = "[Expr(";
    if (t.rfind(prefix, 0) != 0 || t.size() < prefix.size() + 2) return "not one expression: " + t;
    return t.substr(prefix.size(), t.size() - prefix.size() - 2);
}

std::string repeat(std::string_view text, int n) {
    std::string out;
    out.reserve(text.size() * n);
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

// ---- debug form ----

TEST(ParserDebugForm, ExamplesOfTheForm) {
    EXPECT_EQ(
        tree("let x = 1 + 2"),
        "[Let { name: \"x\", value: BinaryOp { left: Number(1), op: Plus, right: Number(2) } }]");
    EXPECT_EQ(tree("return"), "[Return(None)]");
    EXPECT_EQ(tree("return 1"), "[Return(Some(Number(1)))]");
    EXPECT_EQ(tree("use m as n"), "[Use { module: \"m\", alias: Some(\"n\"), items: None }]");
    EXPECT_EQ(tree("global counter"), "[Global(\"counter\")]");
    EXPECT_EQ(tree("break continue"), "[Break, Continue]");
    EXPECT_EQ(tree(""), "[]");
}

TEST(ParserDebugForm, Literals) {
    EXPECT_EQ(expr("true"), "Boolean(true)");
    EXPECT_EQ(expr("false"), "Boolean(false)");
    EXPECT_EQ(expr("2.5"), "Float(2.5)");
    EXPECT_EQ(expr("1.0"), "Float(1.0)");
    EXPECT_EQ(expr("10000000000000000.0"), "Float(1e16)");
    EXPECT_EQ(expr("0.00001"), "Float(1e-5)");
    EXPECT_EQ(expr("0.0001"), "Float(0.0001)");
    EXPECT_EQ(expr("0.0"), "Float(0.0)");
    EXPECT_EQ(expr("99999999999999999999"), "Float(1e20)");
    EXPECT_EQ(expr(std::string(400, '9')), "Float(inf)");
    EXPECT_EQ(expr("9223372036854775807"), "Number(9223372036854775807)");
    EXPECT_EQ(expr("x"), "Identifier(\"x\")");
}

TEST(ParserDebugForm, TextEscapes) {
    EXPECT_EQ(expr(R"("a\"b\\c\nd\re\tf")"), R"(String("a\"b\\c\nd\re\tf"))");
    std::string source = "\"";
    source += '\x1b';
    source += '\0';
    source += "é\"";
    EXPECT_EQ(expr(source), "String(\"\\u{1b}\\0é\")");
}

// ---- expressions ----

TEST(ParserExpressions, Precedence) {
    EXPECT_EQ(
        expr("1 + 2 * 3"),
        "BinaryOp { left: Number(1), op: Plus, right: BinaryOp { left: Number(2), op: Star, right: "
        "Number(3) } }");
    EXPECT_EQ(expr("8 - 3 - 2"), "BinaryOp { left: BinaryOp { left: Number(8), op: Minus, right: "
                                 "Number(3) }, op: Minus, right: "
                                 "Number(2) }");
    EXPECT_EQ(expr("2 ** 3 ** 2"), "BinaryOp { left: BinaryOp { left: Number(2), op: Power, right: "
                                   "Number(3) }, op: Power, right: "
                                   "Number(2) }");
    EXPECT_EQ(expr("a or b and c"), "BinaryOp { left: Identifier(\"a\"), op: Or, right: BinaryOp { "
                                    "left: Identifier(\"b\"), op: And, "
                                    "right: Identifier(\"c\") } }");
    EXPECT_EQ(expr("a == b < c"), "BinaryOp { left: Identifier(\"a\"), op: Equal, right: BinaryOp "
                                  "{ left: Identifier(\"b\"), op: "
                                  "Less, right: Identifier(\"c\") } }");
    EXPECT_EQ(expr("a != b >= c <= d > e"),
              "BinaryOp { left: Identifier(\"a\"), op: NotEqual, right: BinaryOp { left: BinaryOp "
              "{ left: "
              "BinaryOp { left: Identifier(\"b\"), op: GreaterEqual, right: Identifier(\"c\") }, "
              "op: LessEqual, "
              "right: Identifier(\"d\") }, op: Greater, right: Identifier(\"e\") } }");
    EXPECT_EQ(
        expr("6 / 3 % 2"),
        "BinaryOp { left: BinaryOp { left: Number(6), op: Slash, right: Number(3) }, op: Percent, "
        "right: Number(2) }");
}

// The operator table against the tokens' spellings and the parser: every
// operator parses as a binary operation, every compound form is the
// operator's spelling with "=" and parses as a compound assignment.
TEST(ParserExpressions, EveryOperatorOfTheTable) {
    auto spelling = [](TokenKind kind) {
        for (const Spelling& s : symbol_spellings())
            if (s.kind == kind) return std::string(s.text);
        for (const Keyword& k : keywords())
            if (k.kind == kind) return " " + std::string(k.text) + " ";
        return std::string("<no spelling>");
    };
    for (const BinaryOperator& op : kBinaryOperators) {
        const std::string name(token_kind_name(op.kind));
        EXPECT_EQ(expr("a" + spelling(op.kind) + "b"), "BinaryOp { left: Identifier(\"a\"), op: " +
                                                           name + ", right: Identifier(\"b\") }");
        if (op.compound == TokenKind::EOF_) continue;
        EXPECT_TRUE(is_compound_assignment(op.compound)) << name;
        EXPECT_EQ(spelling(op.compound), spelling(op.kind) + "=") << name;
        EXPECT_EQ(tree("x " + spelling(op.compound) + " 1"),
                  "[CompoundAssign { name: \"x\", op: " +
                      std::string(token_kind_name(op.compound)) + ", value: Number(1) }]");
    }
    EXPECT_FALSE(is_compound_assignment(TokenKind::Assign));
    EXPECT_FALSE(is_compound_assignment(TokenKind::EOF_));
    EXPECT_EQ(binary_level(TokenKind::Dot), -1);
}

TEST(ParserExpressions, Unary) {
    EXPECT_EQ(expr("-x ** 2"), "BinaryOp { left: UnaryOp { op: Minus, operand: Identifier(\"x\") "
                               "}, op: Power, right: Number(2) }");
    EXPECT_EQ(expr("not not x"),
              "UnaryOp { op: Not, operand: UnaryOp { op: Not, operand: Identifier(\"x\") } }");
    EXPECT_EQ(expr("!x"), "UnaryOp { op: Not, operand: Identifier(\"x\") }");
    EXPECT_EQ(expr("2 ** -1"), "BinaryOp { left: Number(2), op: Power, right: UnaryOp { op: Minus, "
                               "operand: Number(1) } }");
    EXPECT_EQ(expr("-a.b"), "UnaryOp { op: Minus, operand: Index { object: Identifier(\"a\"), "
                            "index: String(\"b\") } }");
    EXPECT_EQ(expr("not a == b"),
              "BinaryOp { left: UnaryOp { op: Not, operand: Identifier(\"a\") }, op: Equal, right: "
              "Identifier(\"b\") }");
}

TEST(ParserExpressions, Ranges) {
    EXPECT_EQ(expr("0..10"), "Range { start: Number(0), end: Number(10) }");
    EXPECT_EQ(expr("1 + 1..2 * 3"), "Range { start: BinaryOp { left: Number(1), op: Plus, right: "
                                    "Number(1) }, end: BinaryOp { left: "
                                    "Number(2), op: Star, right: Number(3) } }");
    EXPECT_EQ(expr("..5"), "Range { start: Number(0), end: Number(5) }");
    EXPECT_EQ(
        tree("1..2..3"),
        "[Expr(Range { start: Number(1), end: Number(2) }), Expr(Range { start: Number(0), end: "
        "Number(3) })]");
    EXPECT_EQ(expr("i < 0..3"), "BinaryOp { left: Identifier(\"i\"), op: Less, right: Range { "
                                "start: Number(0), end: Number(3) } }");
    EXPECT_EQ(expr("a.b..c"), "Range { start: Index { object: Identifier(\"a\"), index: "
                              "String(\"b\") }, end: Identifier(\"c\") }");
}

TEST(ParserExpressions, MemberAccessAndSubscripts) {
    EXPECT_EQ(expr("a.b"), "Index { object: Identifier(\"a\"), index: String(\"b\") }");
    EXPECT_EQ(expr("a[\"b\"]"), expr("a.b"));
    EXPECT_EQ(expr("a.b.c"), "Index { object: Index { object: Identifier(\"a\"), index: "
                             "String(\"b\") }, index: String(\"c\") }");
    EXPECT_EQ(expr("a[0][1]"), "Index { object: Index { object: Identifier(\"a\"), index: "
                               "Number(0) }, index: Number(1) }");
    // The dot is dropped and 5 is left for the next statement.
    EXPECT_EQ(tree("a.5"), "[Expr(Identifier(\"a\")), Expr(Number(5))]");
    // A missing "]" is tolerated.
    EXPECT_EQ(expr("a[1"), "Index { object: Identifier(\"a\"), index: Number(1) }");
}

TEST(ParserExpressions, Calls) {
    EXPECT_EQ(expr("print(x)"), "Call { name: \"print\", args: [Identifier(\"x\")] }");
    EXPECT_EQ(expr("http.get(url)"), "Call { name: \"http.get\", args: [Identifier(\"url\")] }");
    EXPECT_EQ(
        expr("f(1)(2)"),
        "Call { name: \"call\", args: [Call { name: \"f\", args: [Number(1)] }, Number(2)] }");
    EXPECT_EQ(expr("(f)(1)"), "Call { name: \"f\", args: [Number(1)] }");
    EXPECT_EQ(expr("items.len()"), "Call { name: \"items.len\", args: [] }");
    EXPECT_EQ(expr("items[\"len\"]()"), expr("items.len()"));
    EXPECT_EQ(expr("\"abc\".upper()"), "Call { name: \"upper\", args: [String(\"abc\")] }");
    EXPECT_EQ(expr("a.b.c(1)"), "Call { name: \"c\", args: [Index { object: Identifier(\"a\"), "
                                "index: String(\"b\") }, Number(1)] }");
    EXPECT_EQ(expr("a[0](1)"), "Call { name: \"call\", args: [Index { object: Identifier(\"a\"), "
                               "index: Number(0) }, Number(1)] }");
    EXPECT_EQ(expr("5(1)"), "Call { name: \"call\", args: [Number(5), Number(1)] }");
    EXPECT_EQ(expr("f(1 2,)"), "Call { name: \"f\", args: [Number(1), Number(2)] }");
    EXPECT_EQ(expr("f(1"), "Call { name: \"f\", args: [Number(1)] }");
    EXPECT_EQ(expr("sdl2.create_window(640, 480)"),
              "Call { name: \"sdl2.create_window\", args: [Number(640), Number(480)] }");
}

TEST(ParserExpressions, ArrayLiterals) {
    const std::string three = "Array([Number(1), Number(2), Number(3)])";
    EXPECT_EQ(expr("[1, 2, 3]"), three);
    EXPECT_EQ(expr("[1 2 3]"), three);
    EXPECT_EQ(expr("[1, 2, 3,]"), three);
    EXPECT_EQ(expr("[]"), "Array([])");
    EXPECT_EQ(expr("[[], [1]]"), "Array([Array([]), Array([Number(1)])])");
    // An empty position between commas is the number 0; one trailing comma adds nothing.
    EXPECT_EQ(expr("[1,,2]"), "Array([Number(1), Number(0), Number(2)])");
    EXPECT_EQ(expr("[,]"), "Array([Number(0)])");
    EXPECT_EQ(expr("f(1,,,)"), "Call { name: \"f\", args: [Number(1), Number(0), Number(0)] }");
    EXPECT_EQ(expr("f(,1)"), "Call { name: \"f\", args: [Number(0), Number(1)] }");
    // Ended by ")": the parenthesis is left in place (and then dropped).
    EXPECT_EQ(tree("[1, 2) 3"), "[Expr(Array([Number(1), Number(2)])), Expr(Number(3))]");
}

TEST(ParserExpressions, DictLiterals) {
    EXPECT_EQ(expr("{a: 1, b: 2}"), "Dict([(\"a\", Number(1)), (\"b\", Number(2))])");
    EXPECT_EQ(expr("{}"), "Dict([])");
    EXPECT_EQ(expr("{a}"), "Dict([])");
    EXPECT_EQ(expr("{a: 1, a: 2}"), "Dict([(\"a\", Number(1)), (\"a\", Number(2))])");
    EXPECT_EQ(expr("{a: 1 b: [2]}"), "Dict([(\"a\", Number(1)), (\"b\", Array([Number(2)]))])");
    EXPECT_EQ(expr("{a: 1"), "Dict([(\"a\", Number(1))])");
}

TEST(ParserExpressions, MissingPiecesStandForZero) {
    EXPECT_EQ(tree("1 + )"), "[Expr(BinaryOp { left: Number(1), op: Plus, right: Number(0) })]");
    EXPECT_EQ(tree("let x = ;"), "[Let { name: \"x\", value: Number(0) }]");
    EXPECT_EQ(expr("(1 + 2"), "BinaryOp { left: Number(1), op: Plus, right: Number(2) }");
    EXPECT_EQ(expr("*"), "BinaryOp { left: Number(0), op: Star, right: Number(0) }");
    // Question and Arrow end an expression.
    EXPECT_EQ(tree("a ? b"), "[Expr(Identifier(\"a\")), Expr(Identifier(\"b\"))]");
    EXPECT_EQ(tree("a -> b"), "[Expr(Identifier(\"a\")), Expr(Identifier(\"b\"))]");
}

// ---- statements ----

TEST(ParserStatements, LetAndAssignments) {
    EXPECT_EQ(
        tree("let x = 5; let y = x"),
        "[Let { name: \"x\", value: Number(5) }, Let { name: \"y\", value: Identifier(\"x\") }]");
    EXPECT_EQ(tree("let 5 = 3"), "[Expr(Number(5)), Expr(Number(3))]");
    EXPECT_EQ(tree("let x 3"), "[Expr(Number(3))]");
    EXPECT_EQ(tree("x = 1"), "[Assign { name: \"x\", value: Number(1) }]");
    EXPECT_EQ(tree("x += 1"), "[CompoundAssign { name: \"x\", op: PlusAssign, value: Number(1) }]");
    EXPECT_EQ(tree("x -= 1; x *= 2; x /= 3"),
              "[CompoundAssign { name: \"x\", op: MinusAssign, value: Number(1) }, CompoundAssign "
              "{ name: "
              "\"x\", op: StarAssign, value: Number(2) }, CompoundAssign { name: \"x\", op: "
              "SlashAssign, value: "
              "Number(3) }]");
    // Targets are plain names: the rest of an index assignment is recovered.
    EXPECT_EQ(tree("a[0] = 1"),
              "[Expr(Index { object: Identifier(\"a\"), index: Number(0) }), Expr(Number(1))]");
    EXPECT_EQ(tree("a.b += 2"),
              "[Expr(Index { object: Identifier(\"a\"), index: String(\"b\") }), Expr(Number(2))]");
}

TEST(ParserStatements, IfAndElse) {
    EXPECT_EQ(tree("if a { } else { }"),
              "[If { condition: Identifier(\"a\"), then_body: [], else_body: Some([]) }]");
    EXPECT_EQ(tree("if a { }"),
              "[If { condition: Identifier(\"a\"), then_body: [], else_body: None }]");
    EXPECT_EQ(tree("if a { x } else if b { y }"), "[If { condition: Identifier(\"a\"), then_body: "
                                                  "[Expr(Identifier(\"x\"))], else_body: None }, "
                                                  "If { condition: Identifier(\"b\"), then_body: "
                                                  "[Expr(Identifier(\"y\"))], else_body: None }]");
    EXPECT_EQ(tree("if a { } else x"), "[If { condition: Identifier(\"a\"), then_body: [], "
                                       "else_body: None }, Expr(Identifier(\"x\"))]");
    EXPECT_EQ(tree("if a x"), "[Expr(Identifier(\"x\"))]");
    // A missing closing brace at the end of the input is accepted.
    EXPECT_EQ(tree("if a { b"), "[If { condition: Identifier(\"a\"), then_body: "
                                "[Expr(Identifier(\"b\"))], else_body: None }]");
}

TEST(ParserStatements, Functions) {
    const std::string two = "[Function { name: \"f\", params: [\"a\", \"b\"], body: [] }]";
    EXPECT_EQ(tree("def f(a b) { }"), two);
    EXPECT_EQ(tree("def f(a, b) { }"), two);
    EXPECT_EQ(tree("def f(a, b,) { }"), two);
    EXPECT_EQ(tree("def f { }"), "[Expr(Dict([]))]");
    EXPECT_EQ(tree("def g() { return a + 1; }"),
              "[Function { name: \"g\", params: [], body: [Return(Some(BinaryOp { left: "
              "Identifier(\"a\"), op: "
              "Plus, right: Number(1) }))] }]");
    // A body without braces is not a function.
    EXPECT_EQ(tree("def f() x"), "[Expr(Identifier(\"x\"))]");
}

TEST(ParserStatements, ReturnWithoutValue) {
    EXPECT_EQ(tree("return;"), "[Return(None)]");
    EXPECT_EQ(tree("def f() { return }"),
              "[Function { name: \"f\", params: [], body: [Return(None)] }]");
    EXPECT_EQ(tree("return"), "[Return(None)]");
    EXPECT_EQ(tree("return; 1"), "[Return(None), Expr(Number(1))]");
}

TEST(ParserStatements, Loops) {
    EXPECT_EQ(tree("while x < 3 { x += 1 }"),
              "[While { condition: BinaryOp { left: Identifier(\"x\"), op: Less, right: Number(3) "
              "}, body: "
              "[CompoundAssign { name: \"x\", op: PlusAssign, value: Number(1) }] }]");
    EXPECT_EQ(tree("while x y"), "[Expr(Identifier(\"y\"))]");
    EXPECT_EQ(tree("for i in 0..3 { print(i) }"),
              "[For { var: \"i\", iter: Range { start: Number(0), end: Number(3) }, body: "
              "[Expr(Call { name: "
              "\"print\", args: [Identifier(\"i\")] })] }]");
    EXPECT_EQ(tree("for i xs { }"), "[For { var: \"i\", iter: Identifier(\"xs\"), body: [] }]");
    EXPECT_EQ(tree("for 1 in xs { }"),
              "[Expr(Number(1)), Expr(Identifier(\"xs\")), Expr(Dict([]))]");
    EXPECT_EQ(tree("while true { break; continue; }"),
              "[While { condition: Boolean(true), body: [Break, Continue] }]");
}

TEST(ParserStatements, Match) {
    EXPECT_EQ(
        tree("match x { 1 => a; _ => { b } }"),
        "[Match { expr: Identifier(\"x\"), arms: [(Value(Number(1)), [Expr(Identifier(\"a\"))]), "
        "(Wildcard, [Expr(Identifier(\"b\"))])] }]");
    EXPECT_EQ(tree("match x { }"), "[Match { expr: Identifier(\"x\"), arms: [] }]");
    EXPECT_EQ(tree("match x { \"a\" => 1 \"b\" => 2 }"),
              "[Match { expr: Identifier(\"x\"), arms: [(Value(String(\"a\")), [Expr(Number(1))]), "
              "(Value(String(\"b\")), [Expr(Number(2))])] }]");
    // Missing "{": nothing, then the rest goes on.
    EXPECT_EQ(tree("match x 1"), "[Expr(Number(1))]");
    // A pattern without its arrow is dropped.
    EXPECT_EQ(tree("match x { 1 2 => b }"), "[Match { expr: Identifier(\"x\"), arms: "
                                            "[(Value(Number(2)), [Expr(Identifier(\"b\"))])] }]");
    // Unclosed at the end of input: the arms so far.
    EXPECT_EQ(tree("match x { _ => 1"),
              "[Match { expr: Identifier(\"x\"), arms: [(Wildcard, [Expr(Number(1))])] }]");
}

TEST(ParserStatements, TryCatch) {
    EXPECT_EQ(tree("try { a } catch e { b }"), "[Try { body: [Expr(Identifier(\"a\"))], catch_var: "
                                               "\"e\", catch_body: [Expr(Identifier(\"b\"))] }]");
    EXPECT_EQ(tree("try { }"), "[]");
    EXPECT_EQ(tree("try { x } 1"), "[Expr(Number(1))]");
    EXPECT_EQ(tree("try { } catch { }"), "[Expr(Dict([]))]");
}

TEST(ParserStatements, Use) {
    EXPECT_EQ(tree("use sdl2;"), "[Use { module: \"sdl2\", alias: None, items: None }]");
    EXPECT_EQ(tree("use m as k"), "[Use { module: \"m\", alias: Some(\"k\"), items: None }]");
    const std::string items = "[Use { module: \"m\", alias: None, items: Some([\"f\", \"g\"]) }]";
    EXPECT_EQ(tree("use m { f, g }"), items);
    EXPECT_EQ(tree("use m { f g }"), items);
    EXPECT_EQ(tree("use m { f, g, };"), items);
    EXPECT_EQ(tree("use m { }"), "[Use { module: \"m\", alias: None, items: Some([]) }]");
    EXPECT_EQ(tree("use m as"), "[Use { module: \"m\", alias: None, items: None }]");
    EXPECT_EQ(tree("use m as ;"), "[Use { module: \"m\", alias: None, items: None }]");
    // Nothing after the name: nothing more is consumed.
    EXPECT_EQ(tree("use m print(1)"), "[Use { module: \"m\", alias: None, items: None }, Expr(Call "
                                      "{ name: \"print\", args: [Number(1)] })]");
    EXPECT_EQ(tree("use 5"), "[Expr(Number(5))]");
    // An installed module is written author.module.
    EXPECT_EQ(tree("use alice.tools as t"),
              "[Use { module: \"alice.tools\", alias: Some(\"t\"), items: None }]");
}

TEST(ParserStatements, SemicolonsAndBraces) {
    EXPECT_EQ(tree(";"), "[Expr(Number(0))]");
    EXPECT_EQ(tree(";;"), "[Expr(Number(0)), Expr(Number(0))]");
    EXPECT_EQ(tree("{a: 1}"), "[Expr(Dict([(\"a\", Number(1))]))]");
    EXPECT_EQ(tree("global 5"), "[Expr(Number(5))]");
}

// ---- guaranteed progress ----

TEST(ParserProgress, StrayTokensAreSkipped) {
    EXPECT_EQ(tree(") ] } , : = => -> ? else in catch as += x"), "[Expr(Identifier(\"x\"))]");
    EXPECT_EQ(tree("if a { ) ] , x }"), "[If { condition: Identifier(\"a\"), then_body: "
                                        "[Expr(Identifier(\"x\"))], else_body: None }]");
    EXPECT_EQ(tree("def f() { = => y }"),
              "[Function { name: \"f\", params: [], body: [Expr(Identifier(\"y\"))] }]");
}

TEST(ParserProgress, ListLoopsSkipTokensThatStartNothing) {
    EXPECT_EQ(expr("[1 : 2 => 3]"), "Array([Number(1), Number(2), Number(3)])");
    EXPECT_EQ(expr("f(1 : 2 = 3)"),
              "Call { name: \"f\", args: [Number(1), Number(2), Number(3)] }");
    EXPECT_EQ(expr("{\"a\": 1, b: 2}"), "Dict([(\"b\", Number(2))])");
    EXPECT_EQ(expr("{1: 2, 3 => 4, c: 5}"), "Dict([(\"c\", Number(5))])");
}

TEST(ParserProgress, MatchArmsSeparatedByCommas) {
    EXPECT_EQ(
        tree("match x { 1 => a, 2 => b, _ => c }"),
        "[Match { expr: Identifier(\"x\"), arms: [(Value(Number(1)), [Expr(Identifier(\"a\"))]), "
        "(Value(Number(2)), [Expr(Identifier(\"b\"))]), (Wildcard, [Expr(Identifier(\"c\"))])] }]");
    EXPECT_EQ(tree("match x { , ) ] : }"), "[Match { expr: Identifier(\"x\"), arms: [] }]");
}

TEST(ParserProgress, OddUseItems) {
    EXPECT_EQ(tree("use m { f, 1, \"g\" : h ; ) }"),
              "[Use { module: \"m\", alias: None, items: Some([\"f\", \"h\"]) }]");
    EXPECT_EQ(tree("use m { f"), "[Use { module: \"m\", alias: None, items: Some([\"f\"]) }]");
}

TEST(ParserProgress, EveryTokenSequenceTerminates) {
    // Every pair of token texts, in both orders, three times over.
    const char* pieces[] = {"(",     ")",     "[",   "]",      "{",      "}",   ",",     ":",
                            ";",     "=",     "=>",  "->",     "?",      ".",   "..",    "else",
                            "in",    "catch", "as",  "use",    "let",    "def", "match", "try",
                            "if",    "while", "for", "return", "global", "_",   "x",     "1",
                            "\"s\"", "+",     "-",   "not",    "+="};
    for (const char* a : pieces) {
        for (const char* b : pieces) {
            std::string source = repeat(std::string(a) + " " + b + " ", 3);
            ParseResult result = parse(source);
            EXPECT_FALSE(result.refusal) << source;
            // Noting what is dropped leaves the tree as it is.
            ParseNotes notes;
            notes.record_nodes = true;
            ParseResult noted = parse_program(tokenize(source), &notes);
            EXPECT_EQ(debug_form(noted.program), debug_form(result.program)) << source;
        }
    }
}

// ---- nesting ----

TEST(ParserNesting, DeepSourceIsRefusedWithoutCrashing) {
    for (std::string_view open :
         {"(", "[", "{a: ", "-", "not ", "if x {", "while 1 {", "def f() {", "a(", "a[", "f(1, [",
          "match x { _ => {", "try {", "for i in 1 {"}) {
        ParseResult result = parse(repeat(open, 100000));
        ASSERT_TRUE(result.refusal) << open;
        EXPECT_FALSE(result.refusal->empty());
        EXPECT_TRUE(result.program.empty()) << open;
    }
}

TEST(ParserNesting, BareBracesDoNotNest) {
    // A dict literal skips what is not a key, so a run of "{" is one dict.
    ParseResult braces = parse(repeat("{", 100000));
    ASSERT_FALSE(braces.refusal);
    EXPECT_EQ(debug_form(braces.program), "[Expr(Dict([]))]");
}

TEST(ParserNesting, ThousandLevelsParse) {
    ParseResult parens = parse(repeat("(", 1000) + "7" + repeat(")", 1000));
    ASSERT_FALSE(parens.refusal);
    EXPECT_EQ(debug_form(parens.program), "[Expr(Number(7))]");

    ParseResult arrays = parse(repeat("[", 1000) + repeat("]", 1000));
    ASSERT_FALSE(arrays.refusal);
    EXPECT_EQ(debug_form(arrays.program),
              "[Expr(" + repeat("Array([", 1000) + repeat("])", 1000) + ")]");

    ParseResult dicts = parse(repeat("{a: ", 1000) + "1" + repeat("}", 1000));
    ASSERT_FALSE(dicts.refusal);
    ASSERT_EQ(dicts.program.size(), 1u);

    ParseResult blocks = parse(repeat("if x { ", 1000) + "y" + repeat(" }", 1000));
    ASSERT_FALSE(blocks.refusal);
    ASSERT_EQ(blocks.program.size(), 1u);
    EXPECT_EQ(debug_form(blocks.program).find("Identifier(\"y\")") != std::string::npos, true);

    ParseResult negations = parse(repeat("-", 1000) + "1");
    ASSERT_FALSE(negations.refusal);

    ParseResult chain = parse("1" + repeat(" + 1", 1000));
    ASSERT_FALSE(chain.refusal);

    ParseResult members = parse("a" + repeat(".b", 1000));
    ASSERT_FALSE(members.refusal);
}

// The stack check of a call sizes its body by nesting_depth, so every place
// that holds an expression or a block must count: once arrays nested there
// are the deepest part of the body, one more level deepens it by one.
TEST(ParserNesting, EveryChildPlaceCountsTowardsTheDepth) {
    auto arrays = [](int levels) { return repeat("[", levels) + "1" + repeat("]", levels); };
    for (std::string_view form : {"let a = X",
                                  "a = X",
                                  "a += X",
                                  "X",
                                  "return X",
                                  "if X { }",
                                  "if 1 { X }",
                                  "if 1 { } else { X }",
                                  "while X { }",
                                  "while 1 { X }",
                                  "for i in X { }",
                                  "for i in 1 { X }",
                                  "match X { _ => 1 }",
                                  "match 1 { X => 1 }",
                                  "match 1 { _ => X }",
                                  "match 1 { _ => { X } }",
                                  "try { X } catch e { }",
                                  "try { } catch e { X }",
                                  "-X",
                                  "1 + X",
                                  "X * 1",
                                  "f(X)",
                                  "m.f(1, X)",
                                  "X.k",
                                  "a[X]",
                                  "X[1]",
                                  "{k: X}",
                                  "[1, X]",
                                  "X..1",
                                  "1..X"}) {
        auto body_depth = [&](const std::string& inner) {
            std::string source(form);
            source.replace(source.find('X'), 1, inner);
            ParseResult parsed = parse("def f() { " + source + " }");
            EXPECT_EQ(parsed.program.size(), 1u) << source;
            if (parsed.program.empty()) return 0u;
            return static_cast<const FunctionStmt&>(*parsed.program[0]).function->nesting;
        };
        EXPECT_EQ(body_depth(arrays(11)), body_depth(arrays(10)) + 1) << form;
    }
    // A nested definition runs its body in calls of its own.
    ParseResult nested = parse("def f() { def g() { " + arrays(10) + " } }");
    EXPECT_EQ(static_cast<const FunctionStmt&>(*nested.program[0]).function->nesting, 2u);
}

// Runs on the test's own (small) thread stack: a walk or a destructor that
// recursed per link of a long chain would overflow it.
TEST(ParserNesting, OperatorChainsAreNotNesting) {
    for (std::string_view link : {" - 1", " or 1"}) {
        ParseResult chain = parse("def f() { return 1" + repeat(link, 300000) + " }");
        ASSERT_FALSE(chain.refusal) << link;
        auto& f = static_cast<const FunctionStmt&>(*chain.program.at(0));
        // The evaluator still walks the chain link by link: the stack check
        // of a call must see every level.
        EXPECT_GE(f.function->nesting, 300000u) << link;
    }
    // Brackets keep their limit, also inside a chain.
    EXPECT_TRUE(parse("1 + " + repeat("(1 + ", 5000) + "1").refusal);
    EXPECT_TRUE(parse("1 + " + repeat("-", 5000) + "1").refusal);
}

TEST(ParserNesting, ManyStatementsAtOneLevelAreNotNesting) {
    ParseResult flat = parse(repeat("x = x + 1; ", 100000));
    ASSERT_FALSE(flat.refusal);
    EXPECT_EQ(flat.program.size(), 100000u);
}

} // namespace
