// The state of one running program and the walk over its syntax tree: its
// variables (variables.h), modules, pending signals, and the handlers that
// run each node, grouped by node family (one file each: arithmetic.cpp,
// comparison.cpp, names.cpp, calls.cpp, elements.cpp, control.cpp,
// literals.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interpreter/frame_slots.h"
#include "interpreter/function_body.h"
#include "interpreter/interrupt.h"
#include "interpreter/log.h"
#include "interpreter/native_context.h"
#include "interpreter/node_flags.h"
#include "interpreter/operator_rules.h"
#include "interpreter/stack_guard.h"
#include "interpreter/value.h"
#include "interpreter/variables.h"
#include "parser/ast.h"

namespace drevel {

// A module's exports: its top-level names and their values. Shared between
// the cache and the places that bound them; never changed once built.
using ExportMap = std::unordered_map<std::string, Value>;
using Exports = std::shared_ptr<const ExportMap>;

// Process-wide; cleared by the fuzzing harness so that scripts cannot reach
// the file system or the network (the files and http modules then fail).
extern bool native_io_enabled;

// Process-wide; false makes every node take the general rule (set from
// DREVEL_NO_FAST_PATHS at start-up), so the two can be compared.
extern bool fast_paths_enabled;

// An Error value ends the evaluation that read it: it is the result, passed
// on without a new report.
#define DREVEL_TRY(value)                                                                          \
    do {                                                                                           \
        if ((value).is_error()) return (value);                                                    \
    } while (0)

class Interpreter : public Environment {
  public:
    Interpreter();
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // ---- environment (variables.h) ----
    using Environment::get_variable;
    // Also reads module exports by a dotted name (m.x), reporting the two
    // module messages.
    Value get_variable(std::string_view name) const;
    // The top-level names and their values.
    ExportMap globals() const;

    // ---- execution ----
    // Attaches to every node of a freshly parsed tree what evaluating it
    // needs (resolve.cpp); a tree runs only after this.
    void resolve(const Block& program);
    // Each node runs by the handler its resolving chose.
    void execute_statement(const Stmt& stmt) {
        reinterpret_cast<StmtHandler>(stmt.handler)(*this, stmt);
    }
    // One statement of a program's top level (the pipeline, the REPL, a
    // module). Running a tree that was never resolved is a broken invariant:
    // refused here, once per top-level statement, instead of at every node.
    void run_top_level(const Stmt& stmt) {
        if (!stmt.handler) [[unlikely]]
            throw std::logic_error("a statement ran before its tree was resolved");
        execute_statement(stmt);
    }
    void execute_block(const Block& block);
    Value evaluate(const Expr& expr) {
        return reinterpret_cast<ExprHandler>(expr.handler)(*this, expr);
    }
    Value call_function(const CallExpr& call);
    // Runs a function value, holding it while it runs.
    Value call_user_function(const Value& function, Value* args, size_t count);
    // A function value called from native code (a request handler, a
    // callback) as a call in the script would call it: a Function with its
    // argument count checked, depth limit, interrupts and failures (reported
    // here), a BuiltinFunction through its module. A break or continue left
    // by the body ends with the call.
    Value call_function(const Value& function, Value* args, size_t count);
    Value binary_operation(Value left, TokenKind op, const Value& right);
    Exports import_module(const std::string& name);

    // ---- pending signals ----
    bool has_return_value() const { return pending_ & kReturn; }
    Value take_return_value() {
        pending_ &= uint8_t(~kReturn);
        return std::move(return_value_);
    }

    // For fuzzing: after this many loop iterations and calls the program is
    // wound down, as if every running function returned an Error value.
    void set_step_budget(uint64_t steps) { steps_left_ = steps; }

  private:
    using ExprHandler = Value (*)(Interpreter&, const Expr&);
    using StmtHandler = void (*)(Interpreter&, const Stmt&);
    // The walk (resolve.cpp) resolves a node's children, then asks the
    // node's family to choose its handler.
    void resolve_block(const Block& block);
    void resolve_stmt(const Stmt& stmt);
    void resolve_expr(const Expr& expr);
    void choose(const Expr& expr);
    NodeHandler choose(const Stmt& stmt);
    // Each family's choice (in its own file): an expression's is settled in
    // the node, a statement's returned.
    void choose_literal(const Expr& expr);
    void choose_name(const Expr& expr);
    NodeHandler choose_name(const Stmt& stmt);
    void choose_arithmetic(const Expr& expr);
    void choose_comparison(const Expr& expr);
    void choose_call(const Expr& expr);
    NodeHandler choose_call(const Stmt& stmt);
    void choose_element(const Expr& expr);
    NodeHandler choose_control(const Stmt& stmt);
    static bool is_numeric_candidate(const Expr& expr) { return expr.flags & kNumeric; }
    template <typename Handler> static NodeHandler handler(Handler h) {
        return reinterpret_cast<NodeHandler>(h);
    }
    using NumberHandler = Numeric (*)(const Interpreter&, const Expr&);
    static NodeHandler number_handler(NumberHandler h) { return handler(h); }
    // Records an expression's choice: its flags, its handler, its number
    // handler (which gives up at once unless the flags say the node may be a
    // number) and its float handler.
    static void settle(const Expr& node, uint32_t flags, NodeHandler chosen,
                       NodeHandler number = nullptr, NodeHandler floating = nullptr) {
        node.flags = flags;
        node.handler = chosen;
        node.number_handler =
            number && (flags & (kNumeric | kNumericRule)) ? number : number_handler(&number_none);
        node.float_handler = floating;
    }

