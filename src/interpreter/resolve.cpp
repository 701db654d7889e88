// Resolving a parsed tree: every node gets the handler that evaluates it,
// chosen from its shape, and the words that handler reads (a builtin, flags,
// a ready-made value). With fast paths off every node gets its general rule.
#include <new>
#include <vector>

#include "interpreter/builtins/registry.h"
#include "interpreter/interpreter.h"
#include "parser/operators.h"

namespace drevel {

namespace {

template <typename Handler> NodeHandler handler(Handler h) {
    return reinterpret_cast<NodeHandler>(h);
}

bool is_identifier(const Expr* e, Symbol symbol) {
    return e && e->kind == ExprKind::Identifier &&
           static_cast<const IdentifierExpr*>(e)->symbol == symbol;
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

void Interpreter::resolve(const Block& program) {
    resolve_block(program);
    ensure_slots();
}

void Interpreter::resolve_block(const Block& block) {
    for (const StmtPtr& stmt : block)
        resolve_stmt(*stmt);
}

void Interpreter::resolve_expr(const Expr& expr) {
    const bool fast = fast_paths_;
    auto settle = [](const Expr& node, uint32_t node_flags, NodeHandler node_handler) {
        node.flags = node_flags;
        node.handler = node_handler;
        node.number_handler = number_handler_for(node);
        node.float_handler = float_handler_for(node);
    };
    uint32_t flags = 0;
    NodeHandler chosen = nullptr;
    switch (expr.kind) {
    case ExprKind::Number:
        flags = kNumeric;
        chosen = handler(&number_literal);
        break;
    case ExprKind::Float:
        flags = kNumeric;
        chosen = handler(&float_literal);
        break;
    case ExprKind::Boolean: chosen = handler(&boolean_literal); break;
    case ExprKind::String: {
        auto& e = static_cast<const StringExpr&>(expr);
        if (!e.literal.get()) {
            e.literal.set(new LiteralText{Value::string(e.value), DictKey(e.value)},
                          [](void* p) { delete static_cast<LiteralText*>(p); });
        }
        chosen = handler(&string_literal);
        break;
    }
    case ExprKind::Identifier:
        flags = kNumeric;
        chosen = handler(&identifier_read);
        break;
    case ExprKind::BinaryOp: {
        // a + b + c ... nests on the left: its links are resolved from the
        // innermost out, each after its operands, taking no stack per link.
        std::vector<const BinaryOpExpr*> chain;
        for (const Expr* link = &expr; link->kind == ExprKind::BinaryOp;
             link = static_cast<const BinaryOpExpr*>(link)->left.get())
            chain.push_back(static_cast<const BinaryOpExpr*>(link));
        resolve_expr(*chain.back()->left);
        for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
            const BinaryOpExpr& e = **link;
            resolve_expr(*e.right);
            bool numeric = (is_arithmetic_operator(e.op) || is_comparison_operator(e.op)) &&
                           is_numeric_candidate(*e.left) && is_numeric_candidate(*e.right);
            // Only arithmetic can stand inside other arithmetic.
            flags = numeric && is_arithmetic_operator(e.op) ? uint32_t(kNumeric) : 0u;
            if (numeric) flags |= kNumericRule;
            if (numeric && fast && is_comparison_operator(e.op)) flags |= kNumericTruth;
            chosen = numeric && fast ? handler(&binary_numeric) : binary_handler_for(e, fast);
            if (&e != &expr) settle(e, flags, chosen);
        }
        break;
    }
    case ExprKind::UnaryOp: {
        auto& e = static_cast<const UnaryOpExpr&>(expr);
        resolve_expr(*e.operand);
        if (e.op == TokenKind::Minus && is_numeric_candidate(*e.operand)) flags = kNumeric;
        chosen = handler(&unary_general);
        break;
    }
    case ExprKind::Call: {
        auto& e = static_cast<const CallExpr&>(expr);
        for (const ExprPtr& arg : e.args)
            resolve_expr(*arg);
        const BuiltinEntry* builtin = e.qualified ? nullptr : find_builtin(e.name);
        // A dotted call keeps the row of the native function it names, if
        // any, for when its module turns out to be imported.
        e.bound = e.qualified ? find_module_function(e.name).entry : builtin;
        // sqrt(x), abs(x), floor(x): a rule on one number.
        if (builtin && builtin->number_rule && e.args.size() == 1 &&
            is_numeric_candidate(*e.args[0]))
            flags = kNumeric;
        chosen = handler(&call_general);
        if (fast && !extra_debug && !e.qualified) {
            if (builtin) {
                switch (e.args.size()) {
#define DREVEL_ARITY_CASE(N)                                                                       \
    case N: chosen = handler(&call_builtin<N>); break;
                    DREVEL_BUILTIN_CALL_ARITIES(DREVEL_ARITY_CASE)
#undef DREVEL_ARITY_CASE
                default: chosen = handler(&call_builtin_any); break;
                }
            } else {
                switch (e.args.size()) {
#define DREVEL_ARITY_CASE(N)                                                                       \
    case N: chosen = handler(&call_user<N>); break;
                    DREVEL_USER_CALL_ARITIES(DREVEL_ARITY_CASE)
#undef DREVEL_ARITY_CASE
                default: break;
                }
            }
        }
        break;
    }
    case ExprKind::Array:
        for (const ExprPtr& element : static_cast<const ArrayExpr&>(expr).elements)
            resolve_expr(*element);
        chosen = handler(&array_literal);
        break;
    case ExprKind::Dict: {
        auto& e = static_cast<const DictExpr&>(expr);
        for (const auto& entry : e.entries)
            resolve_expr(*entry.second);
        if (!e.keys.get()) {
            e.keys.set(new std::vector<DictKey>(intern_keys(e.entries)),
                       [](void* p) { delete static_cast<std::vector<DictKey>*>(p); });
        }
        chosen = handler(&dict_literal);
        break;
    }
    case ExprKind::Index: {
        auto& e = static_cast<const IndexExpr&>(expr);
        resolve_expr(*e.object);
        resolve_expr(*e.index);
        // d["k"], d.k, a[0], a[j], a[i + 1] and a[(r + 1) % n] on a name, or
        // on such an element (grid[r][c]), read a stored value and run no code.
        bool stored_object = e.object->kind == ExprKind::Identifier ||
                             (e.object->kind == ExprKind::Index && is_numeric_candidate(*e.object));
        if (stored_object && (e.index->kind == ExprKind::String || is_numeric_candidate(*e.index)))
            flags = kNumeric;
        chosen = flags && fast ? handler(&index_numeric) : handler(&index_general);
        break;
    }
    case ExprKind::Range: {
        auto& e = static_cast<const RangeExpr&>(expr);
        resolve_expr(*e.start);
        resolve_expr(*e.end);
        chosen = handler(&range_general);
        break;
    }
    }
    settle(expr, flags, chosen);
}

void Interpreter::resolve_stmt(const Stmt& stmt) {
    const bool fast = fast_paths_;
    NodeHandler chosen = nullptr;
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: {
        auto& s = static_cast<const AssignStmt&>(stmt);
        resolve_expr(*s.value);
        const Expr& value = *s.value;
        uint32_t flags = 0;
        if ((value.kind == ExprKind::BinaryOp || value.kind == ExprKind::Call) &&
            is_numeric_candidate(value))
            flags |= kNumericValue;
        if (is_numeric_candidate(value)) flags |= kNumericOperand;
        s.flags = flags;
        s.bound = releasing_operation(s);
        if (stmt.kind == StmtKind::CompoundAssign) {
            chosen = fast ? handler(&compound_numeric) : handler(&compound_general);
            if (fast && (flags & kNumericOperand)) {
                switch (s.binary_op) {
#define DREVEL_COMPOUND_CASE(OP)                                                                   \
    case TokenKind::OP: chosen = handler(&compound_number<TokenKind::OP>); break;
                    DREVEL_COMPOUND_OPERATORS(DREVEL_COMPOUND_CASE)
#undef DREVEL_COMPOUND_CASE
                default: break;
                }
            }
        } else if (const Expr* pushed = fast && !extra_debug ? pushed_onto_itself(s) : nullptr;
                   pushed &&
                   (pushed->kind == ExprKind::Identifier || is_numeric_candidate(*pushed))) {
            chosen = handler(&assign_push);
        } else {
            chosen = fast && (flags & kNumericValue) ? handler(&assign_numeric)
                                                     : handler(&assign_general);
        }
        break;
    }
    case StmtKind::Function: {
        auto& s = static_cast<const FunctionStmt&>(stmt);
        resolve_block(s.function->body);
        if (!s.value.get()) {
            // One function value per definition; each run of the statement
            // binds another reference to it.
            s.value.set(new Value(Value::function(new FunctionBody(s.function))),
                        [](void* p) { delete static_cast<Value*>(p); });
        }
        chosen = handler(&function_definition);
        break;
    }
    case StmtKind::If: {
        auto& s = static_cast<const IfStmt&>(stmt);
        resolve_expr(*s.condition);
        resolve_block(s.then_body);
        if (s.else_body) resolve_block(*s.else_body);
        chosen = handler(&if_statement);
        break;
    }
    case StmtKind::While: {
        auto& s = static_cast<const WhileStmt&>(stmt);
        resolve_expr(*s.condition);
        resolve_block(s.body);
        chosen = handler(&while_statement);
        break;
    }
    case StmtKind::For: {
        auto& s = static_cast<const ForStmt&>(stmt);
        resolve_expr(*s.iter);
        resolve_block(s.body);
        chosen =
            fast && s.iter->kind == ExprKind::Range ? handler(&for_range) : handler(&for_general);
        break;
    }
    case StmtKind::Match: {
        auto& s = static_cast<const MatchStmt&>(stmt);
        resolve_expr(*s.expr);
        for (const MatchArm& arm : s.arms) {
            if (arm.pattern) resolve_expr(*arm.pattern);
            resolve_block(arm.body);
        }
        chosen = fast && !extra_debug && literal_patterns(s) ? handler(&match_literals)
                                                             : handler(&match_statement);
        break;
    }
    case StmtKind::Try: {
        auto& s = static_cast<const TryStmt&>(stmt);
        resolve_block(s.body);
        resolve_block(s.catch_body);
        chosen = handler(&try_statement);
        break;
    }
    case StmtKind::Return: {
        auto& s = static_cast<const ReturnStmt&>(stmt);
        if (s.value) resolve_expr(*s.value);
        chosen = handler(&return_statement);
        if (fast && !extra_debug && s.value && is_literal(*s.value)) {
            // A literal evaluates to the same value every time: made once.
            if (!s.literal.get()) {
                s.literal.set(new Value(evaluate(*s.value)),
                              [](void* p) { delete static_cast<Value*>(p); });
            }
            chosen = handler(&return_literal);
        }
        break;
    }
    case StmtKind::Break: chosen = handler(&break_statement); break;
    case StmtKind::Continue: chosen = handler(&continue_statement); break;
    case StmtKind::Global: chosen = handler(&global_statement); break;
    case StmtKind::Use: chosen = handler(&use_statement); break;
    case StmtKind::Expr:
        resolve_expr(*static_cast<const ExprStmt&>(stmt).expr);
        chosen = handler(&expression_statement);
        break;
    }
    stmt.handler = chosen;
}

} // namespace drevel
