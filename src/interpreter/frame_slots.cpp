// Frame slots: which bodies keep their names to themselves, how their nodes
// name the slots, and the call that runs such a body.
#include "interpreter/frame_slots.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "interpreter/builtins/registry.h"
#include "interpreter/interpreter.h"
#include "parser/tree_walk.h"

namespace drevel {

namespace {

// Whether evaluating the expression itself (not its operands) may run script
// code: a call that is not a builtin, or one of a native function that calls
// back. A dotted call reaches a script module's function unless it names a
// native function, whose row resolving found.
bool may_run_script(const Expr& expr) {
    if (expr.kind != ExprKind::Call) return false;
    auto* row = static_cast<const BuiltinEntry*>(expr.bound);
    return !row || row->runs_script;
}

// Every statement of a body and of the blocks it runs, not those of the
// functions it defines (they run in calls of their own); each statement
// before the ones it holds.
template <class Visit> void for_each_statement(const Block& body, Visit&& visit) {
    std::vector<const Block*> pending{&body};
    while (!pending.empty()) {
        const Block& block = *pending.back();
        pending.pop_back();
        for (const StmtPtr& stmt : block) {
            visit(*stmt);
            for_each_child(
                *stmt, [](const Expr&) {}, [&](const Block& inner) { pending.push_back(&inner); },
                [](const FunctionStmt&) {});
        }
    }
}

template <class Visit> void for_each_statement_expression(const Stmt& stmt, Visit&& visit) {
    for_each_child(
        stmt, [&](const Expr& root) { for_each_expression(root, visit); }, [](const Block&) {},
        [](const FunctionStmt&) {});
}

// The real names of a body's frame, parameters first, when the body runs
// no other script code; empty when it may run script code, binds more names
// than a frame holds, or names a parameter twice.
std::vector<Symbol> names_kept_to_itself(const FunctionBody& function) {
    std::vector<Symbol> names;
    auto add = [&](Symbol name) {
        if (std::find(names.begin(), names.end(), name) != names.end()) return false;
        names.push_back(name);
        return true;
    };
    for (Symbol param : function.param_symbols)
        if (!add(param)) return {};
    bool runs_script = false;
    for_each_statement(function.body, [&](const Stmt& stmt) {
        if (stmt.kind == StmtKind::Use || stmt.kind == StmtKind::Global) runs_script = true;
        if (const Symbol* name = bound_symbol(stmt)) add(*name);
        for_each_statement_expression(stmt, [&](const Expr& expr) {
            runs_script = runs_script || may_run_script(expr);
            return !runs_script;
        });
    });
    if (runs_script || names.size() > kMaxFrameNames) return {};
    return names;
}

} // namespace

Symbol first_frame_name() {
    // Interned in a row once, so the cells of a frame lie side by side.
    static const Symbol first = [] {
        Symbol first = intern("frame 0");
        for (uint32_t k = 1; k < kMaxFrameNames; ++k)
            if (intern("frame " + std::to_string(k)) != first + k)
                throw std::logic_error("frame names interned apart");
        return first;
    }();
    return first;
}

const Symbol* bound_symbol(const Stmt& stmt) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: return &static_cast<const AssignStmt&>(stmt).symbol;
    case StmtKind::Function: return &static_cast<const FunctionStmt&>(stmt).symbol;
    case StmtKind::For: return &static_cast<const ForStmt&>(stmt).symbol;
    case StmtKind::Try: return &static_cast<const TryStmt&>(stmt).symbol;
    case StmtKind::If:
    case StmtKind::While:
    case StmtKind::Match:
    case StmtKind::Return:
    case StmtKind::Break:
    case StmtKind::Continue:
    case StmtKind::Global: // a body with one gets no frame
    case StmtKind::Use:    // the same
    case StmtKind::Expr: return nullptr;
    }
    return nullptr;
}

void lay_out_frame(FunctionBody& function, bool allowed) {
    function.frame_of = allowed ? names_kept_to_itself(function) : std::vector<Symbol>{};
    function.frame_size = uint32_t(function.frame_of.size());
    function.globals_stamp = 0;
    if (function.frame_of.empty()) return; // resolving gave the nodes their own names
    const std::vector<Symbol>& names = function.frame_of;
    const Symbol first = first_frame_name();
    auto frame_name = [&](Symbol name) {
        auto found = std::find(names.begin(), names.end(), name);
        return found == names.end() ? name : first + Symbol(found - names.begin());
    };
    for_each_statement(function.body, [&](const Stmt& stmt) {
        if (const Symbol* name = bound_symbol(stmt)) set_bound_name(stmt, frame_name(*name));
        for_each_statement_expression(stmt, [&](const Expr& expr) {
            if (expr.kind == ExprKind::Identifier) {
                auto& identifier = static_cast<const IdentifierExpr&>(expr);
                set_read_name(identifier, frame_name(identifier.symbol));
            }
            return true;
        });
    });
}

// Gives the frame cells the body's names: marked as frame cells, as
// declared global where the names are, and standing for them when read
// unbound. Done again when another body ran in them or this interpreter
// declared a global since.
void Interpreter::set_up_frame_cells(const FunctionBody& function) {
    slot(first_frame_ + kMaxFrameNames - 1); // the cells exist
    Slot* cells = slots_.data() + first_frame_;
    for (uint32_t k = 0; k < function.frame_size; ++k) {
        Symbol name = function.frame_of[k];
        cells[k].frame = true;
        cells[k].declared_global = name < slot_count_ && slots_[name].declared_global;
    }
    frame_owner_ = &function;
    frame_real_names_ = function.frame_of.data();
    function.globals_stamp = globals_stamp_;
}

// A call of a body with a frame: the arguments go into the empty cells of
// the first frame names, the body runs, and the cells are emptied again. No
// binding is hidden or given back, and as the body calls nothing, no stack
// is left to give back (its caller does that as the chain unwinds).
Value Interpreter::run_in_frame(const FunctionBody& function, Value* args, size_t count) {
    if (frame_owner_ != &function || function.globals_stamp != globals_stamp_) [[unlikely]]
        set_up_frame_cells(function);
    const Symbol first = first_frame_;
    const uint32_t size = function.frame_size;
    ++depth_; // the call's scope, in which it binds nothing but its cells
    const uint32_t bound = uint32_t(std::min(count, size_t(function.arity)));
    Slot* cells = slots_.data() + first;
    for (uint32_t i = 0; i < bound; ++i) {
        if (cells[i].declared_global) [[unlikely]] {
            bind_variable(first + i, std::move(args[i]));
            continue;
        }
        cells[i].local.adopt(args[i].words());
        args[i].forget();
        cells[i].local_depth = depth_;
    }
    execute_block(function.body);
    Value result = (pending_ & kReturn) ? take_return_value() : Value();
    cells = slots_.data() + first; // the body may have grown the cells
    for (uint32_t k = 0; k < size; ++k) {
        if (cells[k].local_depth) {
            cells[k].local = Value();
            cells[k].local_depth = 0;
        }
    }
    --depth_;
    return result;
}

} // namespace drevel