    // ---- the handlers, by family: one general rule per node kind and the
    // specialised ones that hand over to it ----

    // Reading operands, for every family.
    // A string literal's value or a defined variable's binding, read without
    // a copy; nullptr for anything that has to be evaluated.
    const Value* in_place(const Expr& expr) const {
        if (expr.kind == ExprKind::Identifier)
            return find(read_name(static_cast<const IdentifierExpr&>(expr)));
        if (expr.kind == ExprKind::String)
            return &literal_text(static_cast<const StringExpr&>(expr)).value;
        return nullptr;
    }
    // The one way an operand is read: in place when it is a literal or a
    // bound name and nothing evaluated between this read and its use can
    // rebind it, otherwise evaluated into holder. An Error operand is read
    // like any other value; the caller ends with it (DREVEL_TRY).
    const Value& operand(const Expr& expr, Value& holder, bool may_read_in_place) {
        if (may_read_in_place && fast_paths_) {
            if (const Value* v = in_place(expr)) return *v;
        }
        holder = evaluate(expr);
        return holder;
    }
    // Arithmetic in machine numbers (arithmetic.cpp), by the number handler
    // resolving gave the node; None means the general path must evaluate the
    // expression.
    Numeric numeric_value(const Expr& expr) const {
        return reinterpret_cast<NumberHandler>(expr.number_handler)(*this, expr);
    }
    // An operand's number: names and integer literals, the common leaves,
    // are read here without a call.
    [[gnu::always_inline]] Numeric operand_number(const Expr& expr) const {
        if (expr.kind == ExprKind::Identifier) {
            const Value* v = find(read_name(static_cast<const IdentifierExpr&>(expr)));
            return v ? numeric_of(*v) : Numeric{};
        }
        if (expr.kind == ExprKind::Number)
            return Numeric::integer(static_cast<const NumberExpr&>(expr).value);
        return numeric_value(expr);
    }
    static Numeric number_none(const Interpreter&, const Expr&);
    static bool runs_no_code(const Expr& expr) {
        static_assert(
            ExprKind::Number < ExprKind::Identifier && ExprKind::Float < ExprKind::Identifier &&
                ExprKind::String < ExprKind::Identifier &&
                ExprKind::Boolean < ExprKind::Identifier &&
                ExprKind::Identifier < ExprKind::BinaryOp &&
                ExprKind::BinaryOp < ExprKind::UnaryOp && ExprKind::UnaryOp < ExprKind::Call,
            "the literal and name kinds come first");
        return expr.kind <= ExprKind::Identifier; // literals and names
    }
    const bool fast_paths_ = fast_paths_enabled;

    // Literals (literals.cpp).
    static Value number_literal(Interpreter&, const Expr& e);
    static Value float_literal(Interpreter&, const Expr& e);
    static Value boolean_literal(Interpreter&, const Expr& e);
    static Value string_literal(Interpreter&, const Expr& e);
    static Numeric number_integer(const Interpreter&, const Expr& e);
    static Numeric number_float(const Interpreter&, const Expr& e);

