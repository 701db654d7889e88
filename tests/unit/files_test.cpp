// The files module against a real temporary directory: messages, the
// recursive-removal flag, symbolic links and permissions.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "modules/files/file_system.h"
#include "native_call.h"

using namespace drevel;
using drevel::testing_support::call_module_function;

namespace {

class FilesTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/drevel-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        ::chmod((root_ + "/locked").c_str(), 0755);
        std::string error;
        file_system::remove_folder(root_, true, error);
    }

    NativeContext natives_;

    std::string at(std::string_view name) const { return root_ + "/" + std::string(name); }

    Value call(std::string_view name, std::vector<Value> args) {
        Value result;
        EXPECT_TRUE(call_module_function(name, args.data(), args.size(), natives_, result)) << name;
        return result;
    }
    Value call(std::string_view name, const std::string& path) {
        return call(name, std::vector<Value>{Value::string(path)});
    }

    static std::string error_of(const Value& v) {
        return v.is_error() ? std::string(v.text()) : "<no error>";
    }

    void put(std::string_view name, std::string_view content) {
        std::string error;
        ASSERT_TRUE(file_system::write_file(at(name), content, error)) << error;
    }

    std::vector<std::string> names_in(std::string_view folder) {
        const Value list = call("files.list", at(folder));
        std::vector<std::string> names;
        if (!list.is(ValueKind::Array)) return {"<" + error_of(list) + ">"};
        for (const Value& item : list.items())
            names.emplace_back(item.text());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string root_;
};

} // namespace

TEST_F(FilesTest, UsageMessagesForTooFewArguments) {
    const std::pair<const char*, const char*> usage[] = {
        {"files.read", "read requires a filepath"},
        {"files.write", "write requires a filepath and content"},
        {"files.append", "append requires a filepath and content"},
        {"files.delete", "delete requires a filepath"},
        {"files.exists", "exists requires a path"},
        {"files.is_file", "is_file requires a path"},
        {"files.is_folder", "is_folder requires a path"},
        {"files.create_folder", "create_folder requires a folder path"},
        {"files.delete_folder", "delete_folder requires a folder path"},
        {"files.list", "list requires a folder path"},
    };
    for (const auto& [name, message] : usage)
        EXPECT_EQ(error_of(call(name, std::vector<Value>{})), message);
    EXPECT_EQ(error_of(call("files.write", at("x"))), "write requires a filepath and content");
    EXPECT_EQ(error_of(call("files.append", at("x"))), "append requires a filepath and content");

    Value result;
    for (const char* name :
         {"files.copy", "files", "files.", "files.read2", "FILES.read", "files.list "}) {
        EXPECT_FALSE(call_module_function(name, nullptr, 0, natives_, result)) << name;
    }
}

TEST_F(FilesTest, WriteAppendReadRoundTrip) {
    EXPECT_TRUE(call("files.write", {Value::string(at("n.txt")), Value::number(42)}).is_null());
    EXPECT_EQ(call("files.read", at("n.txt")).text(), "42");
    EXPECT_TRUE(call("files.write", {Value::string(at("n.txt")), Value::floating(2.0)}).is_null());
    EXPECT_EQ(call("files.read", at("n.txt")).text(), "2"); // truncated, display text

    EXPECT_TRUE(call("files.append", {Value::string(at("ab.txt")), Value::string("a")}).is_null());
    EXPECT_TRUE(call("files.append", {Value::string(at("ab.txt")), Value::string("b")}).is_null());
    EXPECT_TRUE(call("files.append", {Value::string(at("ab.txt")), Value::null()}).is_null());
    EXPECT_EQ(call("files.read", at("ab.txt")).text(), "abnull");

    const std::string big(300000, 'z');
    EXPECT_TRUE(call("files.write", {Value::string(at("big")), Value::string(big)}).is_null());
    EXPECT_EQ(call("files.read", at("big")).text(), big);
    EXPECT_TRUE(call("files.write", {Value::string(at("empty")), Value::string("")}).is_null());
    EXPECT_EQ(call("files.read", at("empty")).text(), "");

    // A name near the length limit is still replaced whole, twice.
    const std::string long_name = at(std::string(250, 'n'));
    for (const char* text : {"first", "second"}) {
        EXPECT_TRUE(call("files.write", {Value::string(long_name), Value::string(text)}).is_null());
        EXPECT_EQ(call("files.read", long_name).text(), text);
    }
}

