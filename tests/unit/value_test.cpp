// Values: type names, truth, display and debug text, float formatting,
// numeric conversions and copy-on-write sharing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "interpreter/function_body.h"
#include "interpreter/value.h"
#include "lexer/lexer.h"
#include "parser/ast.h"
#include "parser/parser.h"

using namespace drevel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string shown(double d) {
    return display_text(Value::floating(d));
}
std::string debugged(double d) {
    return debug_text(Value::floating(d));
}

// A Function value for "def f(a, b) { return a + b }", built by the parser.
Value parsed_function() {
    ParseResult parsed = parse_program(tokenize("def f(a, b) { return a + b }"));
    auto& stmt = static_cast<FunctionStmt&>(*parsed.program.at(0));
    return Value::function(new FunctionBody(stmt.function)); // outlives the tree
}

Value one_entry_dict(const std::string& key, Value value) {
    Dict map;
    map.insert_or_assign(key, std::move(value));
    return Value::dict(std::move(map));
}

TEST(ValueTruth, ByKind) {
    EXPECT_FALSE(is_truthy(Value::number(0)));
    EXPECT_TRUE(is_truthy(Value::number(-1)));
    EXPECT_FALSE(is_truthy(Value::floating(0.0)));
    EXPECT_FALSE(is_truthy(Value::floating(-0.0)));
    EXPECT_TRUE(is_truthy(Value::floating(kNaN)));
    EXPECT_TRUE(is_truthy(Value::floating(1e-300)));
    EXPECT_FALSE(is_truthy(Value::boolean(false)));
    EXPECT_TRUE(is_truthy(Value::boolean(true)));
    EXPECT_FALSE(is_truthy(Value::null()));
    EXPECT_TRUE(is_truthy(Value::string("")));
    EXPECT_TRUE(is_truthy(Value::array({})));
    EXPECT_TRUE(is_truthy(Value::dict(Dict())));
    EXPECT_TRUE(is_truthy(parsed_function()));
    EXPECT_TRUE(is_truthy(Value::builtin_function("sdl2.init")));
    EXPECT_TRUE(is_truthy(Value::rect(0, 0, 0, 0)));
    EXPECT_TRUE(is_truthy(Value::color(0, 0, 0)));
}

