// Splitting the module names typed by the user.
#include <gtest/gtest.h>

#include "building/module_name.h"

namespace drevel {
namespace {

std::string describe(std::string_view text) {
    auto parsed = parse_module_name(text);
    if (auto* message = std::get_if<std::string>(&parsed)) return "error: " + *message;
    const ModuleName& name = std::get<ModuleName>(parsed);
    return name.author + " | " + name.module;
}

TEST(ModuleName, SlashOrDot) {
    EXPECT_EQ(describe("alice/math"), "alice | math");
    EXPECT_EQ(describe("alice.math"), "alice | math");
    EXPECT_EQ(describe("a.b.c"), "a | b.c");
    EXPECT_EQ(describe("a.b/c"), "a.b | c");
    // A slash at either end does not split; the dot does.
    EXPECT_EQ(describe("x.y/"), "error: Module format must be 'author/module' or 'author.module'");
    EXPECT_EQ(describe("a..b"), "a | .b");
}

TEST(ModuleName, QualifiedNameAndDirectory) {
    auto name = std::get<ModuleName>(parse_module_name("alice/math"));
    EXPECT_EQ(name.qualified_name(), "alice.math");
    EXPECT_EQ(name.directory(), ".drevel/modules/alice/math");
}

TEST(ModuleName, MissingParts) {
    for (const char* text : {"", "math", "/", ".", "/math", "math/", ".math", "math.", "..."}) {
        EXPECT_EQ(describe(text), "error: Module format must be 'author/module' or 'author.module'")
            << text;
    }
}

TEST(ModuleName, PartsThatWouldLeaveTheirDirectory) {
    // Each of these splits into two non-empty parts, but one part is not a
    // single plain directory name, or the author is a scratch folder's.
    for (const char* text :
         {"../x", "x/..", "a...", "./x", "x/.", "a/b/c", "a/../../etc", "/x.y", "a//b", "a b/c",
          "a/b c", "a/\tb", "a/b\x1b", "../..", "a/../b", ".install-x/y", ".install-/y"}) {
        EXPECT_EQ(describe(text), "error: Module format must be 'author/module' or 'author.module'")
            << text;
    }
}

} // namespace
} // namespace drevel
