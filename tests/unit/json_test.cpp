// The JSON reader: the kinds it gives, where it says a text went wrong, its
// depth limit; and that what the writer writes reads back as the same value.
#include <gtest/gtest.h>

#include <string>

#include "interpreter/json.h"

namespace drevel {
namespace {

std::string written(const Value& v) {
    std::string out;
    json::append(out, v);
    return out;
}

TEST(JsonRead, KindsOfEachValue) {
    struct Case {
        const char* text;
        ValueKind kind;
        const char* display;
    };
    const Case cases[] = {
        {"42", ValueKind::Number, "42"},
        {"-9223372036854775808", ValueKind::Number, "-9223372036854775808"},
        {"9223372036854775808", ValueKind::Float, "9223372036854776000"},
        {"123456789012345678901234567890", ValueKind::Float, "123456789012345680000000000000"},
        {"2.5", ValueKind::Float, "2.5"},
        {"1e3", ValueKind::Float, "1000"},
        {"-0", ValueKind::Number, "0"},
        {"[-123456789012345678901234567890, 1.5e-12345678901234567890, \"99999999999999999999\"]",
         ValueKind::Array, "[-123456789012345680000000000000, 0, 99999999999999999999]"},
        {" \"caf\\u00e9\\n\" ", ValueKind::String, "café\n"},
        {"\"\\ud83d\\ude00\"", ValueKind::String, "\xF0\x9F\x98\x80"},
        {"true", ValueKind::Boolean, "true"},
        {"false", ValueKind::Boolean, "false"},
        {"null", ValueKind::Null, "null"},
        {"[1, [2, []], {}]", ValueKind::Array, "[1, [2, []], {}]"},
        {"{\"a\": 1, \"a\": 2}", ValueKind::Dict, "{a: 2}"},
    };
    for (const Case& c : cases) {
        const Value v = json::parse(c.text);
        EXPECT_EQ(v.kind(), c.kind) << c.text;
        EXPECT_EQ(display_text(v), c.display) << c.text;
    }
}

TEST(JsonRead, FaultsNameLineAndColumn) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "line 1, column 1: no JSON value in the text"},
        {"[1, 2", "line 1, column 6: unexpected character"},
        {"{\"a\": 1,\n  \"b\": tru}", "line 2, column 8: expected true"},
        {"[1,\n 2,\n x]", "line 3, column 2: unexpected character"},
        {"\"é\" 3", "line 1, column 5: unexpected character"},
        {"[\"a\tb\"]", "line 1, column 4: a control character inside a string must be escaped"},
        {"\"\xff\"", "line 1, column 2: the text is not valid UTF-8"},
        {"[01]", "line 1, column 2: a number is malformed"},
    };
    for (const Case& c : cases) {
        const Value v = json::parse(c.text);
        ASSERT_TRUE(v.is_error()) << c.text;
        EXPECT_EQ(v.text(), c.message) << c.text;
    }
}

TEST(JsonRead, NestingIsLimitedNotACrash) {
    auto nested = [](size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_FALSE(json::parse(nested(json::kMaxDepth)).is_error());
    const Value deep = json::parse(nested(json::kMaxDepth + 1));
    ASSERT_TRUE(deep.is_error());
    EXPECT_NE(deep.text().find("nesting deeper than 1000 levels"), std::string_view::npos);
    EXPECT_TRUE(json::parse(nested(100000)).is_error());
}

TEST(JsonWrite, ReadsBackAsTheSameValue) {
    const char* texts[] = {
        "[1,2.5,-3,true,false,null]",
        "\"quote \\\" backslash \\\\ tab \\t nul \\u0000 é\"",
        "{\"k\":[{\"x\":1}]}",
        "1.0000000000000002",
    };
    for (const char* text : texts) {
        const Value v = json::parse(text);
        ASSERT_FALSE(v.is_error()) << text;
        EXPECT_EQ(written(v), text);
    }
    EXPECT_EQ(written(Value::floating(1.0 / 0.0)), "null");
    EXPECT_EQ(written(Value::color(1, 2, 3)), "null");
}

} // namespace
} // namespace drevel
