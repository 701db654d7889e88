// Names: reading a variable, let, assignment, compound assignment and global.
// A read copies the binding; a write goes through set_variable, so it binds
// in the current scope unless the name is declared global. A statement whose
// value fails still binds it, after reporting it with its context.
#include "interpreter/builtins/registry.h"
#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

namespace {

[[gnu::cold, gnu::noinline]] Value undefined_variable(const std::string& name) {
    return fail("Undefined variable '" + name + "'");
}

// The failures of assignments, out of line: the common path builds no text.
[[gnu::cold, gnu::noinline]] void report_assignment(const AssignStmt& stmt, const Value& error) {
    if (stmt.kind == StmtKind::Let)
        return report_with("Error in let statement for '" + stmt.name + "': ", error);
    if (stmt.kind == StmtKind::CompoundAssign)
        return report_with("Error in compound assignment to '" + stmt.name + "': ", error);
    report_with("Error in assignment to '" + stmt.name + "': ", error);
}

bool is_identifier(const Expr* e, Symbol symbol) {
    return e && e->kind == ExprKind::Identifier &&
           static_cast<const IdentifierExpr*>(e)->symbol == symbol;
}

// The plain builtin a call names (a dotted call's row is no plain builtin).
const BuiltinEntry* bound_builtin(const CallExpr& call) {
    return call.qualified ? nullptr : static_cast<const BuiltinEntry*>(call.bound);
}

// The value appended by a = push(a, v); nullptr for any other statement.
const Expr* pushed_onto_itself(const AssignStmt& stmt) {
    if (stmt.kind != StmtKind::Assign || stmt.value->kind != ExprKind::Call) return nullptr;
    auto& call = static_cast<const CallExpr&>(*stmt.value);
    const BuiltinEntry* builtin = bound_builtin(call);
    if (!builtin || builtin->name != "push" || call.args.size() != 2) return nullptr;
    return is_identifier(call.args[0].get(), stmt.symbol) ? call.args[1].get() : nullptr;
}

// A call that may reach a native function returning its first argument
// changed: m.f(...) naming one, or a plain f(...) that `use m { f }` may have
// bound to one. The call itself lets x go only when it does reach such a row.
bool may_change_first(const CallExpr& call) {
    if (call.qualified) {
        auto* row = static_cast<const BuiltinEntry*>(call.bound);
        return row && row->changes_first;
    }
    for (const NativeModule* module : native_modules())
        for (const BuiltinEntry& f : module->functions)
            if (f.changes_first && f.name == call.name) return true;
    return false;
}

// x = push(x, v), x = concat(x, ...), x = x + y and x += y can reuse x's
// buffer: nothing can read x between its operands and the operation, so the
// old binding is let go just before that operation runs.
const Expr* releasing_operation(const AssignStmt& stmt) {
    const Expr* e = stmt.value.get();
    if (stmt.kind == StmtKind::CompoundAssign)
        return stmt.op == TokenKind::PlusAssign ? e : nullptr;
    if (e->kind == ExprKind::Call) {
        auto* call = static_cast<const CallExpr*>(e);
        if ((bound_builtin(*call) || may_change_first(*call)) && !call->args.empty() &&
            is_identifier(call->args[0].get(), stmt.symbol))
            return e;
        return nullptr;
    }
    if (e->kind != ExprKind::BinaryOp) return nullptr;
    // x = x + a + b: the innermost Plus lets x go; the operands added after
    // it must not read variables that could be x, or run code.
    auto* bin = static_cast<const BinaryOpExpr*>(e);
    while (bin->op == TokenKind::Plus && bin->left->kind == ExprKind::BinaryOp) {
        const Expr* right = bin->right.get();
        bool harmless = right->kind <= ExprKind::Boolean ||
                        (right->kind == ExprKind::Identifier && !is_identifier(right, stmt.symbol));
        if (!harmless) break;
        bin = static_cast<const BinaryOpExpr*>(bin->left.get());
    }
    if (bin->op == TokenKind::Plus && is_identifier(bin->left.get(), stmt.symbol)) return bin;
    return nullptr;
}

} // namespace

