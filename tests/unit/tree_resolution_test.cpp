// What the resolving step owes the evaluator: a tree runs only once resolved,
// compound assignments apply the operator the table pairs with them, and a
// held function body stays alive exactly as long as its holders.
#include <gtest/gtest.h>

#include <stdexcept>

#include "interpreter/function_body.h"
#include "interpreter/interpreter.h"
#include "lexer/lexer.h"
#include "parser/operators.h"
#include "parser/parser.h"

namespace drevel {
namespace {

TEST(TreeResolution, UnresolvedStatementIsRefusedNotRun) {
    ParseResult parsed = parse_program(tokenize("let x = 1\nx += 41"));
    ASSERT_EQ(parsed.program.size(), 2u);
    Interpreter interpreter;
    EXPECT_THROW(interpreter.run_top_level(*parsed.program[0]), std::logic_error);
    EXPECT_EQ(interpreter.get_variable(intern("x")).kind(), ValueKind::Null);

    interpreter.resolve(parsed.program);
    for (const StmtPtr& stmt : parsed.program)
        interpreter.run_top_level(*stmt);
    Value x = interpreter.get_variable(intern("x"));
    ASSERT_EQ(x.kind(), ValueKind::Number);
    EXPECT_EQ(x.as_number(), 42);
}

TEST(TreeResolution, HeldFunctionBodyOutlivesItsValue) {
    ParseResult parsed = parse_program(tokenize("def f(a) { return a }"));
    auto& stmt = static_cast<const FunctionStmt&>(*parsed.program.at(0));
    Value function = Value::function(new FunctionBody(stmt.function));
    FunctionBody* body = function.function_ref();
    {
        FunctionHold held(body);
        EXPECT_EQ(body->refs, 2u);
        function = Value(); // the name is rebound while the body runs
        EXPECT_EQ(body->refs, 1u);
        EXPECT_EQ(held.body().arity, 1u);
    }
    // The holder was the last reference and freed the body; a leak or a
    // double free shows under the sanitizer run.
}

} // namespace
} // namespace drevel
