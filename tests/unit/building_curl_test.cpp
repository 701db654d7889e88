// Running the real curl program on file:// addresses.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "building/curl_runner.h"

namespace drevel {
namespace {

namespace fs = std::filesystem;

class CurlRunner : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/drevel-curl-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const char* path = std::getenv("PATH");
        saved_path_ = path ? path : "";
    }
    void TearDown() override {
        setenv("PATH", saved_path_.c_str(), 1);
        fs::remove_all(dir_);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string dir_;
    std::string saved_path_;
};

TEST_F(CurlRunner, DownloadsBytesExactly) {
    std::string text = "let x = 1;\r\n\xc3\xa9\n";
    CurlResult result = run_curl("file://" + write("a.dv", text));
    ASSERT_TRUE(result.ok) << result.text;
    EXPECT_EQ(result.text, text);

    result = run_curl("file://" + write("empty.dv", ""));
    ASSERT_TRUE(result.ok) << result.text;
    EXPECT_EQ(result.text, "");
}

TEST_F(CurlRunner, FailureGivesTrimmedErrorOutput) {
    // With -s curl is silent about a missing file; the message is empty.
    CurlResult result = run_curl("file://" + dir_ + "/missing.dv");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST_F(CurlRunner, InvalidUtf8IsRefused) {
    CurlResult result = run_curl("file://" + write("bin", std::string("ok\xff\xfe", 4)));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "Response contains invalid UTF-8");
}

TEST_F(CurlRunner, OversizedAnswerIsRefused) {
    std::string path = dir_ + "/huge";
    ASSERT_EQ(truncate(write("huge", "").c_str(), off_t(max_curl_response) + 1), 0) << path;
    CurlResult result = run_curl("file://" + path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "Response too large");
}

TEST_F(CurlRunner, StartFailures) {
    std::string url = "file://" + write("a.dv", "x");
    fs::create_directory(dir_ + "/empty");
    setenv("PATH", (dir_ + "/empty").c_str(), 1);
    CurlResult result = run_curl(url);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "curl is not installed");

    // A curl that exists but cannot be executed.
    fs::create_directory(dir_ + "/noexec");
    std::string fake = dir_ + "/noexec/curl";
    std::ofstream(fake) << "#!/bin/sh\n";
    chmod(fake.c_str(), 0644);
    setenv("PATH", (dir_ + "/noexec").c_str(), 1);
    result = run_curl(url);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text.rfind("Failed to execute curl: Permission denied", 0), 0u) << result.text;
}

TEST_F(CurlRunner, ExactArgumentsAndBothStreams) {
    // A stand-in curl shows what it was given and fills both pipes with more
    // than a pipe buffer each, which deadlocks a reader of one pipe at a time.
    fs::create_directory(dir_ + "/bin");
    std::string fake = dir_ + "/bin/curl";
    std::ofstream(fake) << "#!/bin/sh\n"
                           "printf '%s|' \"$@\"\n"
                           "head -c 200000 /dev/zero | tr '\\0' e >&2\n"
                           "head -c 200000 /dev/zero | tr '\\0' o\n"
                           "read line && echo stdin-not-empty\n"
                           "exit 0\n";
    chmod(fake.c_str(), 0755);
    setenv("PATH", (dir_ + "/bin:" + saved_path_).c_str(), 1);
    CurlResult result = run_curl("http://127.0.0.1:1/x y");
    ASSERT_TRUE(result.ok) << result.text;
    EXPECT_EQ(result.text, "-s|-f|http://127.0.0.1:1/x y|" + std::string(200000, 'o'));

    // A failing run reports its error output, trimmed and made valid.
    std::ofstream(fake, std::ios::trunc) << "#!/bin/sh\nprintf '  \\n bad \\377 thing \\n\\t' >&2\n"
                                            "exit 22\n";
    result = run_curl("http://127.0.0.1:1/");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "bad \xef\xbf\xbd thing");
}

TEST_F(CurlRunner, ChildDoesNotInheritIgnoredBrokenPipe) {
    fs::create_directory(dir_ + "/bin");
    std::string fake = dir_ + "/bin/curl";
    std::ofstream(fake) << "#!/bin/sh\nsed -n 's/^SigIgn:[[:space:]]*//p' /proc/$$/status\n";
    chmod(fake.c_str(), 0755);
    setenv("PATH", (dir_ + "/bin:" + saved_path_).c_str(), 1);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    CurlResult result = run_curl("http://127.0.0.1:1/");
    std::signal(SIGPIPE, previous);
    ASSERT_TRUE(result.ok) << result.text;
    unsigned long long ignored = std::stoull(result.text, nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << result.text;
}

} // namespace
} // namespace drevel