    // Arithmetic (arithmetic.cpp).
    static Value binary_general(Interpreter& in, const Expr& e);
    static Value binary_numeric(Interpreter& in, const Expr& e);
    template <TokenKind Op> static Value binary_values(Interpreter& in, const Expr& e);
    template <TokenKind Op> static Value binary_left_value(Interpreter& in, const Expr& e);
    // The handler of an operation whose operands are not both numbers
    // resolving can prove: by which of them runs code.
    template <TokenKind Op> static NodeHandler values_handler(const BinaryOpExpr& e);
    static Value unary_general(Interpreter& in, const Expr& e);
    static Numeric number_negated(const Interpreter& in, const Expr& e);
    template <TokenKind Op> static Numeric number_binary(const Interpreter& in, const Expr& e);
    // The same for arithmetic that keeps giving Floats, kept in
    // floating-point registers from leaf to root. A float handler gives the
    // node's Float exactly when the number handler would give that Float, and
    // NaN otherwise (another kind, a failing row, or a NaN result), after
    // which the number handler runs: the subtree runs no code, so trying
    // twice is unseen.
    using FloatHandler = double (*)(const Interpreter&, const Expr&);
    template <TokenKind Op> static double float_binary(const Interpreter& in, const Expr& e);
    // An operand as a double; false when it was a Number, which counts only
    // beside a Float.
    bool float_operand(const Expr& expr, double& out) const;
    [[gnu::noinline, gnu::cold]] static bool number_operand(const Interpreter& in, const Expr& expr,
                                                            double& out);
    // The general rule of a binary operation. After the operation's try in
    // machine numbers failed (numbers_failed), its inner operations of the
    // same subtree go this way at once rather than try again.
    Value evaluate_binary(const BinaryOpExpr& expr, bool numbers_failed = false);
    const Value& failed_numbers_operand(const Expr& expr, Value& holder);
    // The operator table applied to operands already evaluated; a target
    // released by the assignment around the operation is let go first.
    Value finish_binary(const BinaryOpExpr& expr, Value left, const Value& right);

    // Comparisons (comparison.cpp).
    template <bool Equal> static Value text_equality(Interpreter& in, const Expr& e);

    // Names (names.cpp).
    static Value identifier_read(Interpreter& in, const Expr& e);
    [[gnu::cold, gnu::noinline]] Value read_unbound(const IdentifierExpr& expr) const;
    static Numeric number_name(const Interpreter& in, const Expr& e);
    static void assign_general(Interpreter& in, const Stmt& s);
    static void assign_numeric(Interpreter& in, const Stmt& s);
    static void assign_stored(Interpreter& in, const Stmt& s);
    static void assign_push(Interpreter& in, const Stmt& s);
    static void compound_general(Interpreter& in, const Stmt& s);
    static void compound_numeric(Interpreter& in, const Stmt& s);
    template <TokenKind Op> static void compound_number(Interpreter& in, const Stmt& s);
    static void global_statement(Interpreter& in, const Stmt& s);
    // Whether a statement that ran code may now bind its result: an input
    // Ctrl-C interrupted completes no binding, whatever value reached the
    // statement, so every variable keeps the value it had (a try does not
    // catch the interruption either). Statements that run no code bind as
    // usual.
    static bool completes_binding() { return !interrupt_requested; }
    void execute_assign(const AssignStmt& stmt);
    void finish_compound(const AssignStmt& stmt, Value current, Value operand);
    // Releases the target's old binding when the operation marked by its
    // assignment is about to run, so the operand's buffer is not shared.
    void release_pending_target(const Expr& operation) {
        if (releasing_operation_ == &operation) {
            releasing_operation_ = nullptr;
            if (Value* old = binding_to_overwrite(releasing_symbol_)) *old = Value();
        }
    }

    // Calls (calls.cpp).
    static Value call_general(Interpreter& in, const Expr& e);
    static Value call_builtin_any(Interpreter& in, const Expr& e);
    template <size_t N> static Value call_builtin(Interpreter& in, const Expr& e);
    template <size_t N> static Value call_user(Interpreter& in, const Expr& e);
    static Numeric number_rule(const Interpreter& in, const Expr& e);
    static void function_definition(Interpreter& in, const Stmt& s);
    Value call_qualified(const CallExpr& call, Value* args, size_t count);
    Value call_plain(const CallExpr& call, Value* args, size_t count);
    Value run_function(const FunctionBody& body, Value* args, size_t count);
    // The callee of a plain call by a user function's name, when it takes
    // `count` parameters and nothing needs tracing; nullptr otherwise.
    const Value* user_function(const CallExpr& call, size_t count) const {
        const Value* found = find(call.symbol);
        if (found && found->kind() == ValueKind::Function &&
            found->function_body().arity == count && !extra_debug)
            return found;
        return nullptr;
    }
    Value call_builtin_value(const std::string& qualified, Value* args, size_t count);

    // Frame cells (frame_slots.cpp).
    void set_up_frame_cells(const FunctionBody& function);
    const FunctionBody* frame_owner_ = nullptr; // whose names the frame cells were set up for
    Value run_in_frame(const FunctionBody& function, Value* args, size_t count);

