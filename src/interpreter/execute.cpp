// Statement execution. A statement never stops the program: a failure inside
// it is reported with the statement's context and execution goes on.
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

namespace {

// Match arms compare without conversions: a Number never matches a Float.
bool pattern_equal(const Value& scrutinee, const Value& pattern) {
    if (scrutinee.kind() != pattern.kind()) return false;
    switch (scrutinee.kind()) {
    case ValueKind::Number: return scrutinee.as_number() == pattern.as_number();
    case ValueKind::Float: return floats_equal(scrutinee.as_float(), pattern.as_float());
    case ValueKind::String: return scrutinee.text() == pattern.text();
    case ValueKind::Boolean: return scrutinee.as_boolean() == pattern.as_boolean();
    case ValueKind::Null: return true;
    default: return false;
    }
}

void report_with(std::string_view context, const Value& error) {
    std::string message(context);
    message += error.text();
    report_error(message);
}

} // namespace

void Interpreter::execute_block(const Block& block) {
    for (const StmtPtr& stmt : block) {
        execute_statement(*stmt);
        if (has_return_ || break_pending_ || continue_pending_) return;
    }
}

void Interpreter::execute_statement(const Stmt& stmt) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: execute_assign(static_cast<const AssignStmt&>(stmt)); break;
    case StmtKind::Function: {
        auto& s = static_cast<const FunctionStmt&>(stmt);
        retain_function(s.function);
        set_variable(s.symbol, Value::function(s.function));
        break;
    }
    case StmtKind::If: {
        auto& s = static_cast<const IfStmt&>(stmt);
        Value failure;
        int truth = condition_truth(*s.condition, failure);
        if (truth < 0) {
            report_with("Error in if condition: ", failure);
        } else if (truth) {
            execute_block(s.then_body);
        } else if (s.else_body) {
            execute_block(*s.else_body);
        }
        break;
    }
    case StmtKind::While: execute_while(static_cast<const WhileStmt&>(stmt)); break;
    case StmtKind::For: execute_for(static_cast<const ForStmt&>(stmt)); break;
    case StmtKind::Match: execute_match(static_cast<const MatchStmt&>(stmt)); break;
    case StmtKind::Try: execute_try(static_cast<const TryStmt&>(stmt)); break;
    case StmtKind::Return: {
        auto& s = static_cast<const ReturnStmt&>(stmt);
        return_value_ = s.value ? evaluate(*s.value) : Value();
        has_return_ = true;
        break;
    }
    case StmtKind::Break: break_pending_ = true; break;
    case StmtKind::Continue: continue_pending_ = true; break;
    case StmtKind::Global: declare_global(static_cast<const GlobalStmt&>(stmt).symbol); break;
    case StmtKind::Use: execute_use(static_cast<const UseStmt&>(stmt)); break;
    case StmtKind::Expr: {
        Value result = evaluate(*static_cast<const ExprStmt&>(stmt).expr);
        if (result.is_error()) report_with("Error in expression: ", result);
        break;
    }
    }
}

// Steps 2 to 4 of a compound assignment, from the variable's value as read
// before the operand was evaluated.
void Interpreter::finish_compound(const AssignStmt& stmt, Value current, Value operand) {
    if (operand.is_error())
        report_with("Error in compound assignment to '" + stmt.name + "': ", operand);
    if (stmt.releasing_operation) {
        if (Value* old = binding_to_overwrite(stmt.symbol)) *old = Value();
    }
    set_variable(stmt.symbol, binary_operation(std::move(current), stmt.binary_op, operand));
}

void Interpreter::execute_assign(const AssignStmt& stmt) {
    if (stmt.kind == StmtKind::CompoundAssign) {
        const Value* found = fast_paths_ ? find(stmt.symbol) : nullptr;
        Numeric l = found ? numeric_of(*found) : Numeric{};
        if (l.kind == Numeric::None)
            return finish_compound(stmt, get_variable(stmt.symbol), evaluate(*stmt.value));
        // x += y on numbers. The variable's number is kept before the operand
        // runs, as the general rule reads it first; a row that fails hands
        // both over to it.
        if (stmt.numeric_operand) {
            Numeric r = numeric_operand(*stmt.value);
            Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
            if (n.kind != Numeric::None) return set_numeric(stmt.symbol, n);
            return finish_compound(stmt, value_of(l), evaluate(*stmt.value));
        }
        Value operand = evaluate(*stmt.value);
        Numeric r = numeric_of(operand);
        Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
        if (n.kind != Numeric::None) return set_numeric(stmt.symbol, n);
        return finish_compound(stmt, value_of(l), std::move(operand));
    }
    if (stmt.numeric_value && fast_paths_) {
        // Arithmetic that works out in machine numbers is stored directly.
        Numeric n = numeric_value(*stmt.value);
        if (n.kind != Numeric::None) return set_numeric(stmt.symbol, n);
    }
    // Not a fast path: appends stay linear in both modes.
    releasing_operation_ = stmt.releasing_operation;
    releasing_symbol_ = stmt.symbol;
    Value result = evaluate(*stmt.value);
    releasing_operation_ = nullptr;
    if (result.is_error()) {
        report_with(stmt.kind == StmtKind::Let ? "Error in let statement for '" + stmt.name + "': "
                                               : "Error in assignment to '" + stmt.name + "': ",
                    result);
    }
    set_variable(stmt.symbol, std::move(result));
}

void Interpreter::execute_while(const WhileStmt& stmt) {
    while (!out_of_steps()) {
        Value failure;
        int truth = condition_truth(*stmt.condition, failure);
        if (truth < 0) {
            report_with("Error in while condition: ", failure);
            break;
        }
        if (!truth) break;
        execute_block(stmt.body);
        if (has_return_ || break_pending_) break;
        continue_pending_ = false;
    }
    break_pending_ = false;
}

void Interpreter::execute_for(const ForStmt& stmt) {
    if (stmt.iter->kind == ExprKind::Range && fast_paths_) {
        execute_for_range(stmt, static_cast<const RangeExpr&>(*stmt.iter));
        return;
    }
    Value iterable = evaluate(*stmt.iter);
    if (iterable.kind() == ValueKind::Array) {
        // The loop walks its own reference to the elements, so assignments in
        // the body cannot change what it iterates.
        const std::vector<Value>& items = iterable.items();
        for (const Value& item : items) {
            if (out_of_steps()) break;
            set_variable(stmt.symbol, item);
            execute_block(stmt.body);
            if (has_return_ || break_pending_) break;
            continue_pending_ = false;
        }
        break_pending_ = false;
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
void Interpreter::execute_for_range(const ForStmt& stmt, const RangeExpr& range) {
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
        execute_block(stmt.body);
        if (has_return_ || break_pending_) break;
        continue_pending_ = false;
    }
    break_pending_ = false;
}

void Interpreter::execute_match(const MatchStmt& stmt) {
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
    if (extra_debug) debug_log("No match patterns matched in match statement");
}

void Interpreter::execute_try(const TryStmt& stmt) {
    execute_block(stmt.body);
    if (has_return_ && return_value_.is_error()) {
        Value caught = take_return_value();
        set_variable(stmt.symbol, Value::string(caught.text()));
        execute_block(stmt.catch_body);
    }
}

} // namespace drevel