// ---- reads ----

Value Interpreter::identifier_read(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const IdentifierExpr&>(e);
    if (const Value* v = in.find(read_name(expr))) return *v;
    return in.read_unbound(expr);
}

// A name with no binding in its cell: a frame name its call has not bound
// reads the name's own binding; anything else is undefined.
Value Interpreter::read_unbound(const IdentifierExpr& expr) const {
    if (const Value* v = find_visible(read_name(expr))) return *v;
    return undefined_variable(expr.name);
}

Numeric Interpreter::number_name(const Interpreter& in, const Expr& e) {
    const Value* v = in.find(read_name(static_cast<const IdentifierExpr&>(e)));
    return v ? numeric_of(*v) : Numeric{};
}

// ---- let and assignment ----

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
    set_variable(bound_name(stmt), std::move(result));
}

// x = y, x = "text", x = d.k, x = a[i]: a value that lies somewhere (a
// binding, a literal's ready value, a stored element), read without running
// code, is copied into the binding. The copy is taken before the write, which
// may free what held it (a = a[0]). Anything not found there (an unbound name,
// a missing key, an index out of range) or an Error takes the general rule,
// which reports it.
void Interpreter::assign_stored(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    const Expr& value = *stmt.value;
    const Value* found = value.kind == ExprKind::Index
                             ? in.stored_element(static_cast<const IndexExpr&>(value))
                             : in.in_place(value);
    if (!found || found->is_error()) [[unlikely]]
        return in.execute_assign(stmt);
    Value copy = *found;
    in.set_variable(bound_name(stmt), std::move(copy));
}

// Arithmetic that works out in machine numbers is stored directly.
void Interpreter::assign_numeric(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Numeric n = in.numeric_value(*stmt.value);
    if (n.kind != Numeric::None) return in.set_numeric(bound_name(stmt), n);
    in.execute_assign(stmt);
}

// a = push(a, v) where v is a number or a bound name: v joins the array in
// the binding itself, which push would take over and hand back. A shared
// array is copied first, as push copies it. Anything push would not simply
// append, and any value that needs evaluating, goes the general way.
void Interpreter::assign_push(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Value* target = in.binding_read_and_written(bound_name(stmt));
    if (!target || target->kind() != ValueKind::Array) return in.execute_assign(stmt);
    const Expr& pushed = *static_cast<const CallExpr&>(*stmt.value).args[1];
    if (pushed.kind == ExprKind::Identifier) {
        const Value* found = in.find(read_name(static_cast<const IdentifierExpr&>(pushed)));
        if (!found || found->is_error()) return in.execute_assign(stmt);
        Value item = *found; // taken before the array may be copied: it can be the array
        target->mutable_items().push_back(std::move(item));
        return;
    }
    Numeric n = in.numeric_value(pushed);
    if (n.kind == Numeric::None) return in.execute_assign(stmt);
    target->mutable_items().push_back(value_of(n));
}

// ---- compound assignment ----

// A compound assignment once its operand is evaluated, from the variable's
// value as read before the operand ran.
void Interpreter::finish_compound(const AssignStmt& stmt, Value current, Value operand) {
    if (!completes_binding()) return; // before the target is let go below
    if (operand.is_error()) report_assignment(stmt, operand);
    if (stmt.bound) { // the operation may reuse the target's buffer
        if (Value* old = binding_to_overwrite(bound_name(stmt))) *old = Value();
    }
    set_variable(bound_name(stmt), binary_operation(std::move(current), stmt.binary_op, operand));
}

void Interpreter::compound_general(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    Value current = in.get_variable(bound_name(stmt));
    in.finish_compound(stmt, std::move(current), in.evaluate(*stmt.value));
}

