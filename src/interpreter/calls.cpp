// Calls and function definitions. A plain name calls a builtin first, then a
// user function held in a variable; a dotted name calls a native module's
// function or a script module's export. A call of a builtin, or of a user
// function with its parameter count, keeps its arguments on the native stack.
#include <new>

#include "interpreter/builtins/registry.h"
#include "interpreter/failure.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

// The argument counts of calls whose arguments live on the native stack:
// of builtins, and of user functions.
#define DREVEL_BUILTIN_CALL_ARITIES(X) X(0) X(1) X(2) X(3)
#define DREVEL_USER_CALL_ARITIES(X) X(0) X(1) X(2) X(3) X(4) X(5) X(6)

namespace drevel {

namespace {

// Argument values of one call; small calls need no heap allocation and
// construct only the values they hold.
class Arguments {
  public:
    explicit Arguments(size_t capacity)
        : values_(capacity <= kInline
                      ? reinterpret_cast<Value*>(inline_)
                      : static_cast<Value*>(::operator new(capacity * sizeof(Value)))),
          heap_(capacity > kInline) {}
    ~Arguments() {
        for (size_t i = 0; i < count_; ++i)
            values_[i].~Value();
        if (heap_) ::operator delete(values_);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    Value& add(Value value) { return *new (&values_[count_++]) Value(std::move(value)); }
    Value* data() { return values_; }
    size_t size() const { return count_; }

  private:
    static constexpr size_t kInline = 6;
    Value* values_;
    size_t count_ = 0;
    bool heap_;
    alignas(Value) unsigned char inline_[kInline * sizeof(Value)];
};

} // namespace

bool native_io_enabled = true;
bool fast_paths_enabled = true;

// ---- definitions ----

void Interpreter::function_definition(Interpreter& in, const Stmt& s) {
    auto& stmt = static_cast<const FunctionStmt&>(s);
    in.set_variable(bound_name(stmt), *static_cast<const Value*>(stmt.value.get()));
}

// ---- the general rule ----

Value Interpreter::call_general(Interpreter& in, const Expr& e) {
    return in.call_function(static_cast<const CallExpr&>(e));
}

// ---- specialised handlers ----

// A call bound to a builtin when the tree was resolved.
Value Interpreter::call_builtin_any(Interpreter& in, const Expr& e) {
    auto& call = static_cast<const CallExpr&>(e);
    Arguments arguments(call.args.size());
    for (const ExprPtr& arg : call.args) {
        Value& value = arguments.add(in.evaluate(*arg));
        if (value.is_error()) return std::move(value);
    }
    in.release_pending_target(call);
    return call_native(*static_cast<const BuiltinEntry*>(call.bound), arguments.data(),
                       arguments.size(), in.natives_);
}

// The N arguments of a plain call, evaluated in order into values on the
// native stack. An Error argument ends the call as its result.
template <size_t N> class StackArguments {
  public:
    StackArguments() = default;
    StackArguments(const StackArguments&) = delete;
    StackArguments& operator=(const StackArguments&) = delete;
    ~StackArguments() {
        if (filled_)
            for (size_t i = 0; i < N; ++i)
                data()[i].~Value();
    }
    // False, with the Error in `failure`, when an argument fails.
    bool fill(Interpreter& in, const CallExpr& call, Value& failure) {
        Value* args = data();
        for (size_t i = 0; i < N; ++i) {
            new (&args[i]) Value(in.evaluate(*call.args[i]));
            if (args[i].is_error()) [[unlikely]] {
                failure = std::move(args[i]);
                for (size_t j = 0; j <= i; ++j)
                    args[j].~Value();
                return false;
            }
        }
        filled_ = true;
        return true;
    }
    Value* data() { return reinterpret_cast<Value*>(storage_); }

  private:
    alignas(Value) unsigned char storage_[N ? N * sizeof(Value) : 1];
    bool filled_ = false;
};

// A builtin called with N arguments.
template <size_t N> Value Interpreter::call_builtin(Interpreter& in, const Expr& e) {
    auto& call = static_cast<const CallExpr&>(e);
    StackArguments<N> args;
    Value failure;
    if (!args.fill(in, call, failure)) return failure;
    in.release_pending_target(call);
    return call_native(*static_cast<const BuiltinEntry*>(call.bound), args.data(), N, in.natives_);
}

// A plain call with N arguments, moved into the callee's parameters.
// Anything but a user function taking N parameters goes the general way.
template <size_t N> Value Interpreter::call_user(Interpreter& in, const Expr& e) {
    auto& call = static_cast<const CallExpr&>(e);
    StackArguments<N> args;
    Value failure;
    if (!args.fill(in, call, failure)) return failure;
    if (const Value* found = in.user_function(call, N))
        return in.call_user_function(*found, args.data(), N);
    return in.call_plain(call, args.data(), N);
}

// A builtin's rule on one number. With -D the call goes the general way,
// which writes its trace lines.
Numeric Interpreter::number_rule(const Interpreter& in, const Expr& e) {
    if (extra_debug) return Numeric{};
    auto& call = static_cast<const CallExpr&>(e);
    Numeric argument = in.operand_number(*call.args[0]);
    if (argument.kind == Numeric::None) return argument;
    return static_cast<const BuiltinEntry*>(call.bound)->number_rule(argument);
}

// ---- the general rule, continued ----

Value Interpreter::call_function(const CallExpr& call) {
    if (extra_debug) trace_log("Calling function: " + call.name);
    Arguments arguments(call.args.size());
    for (const ExprPtr& arg : call.args) {
        Value& value = arguments.add(evaluate(*arg));
        if (value.is_error()) return std::move(value);
    }
    Value* args = arguments.data();
    if (call.qualified) return call_qualified(call, args, arguments.size());
    if (auto* builtin = static_cast<const BuiltinEntry*>(call.bound)) {
        release_pending_target(call);
        Value result = call_native(*builtin, args, arguments.size(), natives_);
        if (extra_debug) trace_log(call.name + " is a builtin");
        return result;
    }
    if (!extra_debug && fast_paths_) {
        // The common case, a user function called with its parameter count.
        const Value* found = find(call.symbol);
        if (found && found->kind() == ValueKind::Function &&
            found->function_body().arity == arguments.size())
            return call_user_function(*found, args, arguments.size());
    }
    return call_plain(call, args, arguments.size());
}

Value Interpreter::call_plain(const CallExpr& call, Value* args, size_t count) {
    if (extra_debug) trace_log(call.name + " is not a builtin, looking for user function");
    const Value* found = find(call.symbol);
    if (extra_debug) {
        trace_log("get_variable(" + call.name +
                  ") returned: " + debug_text(found ? *found : Value()));
    }
    if (found && found->kind() == ValueKind::Function) {
        size_t params = found->function_body().arity;
        if (extra_debug)
            trace_log("Found function with " + std::to_string(params) + " params, calling");
        if (params != count) {
            return fail("Function '" + call.name + "' expects " + std::to_string(params) +
                        " arguments but got " + std::to_string(count));
        }
        return call_user_function(*found, args, count);
    }
    if (found && found->kind() == ValueKind::BuiltinFunction) {
        std::string qualified(found->text());
        ModuleFunction native = find_module_function(qualified);
        if (native.entry && native.entry->changes_first) release_pending_target(call);
        return call_builtin_value(qualified, args, count);
    }
    return fail("Function '" + call.name + "' does not exist");
}

// A native-module function imported by item.
Value Interpreter::call_builtin_value(const std::string& qualified, Value* args, size_t count) {
    ModuleFunction native = find_module_function(qualified);
    if (!native.entry || (native.module->uses_io && !native_io_enabled)) return Value();
    return call_native(*native.entry, args, count, natives_);
}

Value Interpreter::call_qualified(const CallExpr& call, Value* args, size_t count) {
    const std::string& m = call.module_word;
    const std::string& f = call.function_word;
    auto it = modules_.find(m);
    if (it == modules_.end()) {
        return fail("Module '" + m + "' is not imported. Use 'use " + m + ";' to import it");
    }
    if (const NativeModule* native = find_native_module(m)) {
        if (native->uses_io && !native_io_enabled) return fail("Module '" + m + "' is unavailable");
        auto* row = static_cast<const BuiltinEntry*>(call.bound); // found when resolved
        if (!row) return fail(std::string(native->title) + " module has no function '" + f + "'");
        if (row->changes_first) release_pending_target(call);
        return call_native(*row, args, count, natives_);
    }
    const ExportMap& exports = *it->second;
    auto export_it = exports.find(f);
    if (export_it == exports.end() || export_it->second.kind() != ValueKind::Function) {
        return fail("Module '" + m + "' has no function '" + f + "'");
    }
    // Keep the exports alive while the function runs: the body may re-import.
    Exports holder = it->second;
    return call_user_function(export_it->second, args, count);
}

Value Interpreter::call_user_function(const Value& function, Value* args, size_t count) {
    // Held while it runs: the body may rebind the name it was found by.
    FunctionHold held(function.function_ref());
    return run_function(held.body(), args, count);
}

Value Interpreter::call_function(const Value& function, Value* args, size_t count) {
    if (function.kind() == ValueKind::BuiltinFunction)
        return call_builtin_value(std::string(function.text()), args, count);
    if (function.kind() != ValueKind::Function)
        return fail("Cannot call a " + std::string(type_name(function)));
    const size_t params = function.function_body().arity;
    if (params != count) {
        return fail("Function expects " + std::to_string(params) + " arguments but got " +
                    std::to_string(count));
    }
    Value held = function; // the callee may rebind whatever held it
    Value result = run_function(held.function_body(), args, count);
    // A break or continue the body left behind ends with the call.
    pending_ &= uint8_t(~(kBreak | kContinue));
    return result;
}

inline Value Interpreter::run_function(const FunctionBody& body, Value* args, size_t count) {
    if (depth_ >= max_call_depth || stack_runs_short(body.nesting * kStackPerLevel))
        return depth_exceeded();
    if (out_of_steps()) return take_return_value();
    if (body.frame_size) return run_in_frame(body, args, count);
    uint32_t scope = push_scope();
    size_t bound = std::min(count, size_t(body.arity));
    for (size_t i = 0; i < bound; ++i)
        bind_parameter(body.param_symbols[i], args[i]);
    execute_block(body.body);
    Value result = (pending_ & kReturn) ? take_return_value() : Value();
    pop_scope(scope);
    if (stack_to_give_back) [[unlikely]]
        give_back_stack(depth_ != 0);
    return result;
}

// ---- the choice ----

// A call of a builtin by its argument count; of anything else by its
// argument count, as a user function taking that many. sqrt(x), abs(x),
// floor(x) on a number may run in machine numbers.
void Interpreter::choose_call(const Expr& expr) {
    auto& e = static_cast<const CallExpr&>(expr);
    const BuiltinEntry* builtin = e.qualified ? nullptr : find_builtin(e.name);
    // A dotted call keeps the row of the native function it names, if any,
    // for when its module turns out to be imported.
    e.bound = e.qualified ? find_module_function(e.name).entry : builtin;
    uint32_t flags = 0;
    if (builtin && builtin->number_rule && e.args.size() == 1 && is_numeric_candidate(*e.args[0]))
        flags = kNumeric;
    NodeHandler chosen = handler(&call_general);
    if (fast_paths_ && !extra_debug && !e.qualified) {
        if (builtin) {
            switch (e.args.size()) {
#define DREVEL_ARITY_CHOICE(N)                                                                     \
    case N: chosen = handler(&call_builtin<N>); break;
                DREVEL_BUILTIN_CALL_ARITIES(DREVEL_ARITY_CHOICE)
#undef DREVEL_ARITY_CHOICE
            default: chosen = handler(&call_builtin_any); break;
            }
        } else {
            switch (e.args.size()) {
#define DREVEL_ARITY_CHOICE(N)                                                                     \
    case N: chosen = handler(&call_user<N>); break;
                DREVEL_USER_CALL_ARITIES(DREVEL_ARITY_CHOICE)
#undef DREVEL_ARITY_CHOICE
            default: break;
            }
        }
    }
    settle(expr, flags, chosen, number_handler(&number_rule));
}

// One function value per definition; each run of the statement binds
// another reference to it.
NodeHandler Interpreter::choose_call(const Stmt& stmt) {
    auto& s = static_cast<const FunctionStmt&>(stmt);
    if (!s.value.get()) {
        s.value.set(new Value(Value::function(new FunctionBody(s.function))),
                    [](void* p) { delete static_cast<Value*>(p); });
    }
    lay_out_frame(*static_cast<const Value*>(s.value.get())->function_ref(),
                  fast_paths_ && !extra_debug);
    return handler(&function_definition);
}

} // namespace drevel
