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

TEST(TreeResolution, CompoundAssignmentsApplyTheirTableOperator) {
    struct Case {
        const char* source;
        TokenKind applied;
    };
    const Case cases[] = {{"x += 1", TokenKind::Plus},
                          {"x -= 1", TokenKind::Minus},
                          {"x *= 1", TokenKind::Star},
                          {"x /= 1", TokenKind::Slash}};
    for (const Case& c : cases) {
        ParseResult parsed = parse_program(tokenize(c.source));
        ASSERT_EQ(parsed.program.size(), 1u) << c.source;
        ASSERT_EQ(parsed.program[0]->kind, StmtKind::CompoundAssign) << c.source;
        auto& stmt = static_cast<const AssignStmt&>(*parsed.program[0]);
        EXPECT_EQ(stmt.binary_op, c.applied) << c.source;
    }
    EXPECT_EQ(compound_operator(TokenKind::Assign), TokenKind::EOF_);
    EXPECT_EQ(compound_operator(TokenKind::EOF_), TokenKind::EOF_);
    EXPECT_FALSE(is_compound_assignment(TokenKind::Plus));
}

TEST(TreeResolution, OperatorClassesComeFromTheTable) {
    for (TokenKind op : {TokenKind::Plus, TokenKind::Minus, TokenKind::Star, TokenKind::Slash,
                         TokenKind::Percent, TokenKind::Power}) {
        EXPECT_TRUE(is_arithmetic_operator(op)) << token_kind_name(op);
        EXPECT_FALSE(is_comparison_operator(op)) << token_kind_name(op);
    }
    for (TokenKind op : {TokenKind::Equal, TokenKind::NotEqual, TokenKind::Less, TokenKind::Greater,
                         TokenKind::LessEqual, TokenKind::GreaterEqual}) {
        EXPECT_TRUE(is_comparison_operator(op)) << token_kind_name(op);
        EXPECT_FALSE(is_arithmetic_operator(op)) << token_kind_name(op);
    }
    for (TokenKind op : {TokenKind::And, TokenKind::Or, TokenKind::Not, TokenKind::PlusAssign}) {
        EXPECT_FALSE(is_comparison_operator(op)) << token_kind_name(op);
        EXPECT_FALSE(is_arithmetic_operator(op)) << token_kind_name(op);
    }
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