TEST_F(FilesTest, OperationMessagesNameThePathAsGiven) {
    const std::string missing = at("no/such.txt");
    EXPECT_EQ(error_of(call("files.read", missing)),
              "Failed to read file '" + missing + "': No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("files.write", {Value::string(missing), Value::string("x")})),
              "Failed to write file '" + missing + "': No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("files.append", {Value::string(missing), Value::string("x")})),
              "Failed to open file '" + missing + "': No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("files.delete", missing)),
              "Failed to delete file '" + missing + "': No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("files.list", missing)),
              "Failed to list folder '" + missing + "': No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("files.delete_folder", missing)),
              "Failed to delete folder '" + missing + "': No such file or directory (os error 2)");

    // A directory in place of a file, and a file in place of a directory.
    EXPECT_EQ(error_of(call("files.read", root_)),
              "Failed to read file '" + root_ + "': Is a directory (os error 21)");
    EXPECT_EQ(error_of(call("files.delete", root_)),
              "Failed to delete file '" + root_ + "': Is a directory (os error 21)");
    put("plain", "x");
    EXPECT_EQ(error_of(call("files.list", at("plain"))),
              "Failed to list folder '" + at("plain") + "': Not a directory (os error 20)");
    EXPECT_EQ(error_of(call("files.create_folder", at("plain"))),
              "Failed to create folder '" + at("plain") + "': File exists (os error 17)");
    EXPECT_EQ(error_of(call("files.create_folder", at("plain/sub"))),
              "Failed to create folder '" + at("plain/sub") + "': Not a directory (os error 20)");

    // A number as path: its display text is the path.
    ASSERT_EQ(::chdir(root_.c_str()), 0);
    EXPECT_TRUE(call("files.write", {Value::number(7), Value::string("seven")}).is_null());
    EXPECT_EQ(call("files.read", {Value::string("7")}).text(), "seven");
    EXPECT_EQ(error_of(call("files.read", {Value::boolean(true)})),
              "Failed to read file 'true': No such file or directory (os error 2)");
    ASSERT_EQ(::chdir("/"), 0);
}

TEST_F(FilesTest, InvalidUtf8AndNulBytes) {
    put("latin1", "caf\xE9");
    EXPECT_EQ(error_of(call("files.read", at("latin1"))),
              "Failed to read file '" + at("latin1") + "': stream did not contain valid UTF-8");

    const std::string nul = at("a") + std::string(1, '\0') + "b";
    const std::string tail = "': file name contained an unexpected NUL byte";
    EXPECT_EQ(error_of(call("files.read", nul)), "Failed to read file '" + nul + tail);
    EXPECT_EQ(error_of(call("files.write", {Value::string(nul), Value::string("x")})),
              "Failed to write file '" + nul + tail);
    EXPECT_EQ(error_of(call("files.append", {Value::string(nul), Value::string("x")})),
              "Failed to open file '" + nul + tail);
    EXPECT_EQ(error_of(call("files.delete", nul)), "Failed to delete file '" + nul + tail);
    EXPECT_EQ(error_of(call("files.create_folder", nul)), "Failed to create folder '" + nul + tail);
    EXPECT_EQ(error_of(call("files.delete_folder", nul)), "Failed to delete folder '" + nul + tail);
    EXPECT_EQ(error_of(call("files.list", nul)), "Failed to list folder '" + nul + tail);
    EXPECT_FALSE(call("files.exists", nul).as_boolean());
    // Nothing was created under the name cut at the NUL byte.
    EXPECT_FALSE(call("files.exists", at("a")).as_boolean());
}

