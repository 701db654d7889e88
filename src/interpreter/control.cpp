// Control: blocks, if, while, for, match, try, return, break, continue, use
// and expression statements. A statement never stops the program: a failure
// inside it is reported with the statement's context and execution goes on.
// return, break and continue leave a pending signal that ends every
// enclosing block until the statement that takes it (a call, a loop, a try).
#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

namespace {

// Match arms compare without conversions: a Number never matches a Float.
// One comparison per pattern kind, for evaluated and literal patterns alike.
bool number_pattern(const Value& subject, int64_t pattern) {
    return subject.kind() == ValueKind::Number && subject.as_number() == pattern;
}
bool float_pattern(const Value& subject, double pattern) {
    return subject.kind() == ValueKind::Float && floats_equal(subject.as_float(), pattern);
}
bool text_pattern(const Value& subject, const Value& pattern) {
    return subject.kind() == ValueKind::String && subject.same_text(pattern);
}
bool boolean_pattern(const Value& subject, bool pattern) {
    return subject.kind() == ValueKind::Boolean && subject.as_boolean() == pattern;
}

bool pattern_equal(const Value& subject, const Value& pattern) {
    switch (pattern.kind()) {
    case ValueKind::Number: return number_pattern(subject, pattern.as_number());
    case ValueKind::Float: return float_pattern(subject, pattern.as_float());
    case ValueKind::String: return text_pattern(subject, pattern);
    case ValueKind::Boolean: return boolean_pattern(subject, pattern.as_boolean());
    case ValueKind::Null: return subject.is_null();
    default: return false;
    }
}

// A literal pattern compared where it lies, without the value it evaluates to.
bool literal_pattern_equal(const Value& subject, const Expr& pattern) {
    switch (pattern.kind) {
    case ExprKind::Number:
        return number_pattern(subject, static_cast<const NumberExpr&>(pattern).value);
    case ExprKind::Float:
        return float_pattern(subject, static_cast<const FloatExpr&>(pattern).value);
    case ExprKind::String:
        return text_pattern(subject, literal_text(static_cast<const StringExpr&>(pattern)).value);
    case ExprKind::Boolean:
        return boolean_pattern(subject, static_cast<const BooleanExpr&>(pattern).value);
    default: return false; // resolving chose this way for literals only
    }
}

bool is_literal(const Expr& e) {
    return e.kind == ExprKind::Number || e.kind == ExprKind::Float || e.kind == ExprKind::String ||
           e.kind == ExprKind::Boolean;
}

// Whether every pattern of a match is a literal or the wildcard.
bool literal_patterns(const MatchStmt& stmt) {
    for (const MatchArm& arm : stmt.arms)
        if (arm.pattern && !is_literal(*arm.pattern)) return false;
    return true;
}

[[gnu::cold, gnu::noinline]] void no_arm_matched() {
    debug_log("No match patterns matched in match statement");
}

} // namespace

void Interpreter::execute_block(const Block& block) {
    for (const StmtPtr& stmt : block) {
        execute_statement(*stmt);
        if (pending_) return;
    }
}

void Interpreter::expression_statement(Interpreter& in, const Stmt& s) {
    Value result = in.evaluate(*static_cast<const ExprStmt&>(s).expr);
    if (result.is_error()) report_with("Error in expression: ", result);
}

void Interpreter::use_statement(Interpreter& in, const Stmt& s) {
    in.execute_use(static_cast<const UseStmt&>(s));
}

// ---- conditions ----

int Interpreter::condition_truth(const Expr& expr, Value& failure) {
    Value value = evaluate(expr);
    if (value.is_error()) {
        failure = std::move(value);
        return -1;
    }
    return is_truthy(value);
}

void Interpreter::if_statement(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const IfStmt&>(s);
    int truth = in.compared_truth(*stmt.condition);
    if (truth < 0) {
        Value failure;
        truth = in.condition_truth(*stmt.condition, failure);
        if (truth < 0) return report_with("Error in if condition: ", failure);
    }
    if (truth) {
        in.execute_block(stmt.then_body);
    } else if (stmt.else_body) {
        in.execute_block(*stmt.else_body);
    }
}

// ---- loops ----

void Interpreter::while_statement(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const WhileStmt&>(s);
    in.run_while(stmt);
}

void Interpreter::run_while(const WhileStmt& stmt) {
    while (!out_of_steps()) {
        int truth = compared_truth(*stmt.condition);
        if (truth < 0) {
            Value failure;
            truth = condition_truth(*stmt.condition, failure);
            if (truth < 0) {
                report_with("Error in while condition: ", failure);
                break;
            }
        }
        if (!truth) break;
        if (!run_loop_pass(stmt.body)) break;
    }
    pending_ &= uint8_t(~kBreak);
}

void Interpreter::for_general(Interpreter& in, const Stmt& s) {
    in.run_for(static_cast<const ForStmt&>(s));
}

void Interpreter::run_for(const ForStmt& stmt) {
    Value iterable = evaluate(*stmt.iter);
    if (iterable.kind() == ValueKind::Array) {
        // The loop walks its own reference to the elements, so assignments in
        // the body cannot change what it iterates.
        const std::vector<Value>& items = iterable.items();
        for (const Value& item : items) {
            if (out_of_steps()) break;
            copy_to_variable(bound_name(stmt), item);
            if (!run_loop_pass(stmt.body)) break;
        }
        pending_ &= uint8_t(~kBreak);
        return;
    }
    if (iterable.is_error()) {
        report_with("Error in for loop iteration: ", iterable);
        return;
    }
    std::string message = "Cannot iterate over ";
    message += type_name(iterable);
    message += " in for loop. Expected an array.";
    report_error(message);
}

