// The platform layer: libraries opened at run time, whole-file reading as
// UTF-8, the script-name rule and UTF-8 validation.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/dynamic_library.h"
#include "platform/source_file.h"
#include "platform/utf8.h"

namespace drevel {
namespace {

TEST(DynamicLibrary, OpensTheFirstAvailableNameAndLoadsEntries) {
    EXPECT_EQ(dynamic_library::open_first({"libdrevel-absent.so.9"}), nullptr);
    void* math = dynamic_library::open_first({"libdrevel-absent.so.9", "libm.so.6"});
    ASSERT_NE(math, nullptr);
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(dynamic_library::load(cosine, math, "cos"));
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_FALSE(dynamic_library::load(cosine, math, "drevel_no_such_entry"));
    EXPECT_EQ(cosine, nullptr);
    // Without the library every entry is missing, so callers fall back.
    EXPECT_FALSE(dynamic_library::load(cosine, nullptr, "cos"));
}

std::string written(const std::string& bytes) {
    std::string path = testing::TempDir() + "platform_test_" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(SourceFile, ReadsUtf8TextOrSaysWhyNot) {
    struct Case {
        std::string bytes;
        bool read;
        std::string error;
    };
    const Case cases[] = {
        {"let x = 1\n", true, ""},
        {"", true, ""},
        {"h\xc3\xa9llo", true, ""},
        {std::string(200000, 'a'), true, ""}, // beyond one read's buffer
        {"bad \xff byte", false, kNotUtf8},
    };
    for (const Case& c : cases) {
        std::string path = written(c.bytes), error;
        std::optional<std::string> text = read_text_file(path, error);
        EXPECT_EQ(text.has_value(), c.read) << c.bytes.substr(0, 20);
        if (text) {
            EXPECT_EQ(*text, c.bytes);
        }
        EXPECT_EQ(error, c.error);
        std::remove(path.c_str());
    }
    std::string error;
    EXPECT_FALSE(read_text_file("/nonexistent/drevel/x.dv", error));
    EXPECT_EQ(error, "No such file or directory (os error 2)");
    EXPECT_FALSE(read_text_file(std::string("a\0b.dv", 6), error));
    EXPECT_EQ(error, kNulInPath);
}

TEST(SourceFile, ScriptNamesEndInDv) {
    const std::pair<const char*, bool> cases[] = {
        {"game.dv", true}, {"dir/game.dv", true}, {"a.b.dv", true},    {"game.dv/", true},
        {".dv", false},    {"game", false},       {"game.dvx", false}, {"dir.dv/..", false},
        {"/", false},      {"", false},           {"game.", false},    {"x.DV", false},
    };
    for (auto [path, accepted] : cases)
        EXPECT_EQ(check_script_path(path), accepted) << path;
}

TEST(Utf8, ValidationFollowsTheEncodingRules) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"ascii", true},
        {"\xc3\xa9", true},
        {"\xf0\x9f\x98\x80", true},
        {"\xc3", false},
        {"\x80", false},
        {"\xc0\xaf", false},
        {"\xed\xa0\x80", false},
        {"\xf4\x90\x80\x80", false},
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(is_valid_utf8(bytes), valid) << testing::PrintToString(bytes);
    // The valid prefix ends where the first bad sequence begins.
    EXPECT_EQ(valid_utf8_prefix("ab\xc3\xa9\xed\xa0\x80z"), 4u);
    EXPECT_EQ(valid_utf8_prefix("ab\xc3"), 2u);
    EXPECT_EQ(valid_utf8_prefix("ab\xc3\xa9"), 4u);
}

} // namespace
} // namespace drevel
