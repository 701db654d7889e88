// x = std.set(x, ...) and its kin change the collection x holds in place
// when nothing else shares it (so a loop of updates stays linear), and copy
// it first when something does; with fast paths on and off alike. Where the
// machine is off limits (fuzzing), exit and sleep neither end nor stall.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter/interpreter.h"
#include "lexer/lexer.h"
#include "parser/parser.h"

namespace drevel {
namespace {

// One interpreter fed program after program, as the REPL feeds it.
class Session {
  public:
    void run(const std::string& source) {
        programs_.push_back(parse_program(tokenize(source)));
        ASSERT_FALSE(programs_.back().refusal) << source;
        interpreter_.resolve(programs_.back().program);
        for (const StmtPtr& stmt : programs_.back().program)
            interpreter_.execute_statement(*stmt);
    }
    // Where the variable's collection lives: the same address after an
    // update means it changed in place.
    const void* buffer_of(const char* name) {
        Value v = interpreter_.get_variable(name);
        return v.is(ValueKind::Dict) ? static_cast<const void*>(&v.entries())
                                     : static_cast<const void*>(&v.items());
    }
    Value get(const char* name) { return interpreter_.get_variable(name); }

  private:
    std::vector<ParseResult> programs_;
    Interpreter interpreter_;
};

class StdInPlace : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { fast_paths_enabled = GetParam(); }
    void TearDown() override { fast_paths_enabled = true; }
};

TEST_P(StdInPlace, UnsharedCollectionsChangeWhereTheyAre) {
    struct Case {
        const char* setup;
        const char* update;
    };
    const Case cases[] = {
        {"let x = {a: 1}", "x = std.set(x, \"b\", 2)"},
        {"let x = {a: 1, b: 2}", "x = std.remove(x, \"zz\")"},
        {"let x = [1, 2]", "x = std.set(x, 0, 5)"},
        {"let x = [1, 2]", "x = std.insert(x, 1, 5)"},
        {"let x = [1, 2]", "x = std.remove(x, 0)"},
        {"let x = [3, 1, 2]", "x = std.sort(x)"},
        {"use std { set }\nlet x = {a: 1}", "x = set(x, \"b\", std.get(x, \"a\", 0) + 1)"},
        {"let x = {}\ndef bump(k) {\n global x\n x = std.set(x, k, 1)\n}", "bump(\"k\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.update);
        Session session;
        session.run(std::string("use std\n") + c.setup);
        const void* before = session.buffer_of("x");
        session.run(c.update);
        EXPECT_EQ(session.buffer_of("x"), before);
    }
}

TEST_P(StdInPlace, SharedCollectionsAreCopiedFirst) {
    Session session;
    session.run("use std\nlet x = {a: 1}\nlet kept = x\nlet xs = [1]\nlet held = [xs]");
    const void* before = session.buffer_of("x");
    session.run("x = std.set(x, \"b\", 2)\nxs = std.set(xs, 0, 9)");
    EXPECT_NE(session.buffer_of("x"), before);
    EXPECT_EQ(session.buffer_of("kept"), before);
    EXPECT_EQ(session.get("kept").entries().size(), 1u);
    EXPECT_EQ(session.get("x").entries().size(), 2u);
    EXPECT_EQ(session.get("held").items()[0].items()[0].as_number(), 1);
    EXPECT_EQ(session.get("xs").items()[0].as_number(), 9);
}

TEST(StdWithoutIo, ExitAndSleepReturn) {
    native_io_enabled = false;
    Session session;
    session.run("use std\nstd.sleep(100000)\nlet failed = std.exit(3)\nlet after = 1");
    native_io_enabled = true;
    EXPECT_EQ(session.get("after").as_number(), 1);
    EXPECT_TRUE(session.get("failed").is_error());
}

INSTANTIATE_TEST_SUITE_P(FastPathsOnAndOff, StdInPlace, ::testing::Bool());

} // namespace
} // namespace drevel