// for i in a..b walks the numbers without building the array the range
// stands for; bounds, messages and limits are those of the range itself.
void Interpreter::for_range(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const ForStmt&>(s);
    in.run_for_range(stmt, static_cast<const RangeExpr&>(*stmt.iter));
}

void Interpreter::run_for_range(const ForStmt& stmt, const RangeExpr& range) {
    int64_t start = 0, end = 0;
    Value failure = range_bounds(range, start, end);
    if (failure.is_error()) {
        std::string message = "Error in for loop iteration: ";
        message += failure.text();
        report_error(message);
        return;
    }
    if (start < end) charge_steps(uint64_t(end) - uint64_t(start)); // as building the range would
    for (int64_t i = start; i < end; ++i) {
        if (out_of_steps()) break;
        set_numeric(bound_name(stmt), Numeric::integer(i));
        if (!run_loop_pass(stmt.body)) break;
    }
    pending_ &= uint8_t(~kBreak);
}

// ---- match ----

void Interpreter::match_statement(Interpreter& in, const Stmt& s) {
    in.run_match(static_cast<const MatchStmt&>(s));
}

void Interpreter::run_match(const MatchStmt& stmt) {
    Value scrutinee = evaluate(*stmt.expr);
    if (scrutinee.is_error()) {
        report_with("Error in match expression: ", scrutinee);
        return;
    }
    for (const MatchArm& arm : stmt.arms) {
        if (arm.pattern) {
            Value pattern = evaluate(*arm.pattern);
            if (pattern.is_error()) {
                report_with("Error in match pattern: ", pattern);
                continue;
            }
            if (!pattern_equal(scrutinee, pattern)) continue;
        }
        execute_block(arm.body);
        return;
    }
    if (extra_debug) no_arm_matched();
}

// A match whose patterns are all literals: the subject is read in place when
// it is a bound name or a literal (the patterns run no code that could rebind
// it) and evaluated once otherwise, as the general rule does, and each
// pattern is compared where it lies.
void Interpreter::match_literals(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const MatchStmt&>(s);
    Value holder;
    const Value& subject = in.operand(*stmt.expr, holder, true);
    if (subject.is_error()) return report_with("Error in match expression: ", subject);
    for (const MatchArm& arm : stmt.arms) {
        if (!arm.pattern || literal_pattern_equal(subject, *arm.pattern))
            return in.execute_block(arm.body);
    }
    if (extra_debug) no_arm_matched();
}

// ---- try and the signals ----

void Interpreter::try_statement(Interpreter& in, const Stmt& s) {
    in.run_try(static_cast<const TryStmt&>(s));
}

void Interpreter::run_try(const TryStmt& stmt) {
    execute_block(stmt.body);
    if ((pending_ & kReturn) && return_value_.is_error() && completes_binding()) {
        Value caught = take_return_value();
        set_variable(bound_name(stmt), Value::string(caught.text()));
        execute_block(stmt.catch_body);
    }
}

void Interpreter::return_statement(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const ReturnStmt&>(s);
    in.return_value_ = stmt.value ? in.evaluate(*stmt.value) : Value();
    in.pending_ |= kReturn;
}

// return of a literal: the value resolving made for it is copied into the
// pending return.
void Interpreter::return_literal(Interpreter& in, const Stmt& s) {
    in.return_value_ = *static_cast<const Value*>(static_cast<const ReturnStmt&>(s).literal.get());
    in.pending_ |= kReturn;
}

void Interpreter::break_statement(Interpreter& in, const Stmt&) {
    in.pending_ |= kBreak;
}
void Interpreter::continue_statement(Interpreter& in, const Stmt&) {
    in.pending_ |= kContinue;
}

// ---- the choice ----

// for over a range walks its numbers; a match of literal patterns compares
// them where they lie; return of a literal copies a value made once.
NodeHandler Interpreter::choose_control(const Stmt& stmt) {
    const bool fast = fast_paths_;
    switch (stmt.kind) {
    case StmtKind::If: return handler(&if_statement);
    case StmtKind::While: return handler(&while_statement);
    case StmtKind::For:
        return fast && static_cast<const ForStmt&>(stmt).iter->kind == ExprKind::Range
                   ? handler(&for_range)
                   : handler(&for_general);
    case StmtKind::Match:
        return fast && !extra_debug && literal_patterns(static_cast<const MatchStmt&>(stmt))
                   ? handler(&match_literals)
                   : handler(&match_statement);
    case StmtKind::Try: return handler(&try_statement);
    case StmtKind::Return: {
        auto& s = static_cast<const ReturnStmt&>(stmt);
        if (!(fast && !extra_debug && s.value && is_literal(*s.value)))
            return handler(&return_statement);
        // A literal evaluates to the same value every time: made once.
        if (!s.literal.get()) {
            s.literal.set(new Value(evaluate(*s.value)),
                          [](void* p) { delete static_cast<Value*>(p); });
        }
        return handler(&return_literal);
    }
    case StmtKind::Break: return handler(&break_statement);
    case StmtKind::Continue: return handler(&continue_statement);
    case StmtKind::Use: return handler(&use_statement);
    case StmtKind::Expr: return handler(&expression_statement);
    // The other families' kinds, named so that the build asks for every
    // new kind here.
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign:
    case StmtKind::Global:
    case StmtKind::Function: break;
    }
    throw std::logic_error("not a control statement");
}

} // namespace drevel