// x += y on numbers. The variable's number is kept before the operand runs,
// as the general rule reads it first; a row that fails hands both over to it.
void Interpreter::compound_numeric(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    const Value* found = in.find(bound_name(stmt));
    Numeric l = found ? numeric_of(*found) : Numeric{};
    if (l.kind == Numeric::None) return compound_general(in, s);
    if (stmt.flags & kNumericOperand) {
        Numeric r = in.operand_number(*stmt.value);
        Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
        if (n.kind != Numeric::None) return in.set_numeric(bound_name(stmt), n);
        return in.finish_compound(stmt, value_of(l), in.evaluate(*stmt.value));
    }
    Value operand = in.evaluate(*stmt.value);
    if (!completes_binding()) return;
    Numeric r = numeric_of(operand);
    Numeric n = r.kind != Numeric::None ? numeric_row(stmt.binary_op, l, r) : Numeric{};
    if (n.kind != Numeric::None) return in.set_numeric(bound_name(stmt), n);
    in.finish_compound(stmt, value_of(l), std::move(operand));
}

// x += y where y runs no code, the operator chosen when the tree was
// resolved. When the binding read is the one written, it changes in place.
template <TokenKind Op> void Interpreter::compound_number(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const AssignStmt&>(s);
    if (Value* target = in.binding_read_and_written(bound_name(stmt))) {
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

// ---- global ----

void Interpreter::global_statement(Interpreter& in, const Stmt& s) {
    in.declare_global(static_cast<const GlobalStmt&>(s).symbol);
}

// ---- the choice ----

void Interpreter::choose_name(const Expr& expr) {
    auto& identifier = static_cast<const IdentifierExpr&>(expr);
    set_read_name(identifier, identifier.symbol); // until a frame names it
    settle(expr, kNumeric, handler(&identifier_read), number_handler(&number_name));
}

// An assignment of arithmetic that may work out in machine numbers stores
// the number; a = push(a, v) appends in place; x += y on a number changes the
// binding in place.
NodeHandler Interpreter::choose_name(const Stmt& stmt) {
    const bool fast = fast_paths_;
    if (stmt.kind == StmtKind::Global) return handler(&global_statement);
    auto& s = static_cast<const AssignStmt&>(stmt);
    const Expr& value = *s.value;
    uint32_t flags = 0;
    if ((value.kind == ExprKind::BinaryOp || value.kind == ExprKind::Call ||
         value.kind == ExprKind::Number || value.kind == ExprKind::Float) &&
        is_numeric_candidate(value))
        flags |= kNumericValue;
    if (is_numeric_candidate(value)) flags |= kNumericOperand;
    s.flags = flags;
    s.bound = releasing_operation(s);
    if (stmt.kind == StmtKind::CompoundAssign) {
        if (fast && (flags & kNumericOperand)) {
            switch (s.binary_op) {
#define DREVEL_COMPOUND_CHOICE(OP, ...)                                                            \
    case TokenKind::OP: return handler(&compound_number<TokenKind::OP>);
                DREVEL_ARITHMETIC_OPERATORS(DREVEL_COMPOUND_CHOICE)
#undef DREVEL_COMPOUND_CHOICE
            default: break;
            }
        }
        return fast ? handler(&compound_numeric) : handler(&compound_general);
    }
    if (const Expr* pushed = fast && !extra_debug ? pushed_onto_itself(s) : nullptr;
        pushed && (pushed->kind == ExprKind::Identifier || is_numeric_candidate(*pushed)))
        return handler(&assign_push);
    if (!fast) return handler(&assign_general);
    if (flags & kNumericValue) return handler(&assign_numeric);
    const bool stored = value.kind == ExprKind::Identifier || value.kind == ExprKind::String ||
                        (value.kind == ExprKind::Index && is_numeric_candidate(value));
    return stored ? handler(&assign_stored) : handler(&assign_general);
}

} // namespace drevel
