// Statement execution. A statement never stops the program: a failure inside
// it is reported with the statement's context and execution goes on.
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

[[gnu::cold, gnu::noinline]] void no_arm_matched() {
    debug_log("No match patterns matched in match statement");
}

[[gnu::cold, gnu::noinline]] void report_with(std::string_view context, const Value& error) {
    std::string message(context);
    message += error.text();
    report_error(message);
}
// The failures of assignments, out of line: the common path builds no text.
[[gnu::cold, gnu::noinline]] void report_assignment(const AssignStmt& stmt, const Value& error) {
    if (stmt.kind == StmtKind::Let)
        return report_with("Error in let statement for '" + stmt.name + "': ", error);
    if (stmt.kind == StmtKind::CompoundAssign)
        return report_with("Error in compound assignment to '" + stmt.name + "': ", error);
    report_with("Error in assignment to '" + stmt.name + "': ", error);
}

} // namespace

void Interpreter::execute_block(const Block& block) {
    for (const StmtPtr& stmt : block) {
        execute_statement(*stmt);
        if (pending_) return;
    }
}

void Interpreter::function_definition(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const FunctionStmt&>(s);
    in.set_variable(stmt.symbol, *static_cast<const Value*>(stmt.value.get()));
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
void Interpreter::global_statement(Interpreter& in, const Stmt& s) {
    in.declare_global(static_cast<const GlobalStmt&>(s).symbol);
}
void Interpreter::use_statement(Interpreter& in, const Stmt& s) {
    in.execute_use(static_cast<const UseStmt&>(s));
}

void Interpreter::expression_statement(Interpreter& in, const Stmt& s) {
    Value result = in.evaluate(*static_cast<const ExprStmt&>(s).expr);
    if (result.is_error()) report_with("Error in expression: ", result);
}

// A compound assignment once its operand is evaluated, from the variable's
// value as read before the operand ran.
void Interpreter::finish_compound(const AssignStmt& stmt, Value current, Value operand) {
    if (!completes_binding()) return; // before the target is let go below
    if (operand.is_error()) report_assignment(stmt, operand);
    if (stmt.bound) { // the operation may reuse the target's buffer
        if (Value* old = binding_to_overwrite(stmt.symbol)) *old = Value();
    }
    set_variable(stmt.symbol, binary_operation(std::move(current), stmt.binary_op, operand));
}

void Interpreter::compound_general(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Value current = in.get_variable(stmt.symbol);
    in.finish_compound(stmt, std::move(current), in.evaluate(*stmt.value));
}

// x += y on numbers. The variable's number is kept before the operand runs,
// as the general rule reads it first; a row that fails hands both over to it.
void Interpreter::compound_numeric(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    const Value* found = in.find(stmt.symbol);
    Numeric l = found ? numeric_of(*found) : Numeric{};
    if (l.kind == Numeric::None) return compound_general(in, s);
    if (stmt.flags & kNumericOperand) {
        Numeric r = in.operand_number(*stmt.value);
        Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
        if (n.kind != Numeric::None) return in.set_numeric(stmt.symbol, n);
        return in.finish_compound(stmt, value_of(l), in.evaluate(*stmt.value));
    }
    Value operand = in.evaluate(*stmt.value);
    if (!completes_binding()) return;
    Numeric r = numeric_of(operand);
    Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
    if (n.kind != Numeric::None) return in.set_numeric(stmt.symbol, n);
    in.finish_compound(stmt, value_of(l), std::move(operand));
}

// x += y where y runs no code, the operator chosen when the tree was
// resolved. When the binding read is the one written, it changes in place.
template <TokenKind Op> void Interpreter::compound_number(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    if (Value* target = in.binding_read_and_written(stmt.symbol)) {
        Numeric l = numeric_of(*target);
        if (l.kind != Numeric::None) {
            Numeric r = in.operand_number(*stmt.value);
            Numeric n = r.kind != Numeric::None ? numeric_row(Op, l, r) : Numeric{};
            // The binding holds a number, so it owns nothing to release.
            if (n.kind != Numeric::None) return target->adopt(value_of(n).words());
        }
    }
    compound_numeric(in, s);
}
#define DREVEL_COMPOUND_HANDLER(OP)                                                                \
    template void Interpreter::compound_number<TokenKind::OP>(Interpreter&, const Stmt&);
DREVEL_COMPOUND_OPERATORS(DREVEL_COMPOUND_HANDLER)
#undef DREVEL_COMPOUND_HANDLER

// a = push(a, v) where v is a number or a bound name: v joins the array in
// the binding itself, which push would take over and hand back. A shared
// array is copied first, as push copies it. Anything push would not simply
// append, and any value that needs evaluating, goes the general way.
void Interpreter::assign_push(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Value* target = in.binding_read_and_written(stmt.symbol);
    if (!target || target->kind() != ValueKind::Array) return in.execute_assign(stmt);
    const Expr& pushed = *static_cast<const CallExpr&>(*stmt.value).args[1];
    if (pushed.kind == ExprKind::Identifier) {
        const Value* found = in.find(static_cast<const IdentifierExpr&>(pushed).symbol);
        if (!found || found->is_error()) return in.execute_assign(stmt);
        Value item = *found; // taken before the array may be copied: it can be the array
        target->mutable_items().push_back(std::move(item));
        return;
    }
    Numeric n = in.numeric_value(pushed);
    if (n.kind == Numeric::None) return in.execute_assign(stmt);
    target->mutable_items().push_back(value_of(n));
}

// Arithmetic that works out in machine numbers is stored directly.
void Interpreter::assign_numeric(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Numeric n = in.numeric_value(*stmt.value);
    if (n.kind != Numeric::None) return in.set_numeric(stmt.symbol, n);
    in.execute_assign(stmt);
}

void Interpreter::assign_general(Interpreter& in, const Stmt& s) {
    in.execute_assign(static_cast<const AssignStmt&>(s));
}

void Interpreter::execute_assign(const AssignStmt& stmt) {
    Value result;
    {
        ReleasingTarget releasing(*this, stmt); // appends stay linear in both modes
        result = evaluate(*stmt.value);
    }
    if (!completes_binding()) return;
    if (result.is_error()) report_assignment(stmt, result);
    set_variable(stmt.symbol, std::move(result));
}

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
            copy_to_variable(stmt.symbol, item);
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
        set_numeric(stmt.symbol, Numeric::integer(i));
        if (!run_loop_pass(stmt.body)) break;
    }
    pending_ &= uint8_t(~kBreak);
}

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

void Interpreter::try_statement(Interpreter& in, const Stmt& s) {
    in.run_try(static_cast<const TryStmt&>(s));
}

void Interpreter::run_try(const TryStmt& stmt) {
    execute_block(stmt.body);
    if ((pending_ & kReturn) && return_value_.is_error() && completes_binding()) {
        Value caught = take_return_value();
        set_variable(stmt.symbol, Value::string(caught.text()));
        execute_block(stmt.catch_body);
    }
}

} // namespace drevel
