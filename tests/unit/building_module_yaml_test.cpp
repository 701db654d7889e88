// The file list read from a module's module.yaml, and the file-name check.
#include <gtest/gtest.h>

#include "building/module_yaml.h"

namespace drevel {
namespace {

using Files = std::vector<std::string>;

TEST(ModuleYaml, NoFilesSectionGivesNothing) {
    EXPECT_EQ(read_module_file_list(""), Files{});
    EXPECT_EQ(read_module_file_list("name: math\nversion: 1\n- stray.dv\n"), Files{});
    // An inline list on the files line is not read.
    EXPECT_EQ(read_module_file_list("files: [a.dv, b.dv]\n"), Files{});
}

TEST(ModuleYaml, EntriesWithQuotesAndDashes) {
    std::string yaml = "name: m\n"
                       "files:\n"
                       "  - \"main.dv\"\n"
                       "  - 'lib/util.dv'\n"
                       "  --- plain.dv\n"
                       "  -\n"
                       "  - \"\"\n"
                       "  - \"'mixed'\"\n"
                       "  - a:b.dv\n";
    EXPECT_EQ(read_module_file_list(yaml),
              (Files{"main.dv", "lib/util.dv", "plain.dv", "mixed", "a:b.dv"}));
}

TEST(ModuleYaml, QuotesStrippedBeforeSingleQuotesOnly) {
    // Double quotes go first, then single quotes; a double quote inside
    // single quotes stays.
    EXPECT_EQ(read_module_file_list("files:\n- '\"x.dv\"'\n"), Files{"\"x.dv\""});
    EXPECT_EQ(read_module_file_list("files:\n- \"\"x.dv\"\"\n"), Files{"x.dv"});
}

TEST(ModuleYaml, KeyLineEndsTheList) {
    std::string yaml = "files:\n- a.dv\nversion: 2\n- b.dv\nfiles:\n- c.dv\n";
    EXPECT_EQ(read_module_file_list(yaml), Files{"a.dv"});
}

TEST(ModuleYaml, RepeatedFilesLineAndIgnoredLines) {
    std::string yaml = "# comment: with colon\n"
                       "files:\n"
                       "\n"
                       "# another: comment\n"
                       "- a.dv\n"
                       "just words\n"
                       "files: again\n"
                       "- b.dv\n";
    EXPECT_EQ(read_module_file_list(yaml), (Files{"a.dv", "b.dv"}));
}

TEST(ModuleYaml, CarriageReturnsAndWhiteSpace) {
    std::string yaml = "files:\r\n\t-   x.dv  \r\n\xc2\xa0- y.dv\xe2\x80\x83\r\n- z.dv";
    EXPECT_EQ(read_module_file_list(yaml), (Files{"x.dv", "y.dv", "z.dv"}));
}

TEST(ModuleYaml, FilesLineMustStartTheLine) {
    EXPECT_EQ(read_module_file_list("my files:\n- a.dv\n"), Files{});
    EXPECT_EQ(read_module_file_list("  files:\n- a.dv\n"), Files{"a.dv"});
}

TEST(ModuleFileName, RefusesNamesThatLeaveTheModule) {
    for (const char* bad : {"/etc/passwd", "..", "../x.dv", "a/../../x.dv", "a/..", "/", "",
                            "a\x1b[2Jb.dv", "tab\there.dv"}) {
        EXPECT_FALSE(is_safe_module_file_name(bad)) << bad;
    }
    for (const char* good : {"index.dv", "lib/util.dv", "..x.dv", "a..b/c.dv", "./a.dv", "x..",
                             "sp ace.dv", "caf\xc3\xa9.dv"}) {
        EXPECT_TRUE(is_safe_module_file_name(good)) << good;
    }
}

} // namespace
} // namespace drevel