    // Members and elements (elements.cpp).
    static Value array_literal(Interpreter& in, const Expr& e);
    static Value dict_literal(Interpreter& in, const Expr& e);
    static Value index_general(Interpreter& in, const Expr& e);
    static Value index_numeric(Interpreter& in, const Expr& e);
    static Value range_general(Interpreter& in, const Expr& e);
    static Numeric number_element(const Interpreter& in, const Expr& e);
    Value evaluate_index(const IndexExpr& expr);
    // The element a[j] or d["k"] names, when the name holds an array and j
    // is a Number in range, or a dict holding the key; nullptr otherwise.
    const Value* stored_element(const IndexExpr& index) const;
    [[gnu::noinline]] const Value* nested_element(const IndexExpr& index) const;
    // The element of an object already found that stored_element reads.
    const Value* element_in(const Value* object, const IndexExpr& index) const;
    [[gnu::noinline]] const Value* entry_by_name(const Value& dict,
                                                 const IdentifierExpr& name) const;
    // Evaluates and checks a range's bounds; an Error value (already
    // reported) when they are unusable.
    Value range_bounds(const RangeExpr& expr, int64_t& start, int64_t& end);
    Value index_value(const Value& object, const Value& index);

    // Control (control.cpp).
    static void if_statement(Interpreter& in, const Stmt& s);
    static void while_statement(Interpreter& in, const Stmt& s);
    static void for_general(Interpreter& in, const Stmt& s);
    static void for_range(Interpreter& in, const Stmt& s);
    static void match_statement(Interpreter& in, const Stmt& s);
    static void match_literals(Interpreter& in, const Stmt& s);
    static void try_statement(Interpreter& in, const Stmt& s);
    static void return_statement(Interpreter& in, const Stmt& s);
    static void return_literal(Interpreter& in, const Stmt& s);
    static void break_statement(Interpreter& in, const Stmt& s);
    static void continue_statement(Interpreter& in, const Stmt& s);
    static void use_statement(Interpreter& in, const Stmt& s);
    static void expression_statement(Interpreter& in, const Stmt& s);
    void run_while(const WhileStmt& stmt);
    void run_for(const ForStmt& stmt);
    void run_for_range(const ForStmt& stmt, const RangeExpr& range);
    void run_match(const MatchStmt& stmt);
    void run_try(const TryStmt& stmt);
    void execute_use(const UseStmt& stmt);
    // The truth of an if or while condition: 1 or 0, or -1 with the Error
    // value in failure.
    int condition_truth(const Expr& expr, Value& failure);
    // The same for a comparison of numbers, without building a value; -1
    // when the operands are not both numbers and the general rule must run.
    [[gnu::always_inline]] int compared_truth(const Expr& expr) const {
        if (!(expr.flags & kNumericTruth)) return -1;
        auto& binary = static_cast<const BinaryOpExpr&>(expr);
        Numeric l = operand_number(*binary.left);
        if (l.kind == Numeric::None) return -1;
        Numeric r = operand_number(*binary.right);
        if (r.kind == Numeric::None) return -1;
        return int(comparison_row(binary.op, l, r).i);
    }

    std::unordered_map<std::string, Exports> modules_;
    std::unordered_map<std::string, Exports> module_cache_;

    Value return_value_;
    // The signals a statement leaves for the statements around it, in one
    // byte that is written and read whole.
    enum Pending : uint8_t { kReturn = 1, kBreak = 2, kContinue = 4 };
    uint8_t pending_ = 0;
    // One pass of a loop's body: false when a break or return ends the loop
    // (the loop clears its break afterwards); a continue ends only the pass.
    bool run_loop_pass(const Block& body) {
        execute_block(body);
        if (pending_ & (kReturn | kBreak)) return false;
        pending_ &= uint8_t(~kContinue);
        return true;
    }

    // Counts loop iterations and calls; true once the budget is spent or an
    // interrupt is pending, after leaving a pending Error return that unwinds
    // everything.
    bool out_of_steps() {
        if (steps_left_ > 0 && !interrupt_requested) [[likely]] {
            --steps_left_;
            return false;
        }
        return_value_ = Value::error(interrupt_requested ? "Interrupted" : "Step budget exhausted");
        pending_ |= kReturn;
        return true;
    }
    void charge_steps(uint64_t steps) {
        steps_left_ = steps_left_ > steps ? steps_left_ - steps : 0;
    }
    uint64_t steps_left_ = UINT64_MAX;

    // Marks, for as long as an assignment's value is evaluated, the operation
    // that may let the target's old binding go before it runs.
    const Expr* releasing_operation_ = nullptr;
    Symbol releasing_symbol_ = 0;
    class ReleasingTarget {
      public:
        ReleasingTarget(Interpreter& in, const AssignStmt& stmt) : in_(in) {
            in.releasing_operation_ = static_cast<const Expr*>(stmt.bound);
            in.releasing_symbol_ = bound_name(stmt);
        }
        ~ReleasingTarget() { in_.releasing_operation_ = nullptr; }
        ReleasingTarget(const ReleasingTarget&) = delete;
        ReleasingTarget& operator=(const ReleasingTarget&) = delete;

      private:
        Interpreter& in_;
    };

    // The per-module state of the native functions called from here.
    NativeContext natives_{this};
};

} // namespace drevel