TEST_F(FilesTest, PathTestsFollowSymbolicLinks) {
    put("f", "x");
    ASSERT_EQ(::symlink(at("f").c_str(), at("link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink(root_.c_str(), at("link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink(at("gone").c_str(), at("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);

    struct Case {
        const char* name;
        bool exists, file, folder;
    } cases[] = {
        {"f", true, true, false},           {"link-to-file", true, true, false},
        {"link-to-dir", true, false, true}, {"dangling", false, false, false},
        {"fifo", true, false, false},       {"missing", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(call("files.exists", at(c.name)).as_boolean(), c.exists) << c.name;
        EXPECT_EQ(call("files.is_file", at(c.name)).as_boolean(), c.file) << c.name;
        EXPECT_EQ(call("files.is_folder", at(c.name)).as_boolean(), c.folder) << c.name;
    }
    EXPECT_TRUE(call("files.is_folder", root_).as_boolean());
    EXPECT_FALSE(call("files.is_file", root_).as_boolean());
    EXPECT_EQ(call("files.read", at("link-to-file")).text(), "x");
    // Reading through a dangling link reports the missing target.
    EXPECT_EQ(error_of(call("files.read", at("dangling"))),
              "Failed to read file '" + at("dangling") +
                  "': No such file or directory (os error 2)");
}

TEST_F(FilesTest, CreateFoldersWithParents) {
    EXPECT_TRUE(call("files.create_folder", at("a/b/c")).is_null());
    EXPECT_TRUE(call("files.is_folder", at("a/b/c")).as_boolean());
    EXPECT_TRUE(call("files.create_folder", at("a/b/c")).is_null()); // again: fine
    EXPECT_TRUE(call("files.create_folder", at("a//x///y/")).is_null());
    EXPECT_TRUE(call("files.is_folder", at("a/x/y")).as_boolean());
    EXPECT_TRUE(call("files.create_folder", at("a/b/../z")).is_null());
    EXPECT_TRUE(call("files.is_folder", at("a/z")).as_boolean());
    EXPECT_EQ(names_in("a"), (std::vector<std::string>{"b", "x", "z"}));
}

TEST_F(FilesTest, DeleteFolderTruthRule) {
    struct Case {
        Value flag;
        bool recursive;
    } cases[] = {
        {Value::boolean(true), true},   {Value::string(""), true},
        {Value::string("no"), true},    {Value::number(-1), true},
        {Value::floating(0.5), true},   {Value::floating(std::nan("")), true},
        {Value::array({}), true},       {Value::dict(Dict()), true},
        {Value::color(0, 0, 0), true},  {Value::builtin_function("files.list"), true},
        {Value::number(0), false},      {Value::floating(0.0), false},
        {Value::floating(-0.0), false}, {Value::boolean(false), false},
        {Value::null(), false},         {Value::error("e"), false},
    };
    int i = 0;
    for (const Case& c : cases) {
        const std::string dir = at("d" + std::to_string(i++));
        ASSERT_TRUE(call("files.create_folder", dir + "/inner").is_null());
        put(dir.substr(root_.size() + 1) + "/inner/file", "x");
        const Value result = call("files.delete_folder", {Value::string(dir), c.flag});
        EXPECT_EQ(result.is_null(), c.recursive) << display_text(c.flag);
        EXPECT_EQ(call("files.exists", dir).as_boolean(), !c.recursive) << display_text(c.flag);
        if (!c.recursive) {
            EXPECT_EQ(error_of(result),
                      "Failed to delete folder '" + dir + "': Directory not empty (os error 39)");
        }
    }
    ASSERT_TRUE(call("files.create_folder", at("empty")).is_null());
    EXPECT_TRUE(call("files.delete_folder", at("empty")).is_null());
    EXPECT_FALSE(call("files.exists", at("empty")).as_boolean());
}

TEST_F(FilesTest, RecursiveDeleteNeverFollowsLinks) {
    ASSERT_TRUE(call("files.create_folder", at("keep")).is_null());
    put("keep/precious", "data");
    ASSERT_TRUE(call("files.create_folder", at("tree/deep/deeper")).is_null());
    put("tree/deep/deeper/leaf", "x");
    ASSERT_EQ(::symlink(at("keep").c_str(), at("tree/deep/to-keep").c_str()), 0);
    ASSERT_EQ(::symlink(at("keep/precious").c_str(), at("tree/file-link").c_str()), 0);
    ASSERT_EQ(::symlink(at("nowhere").c_str(), at("tree/dangling").c_str()), 0);

    EXPECT_TRUE(
        call("files.delete_folder", {Value::string(at("tree")), Value::boolean(true)}).is_null());
    EXPECT_FALSE(call("files.exists", at("tree")).as_boolean());
    EXPECT_EQ(call("files.read", at("keep/precious")).text(), "data");

    // A link to a folder is not a folder to delete, with or without the flag.
    ASSERT_EQ(::symlink(at("keep").c_str(), at("alias").c_str()), 0);
    for (bool recursive : {false, true}) {
        EXPECT_EQ(error_of(call("files.delete_folder",
                                {Value::string(at("alias")), Value::boolean(recursive)})),
                  "Failed to delete folder '" + at("alias") + "': Not a directory (os error 20)");
    }
    EXPECT_EQ(call("files.read", at("keep/precious")).text(), "data");
    put("regular", "x");
    EXPECT_EQ(
        error_of(call("files.delete_folder", {Value::string(at("regular")), Value::number(1)})),
        "Failed to delete folder '" + at("regular") + "': Not a directory (os error 20)");
}

TEST_F(FilesTest, ListGivesBareNamesWithoutDotsOrBadNames) {
    ASSERT_TRUE(call("files.create_folder", at("l/sub")).is_null());
    EXPECT_EQ(names_in("l/sub"), std::vector<std::string>{});
    put("l/one.txt", "1");
    put("l/\u00E9t\u00E9", "2");
    put("l/bad\xFFname", "3");
    ASSERT_EQ(::symlink("nowhere", at("l/dangling").c_str()), 0);
    EXPECT_EQ(names_in("l"),
              (std::vector<std::string>{"dangling", "one.txt", "sub", "\u00E9t\u00E9"}));
}

TEST_F(FilesTest, PermissionDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
    put("secret", "x");
    ASSERT_EQ(::chmod(at("secret").c_str(), 0), 0);
    EXPECT_EQ(error_of(call("files.read", at("secret"))),
              "Failed to read file '" + at("secret") + "': Permission denied (os error 13)");
    EXPECT_EQ(error_of(call("files.append", {Value::string(at("secret")), Value::string("y")})),
              "Failed to open file '" + at("secret") + "': Permission denied (os error 13)");
    ASSERT_TRUE(call("files.create_folder", at("locked/in")).is_null());
    ASSERT_EQ(::chmod(at("locked").c_str(), 0500), 0);
    EXPECT_EQ(
        error_of(call("files.delete_folder", {Value::string(at("locked")), Value::number(1)})),
        "Failed to delete folder '" + at("locked") + "': Permission denied (os error 13)");
    EXPECT_TRUE(call("files.exists", at("locked/in")).as_boolean());
}

TEST_F(FilesTest, StreamsAreCheckedAsUtf8WhileTheyArrive) {
    // Characters cut between two writes to a pipe arrive whole; bytes that
    // can never form a character end the read with the UTF-8 error.
    struct Case {
        std::vector<std::string> writes;
        const char* result;
    } cases[] = {
        {{"a\xC3", "\xA9z"}, "a\xC3\xA9z"},
        {{"\xE2\x82", "\xAC!"}, "\xE2\x82\xAC!"},
        {{"\xF0", "\x9F\x98", "\x80"}, "\xF0\x9F\x98\x80"},
        {{"a\xC3", "z"}, nullptr},
        {{"ok\xFF", "more"}, nullptr},
        {{"end\xE2\x82"}, nullptr},
    };
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    int i = 0;
    for (const Case& c : cases) {
        const std::string fifo = at("fifo" + std::to_string(i++));
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer([&] {
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            // After a refusal the reader is gone: later writes fail (EPIPE).
            for (const std::string& piece : c.writes) {
                [[maybe_unused]] const ssize_t n = ::write(fd, piece.data(), piece.size());
                ::usleep(20000);
            }
            ::close(fd);
        });
        const Value got = call("files.read", fifo);
        writer.join();
        if (c.result) {
            EXPECT_EQ(got.is_error() ? error_of(got) : std::string(got.text()), c.result);
        } else {
            EXPECT_EQ(error_of(got),
                      "Failed to read file '" + fifo + "': stream did not contain valid UTF-8");
        }
    }
    std::signal(SIGPIPE, previous);
}