TEST(ValueFloatDisplay, ShortestRoundTripWithoutExponent) {
    EXPECT_EQ(shown(5.0), "5");
    EXPECT_EQ(shown(3.0), "3");
    EXPECT_EQ(shown(2.5), "2.5");
    EXPECT_EQ(shown(-0.0), "-0");
    EXPECT_EQ(shown(0.0), "0");
    EXPECT_EQ(shown(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(shown(1e21), "1" + std::string(21, '0'));
    EXPECT_EQ(shown(1e300), "1" + std::string(300, '0'));
    EXPECT_EQ(shown(1e-7), "0.0000001");
    EXPECT_EQ(shown(-1.5e-5), "-0.000015");
    EXPECT_EQ(shown(kNaN), "NaN");
    EXPECT_EQ(shown(-kNaN), "NaN");
    EXPECT_EQ(shown(kInf), "inf");
    EXPECT_EQ(shown(-kInf), "-inf");
    EXPECT_EQ(shown(9007199254740993.0), "9007199254740992");
    // The extremes fit: the largest double and the smallest denormal.
    std::string largest = shown(std::numeric_limits<double>::max());
    EXPECT_EQ(largest.size(), 309u);
    EXPECT_EQ(largest.substr(0, 17), "17976931348623157");
    std::string smallest = shown(std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(smallest, "0." + std::string(323, '0') + "5");
}

TEST(ValueFloatDebug, AlwaysAFractionOrAnExponent) {
    EXPECT_EQ(debugged(1.0), "Float(1.0)");
    EXPECT_EQ(debugged(2.5), "Float(2.5)");
    EXPECT_EQ(debugged(-3.0), "Float(-3.0)");
    EXPECT_EQ(debugged(0.0), "Float(0.0)");
    EXPECT_EQ(debugged(1e16), "Float(1e16)");
    EXPECT_EQ(debugged(1.5e16), "Float(1.5e16)");
    EXPECT_EQ(debugged(9999999999999998.0), "Float(9999999999999998.0)");
    EXPECT_EQ(debugged(1e-5), "Float(1e-5)");
    EXPECT_EQ(debugged(0.0001), "Float(0.0001)");
    EXPECT_EQ(debugged(-2.5e-300), "Float(-2.5e-300)");
    EXPECT_EQ(debugged(1e300), "Float(1e300)");
    EXPECT_EQ(debugged(kInf), "Float(inf)");
    EXPECT_EQ(display_text(Value::floating(1.0)), "1");
}

TEST(ValueDisplay, ScalarsAndShapes) {
    EXPECT_EQ(display_text(Value::number(-42)), "-42");
    EXPECT_EQ(display_text(Value::number(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(display_text(Value::string("hi \"there\"\n")), "hi \"there\"\n");
    EXPECT_EQ(display_text(Value::boolean(true)), "true");
    EXPECT_EQ(display_text(Value::boolean(false)), "false");
    EXPECT_EQ(display_text(Value::null()), "null");
    EXPECT_EQ(display_text(Value::error("Division by zero")), "Error: Division by zero");
    EXPECT_EQ(display_text(parsed_function()), "<function>");
    EXPECT_EQ(display_text(Value::builtin_function("sdl2.create_window")),
              "<builtin: sdl2.create_window>");
    EXPECT_EQ(display_text(Value::rect(1, 2, 3, 4)), "Rect(1, 2, 3, 4)");
    EXPECT_EQ(display_text(Value::color(255, 0, 128)), "Color(255, 0, 128)");
    EXPECT_EQ(display_text(Value::circle(-5, 6, 7)), "Circle(-5, 6, 7)");
    EXPECT_EQ(display_text(Value::triangle(1, 2, 3, 4, 5, -6)), "Triangle(1, 2, 3, 4, 5, -6)");
    // Unsigned fields show their unsigned value; signed ones stay signed.
    EXPECT_EQ(display_text(Value::rect(-1, -1, uint32_t(-1), uint32_t(-1))),
              "Rect(-1, -1, 4294967295, 4294967295)");
    EXPECT_EQ(display_text(Value::circle(-1, 0, uint32_t(-1))), "Circle(-1, 0, 4294967295)");
}

TEST(ValueDisplay, Collections) {
    EXPECT_EQ(display_text(Value::array({})), "[]");
    EXPECT_EQ(display_text(Value::array({Value::number(1), Value::string("hi")})), "[1, hi]");
    EXPECT_EQ(display_text(Value::array({Value::array({}), Value::string("")})), "[[], ]");
    EXPECT_EQ(
        display_text(Value::array({Value::floating(2.0), Value::null(), Value::boolean(false)})),
        "[2, null, false]");
    EXPECT_EQ(display_text(Value::dict(Dict())), "{}");
    EXPECT_EQ(display_text(one_entry_dict("a", Value::number(1))), "{a: 1}");
    EXPECT_EQ(display_text(one_entry_dict("k", Value::array({Value::string("x")}))), "{k: [x]}");

    // With two entries the order is not fixed, only the set of entries.
    Dict map;
    map.insert_or_assign("a", Value::number(1));
    map.insert_or_assign("b", Value::number(2));
    std::string two = display_text(Value::dict(std::move(map)));
    EXPECT_TRUE(two == "{a: 1, b: 2}" || two == "{b: 2, a: 1}") << two;
}

TEST(ValueDebug, ByKind) {
    EXPECT_EQ(debug_text(Value::number(5)), "Number(5)");
    EXPECT_EQ(debug_text(Value::string("hi")), "String(\"hi\")");
    EXPECT_EQ(debug_text(Value::string("a\"b\\c\n\r\t")), "String(\"a\\\"b\\\\c\\n\\r\\t\")");
    EXPECT_EQ(debug_text(Value::string("\x01")), "String(\"\\u{1}\")");
    EXPECT_EQ(debug_text(Value::boolean(true)), "Boolean(true)");
    EXPECT_EQ(debug_text(Value::array({Value::number(1), Value::number(2)})),
              "Array([Number(1), Number(2)])");
    EXPECT_EQ(debug_text(Value::array({})), "Array([])");
    EXPECT_EQ(debug_text(one_entry_dict("key", Value::number(1))), "Dict({\"key\": Number(1)})");
    EXPECT_EQ(debug_text(Value::rect(1, 2, 3, 4)), "Rect { x: 1, y: 2, w: 3, h: 4 }");
    EXPECT_EQ(debug_text(Value::rect(-1, 0, uint32_t(-1), 0)),
              "Rect { x: -1, y: 0, w: 4294967295, h: 0 }");
    EXPECT_EQ(debug_text(Value::color(255, 0, 0)), "Color { r: 255, g: 0, b: 0 }");
    EXPECT_EQ(debug_text(Value::circle(1, 2, 3)), "Circle { x: 1, y: 2, radius: 3 }");
    EXPECT_EQ(debug_text(Value::triangle(1, 2, 3, 4, 5, 6)),
              "Triangle { x1: 1, y1: 2, x2: 3, y2: 4, x3: 5, y3: 6 }");
    EXPECT_EQ(debug_text(Value::builtin_function("sdl2.create_window")),
              "BuiltinFunction { name: \"sdl2.create_window\" }");
    EXPECT_EQ(debug_text(Value::null()), "Null");
    EXPECT_EQ(debug_text(Value::error("boom")), "Error(\"boom\")");
    EXPECT_EQ(debug_text(parsed_function()), "Function { params: [\"a\", \"b\"], body: "
                                             "[Return(Some(BinaryOp { left: Identifier(\"a\"), op: "
                                             "Plus, right: Identifier(\"b\") }))] }");
}

TEST(ValueConversions, SaturatingToInteger) {
    EXPECT_EQ(saturating_to_int(kNaN), 0);
    EXPECT_EQ(saturating_to_int(kInf), INT64_MAX);
    EXPECT_EQ(saturating_to_int(-kInf), INT64_MIN);
    EXPECT_EQ(saturating_to_int(1e300), INT64_MAX);
    EXPECT_EQ(saturating_to_int(-1e300), INT64_MIN);
    EXPECT_EQ(saturating_to_int(9223372036854775808.0), INT64_MAX);
    EXPECT_EQ(saturating_to_int(-9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(saturating_to_int(-2.9), -2);
    EXPECT_EQ(saturating_to_int(2.9), 2);
    EXPECT_EQ(numeric_to_int(Value::number(INT64_MIN)), INT64_MIN);
    EXPECT_EQ(numeric_to_int(Value::floating(3.7)), 3);
    EXPECT_EQ(numeric_to_float(Value::number(3)), 3.0);
}

TEST(ValueSharing, CopiesShareUntilWritten) {
    Value a = Value::string("a text longer than fourteen bytes");
    Value b = a;
    EXPECT_FALSE(a.is_unique());
    EXPECT_EQ(a.text().data(), b.text().data()); // one buffer, two values
    b.append_text("d");
    EXPECT_EQ(a.text(), "a text longer than fourteen bytes");
    EXPECT_EQ(b.text(), "a text longer than fourteen bytesd");
    EXPECT_TRUE(a.is_unique());
    EXPECT_TRUE(b.is_unique());

    // A unique buffer with room is written in place.
    b.append_text("e");
    const char* before = b.text().data();
    b.append_text("f");
    EXPECT_EQ(b.text().data(), before);
    EXPECT_EQ(b.text(), "a text longer than fourteen bytesdef");
}

TEST(ValueText, EveryLengthAroundTheInlineLimitKeepsItsBytes) {
    // Bytes of every value, NUL and high bytes included, at each length and
    // through copies, moves and appends that cross from inline to the heap.
    std::string source;
    for (int i = 0; i < 40; ++i)
        source += char(i % 5 == 0 ? 0 : 0x41 + i * 37 % 190);
    for (size_t n = 0; n <= source.size(); ++n) {
        std::string text = source.substr(0, n);
        Value v = Value::string(text);
        ASSERT_TRUE(v.is(ValueKind::String));
        EXPECT_EQ(v.text(), text) << n;
        Value copy = v;
        Value moved = std::move(copy);
        EXPECT_EQ(moved.text(), text) << n;
        for (size_t cut = 0; cut <= n; ++cut) {
            Value joined = Value::string(text.substr(0, cut));
            Value before = joined;
            joined.append_text(std::string_view(text).substr(cut));
            EXPECT_EQ(joined.text(), text) << n << " " << cut;
            EXPECT_EQ(before.text(), text.substr(0, cut)) << n << " " << cut;
        }
    }
}

TEST(ValueText, AppendingToItselfAndLongAppendsStayExact) {
    Value v = Value::string("0123456789abc");
    v.append_text(v.text()); // the source lies in the value being grown
    EXPECT_EQ(v.text(), "0123456789abc0123456789abc");
    v.append_text(v.text());
    EXPECT_EQ(v.text(), "0123456789abc0123456789abc0123456789abc0123456789abc");
    Value many = Value::string("");
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        std::string piece = std::to_string(i);
        many.append_text(piece);
        expected += piece;
    }
    EXPECT_EQ(many.text(), expected);
}

TEST(ValueSharing, NestedArraysAndDicts) {
    Value inner = Value::array({Value::number(1)});
    Value outer = Value::array({inner, Value::string("s")});
    Value copy = outer;
    copy.mutable_items()[0].mutable_items().push_back(Value::number(2));
    EXPECT_EQ(display_text(outer), "[[1], s]");
    EXPECT_EQ(display_text(copy), "[[1, 2], s]");
    EXPECT_EQ(display_text(inner), "[1]");

    Value d = one_entry_dict("k", Value::number(1));
    Value e = d;
    e.mutable_entries().insert_or_assign("k", Value::number(2));
    e.mutable_entries().insert_or_assign("z", Value::null());
    EXPECT_EQ(display_text(d), "{k: 1}");
    EXPECT_EQ(e.entries().size(), 2u);
    EXPECT_EQ(display_text(*e.entries().find("k")), "2");
}

TEST(ValueSharing, MovesAndSelfAssignment) {
    Value a = Value::array({Value::string("x")});
    Value b = std::move(a);
    EXPECT_TRUE(a.is_null()); // NOLINT: a moved-from value is Null
    EXPECT_EQ(display_text(b), "[x]");
    Value& alias = b;
    b = alias;
    EXPECT_EQ(display_text(b), "[x]");
    EXPECT_TRUE(b.is_unique());
    Value f = parsed_function();
    Value g = f;
    f = Value::null();
    EXPECT_EQ(display_text(g), "<function>");
}

} // namespace
