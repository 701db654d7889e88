#include "interpreter/interpreter.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "interpreter/failure.h"
#include "interpreter/log.h"

namespace drevel {

thread_local constinit const char* stack_floor = nullptr;
thread_local constinit const char* stack_to_give_back = nullptr;

namespace {

// Kept free below the floor for builtins, the C library and the graphics
// and network code they call.
constexpr size_t kStackReserve = size_t(256) << 10;
// The stack a script may use: the deepest chain of ordinary calls.
constexpr size_t kStackBudget = kMaxCallDepth * kStackPerOrdinaryCall;
// How far the stack unwinds between two give-backs, and what is left below
// the caller's frame for the calls it still makes.
constexpr uintptr_t kGiveBackStep = uintptr_t(16) << 20;
constexpr uintptr_t kGiveBackMargin = uintptr_t(64) << 10;

thread_local constinit const char* stack_low = nullptr;

const char* find_stack_floor() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return nullptr;
    void* low = nullptr;
    size_t size = 0;
    int got = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    if (got != 0 || low == nullptr) return nullptr;
    stack_low = static_cast<const char*>(low);
    uintptr_t floor = uintptr_t(low) + std::min(kStackReserve, size / 2);
    uintptr_t here = stack_pointer();
    if (here > floor + kStackBudget) floor = here - kStackBudget;
    return reinterpret_cast<const char*>(floor);
}

uintptr_t page_down(uintptr_t address) {
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    return address & ~(page - 1);
}

} // namespace

Value depth_exceeded() {
    if (stack_low) stack_to_give_back = stack_low;
    return fail("Maximum call depth exceeded");
}

void give_back_stack(bool calls_open) {
    uintptr_t from = page_down(uintptr_t(stack_to_give_back));
    uintptr_t to = page_down(stack_pointer() - kGiveBackMargin);
    if (calls_open && to < from + kGiveBackStep) return;
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    stack_to_give_back = calls_open ? reinterpret_cast<const char*>(to) : nullptr;
}

Interpreter::Interpreter() {
    if (stack_floor == nullptr) stack_floor = find_stack_floor();
    grow_slots();
}

Interpreter::~Interpreter() {
    // Bindings still hidden by scopes a failure left open.
    for (uint32_t i = 0; i < hidden_count_; ++i)
        Value::from_words(hidden_[i].value);
}

Value Interpreter::get_variable(Symbol name) const {
    const Value* v = find(name);
    return v ? *v : Value();
}

Value Interpreter::get_variable(std::string_view name) const {
    size_t dot = name.find('.');
    if (dot == std::string_view::npos) return get_variable(intern(name));
    std::string module(name.substr(0, dot));
    std::string member(name.substr(dot + 1));
    auto it = modules_.find(module);
    if (it == modules_.end())
        return fail("Module '" + module + "' is not imported. Use 'use " + module +
                    ";' to import it");
    auto export_it = it->second->find(member);
    if (export_it != it->second->end()) return export_it->second;
    return fail("Module '" + module + "' has no export named '" + member + "'");
}

bool Interpreter::variable_exists(Symbol name) const {
    return find(name) != nullptr;
}

void Interpreter::bind_variable(Symbol name, Value value) {
    Slot& s = slot(name);
    if (s.declared_global || depth_ == 0) {
        s.global = std::move(value);
        s.has_global = true;
        return;
    }
    if (s.local_depth == depth_) {
        s.local = std::move(value);
        return;
    }
    bind_local(s, name, value);
}

void Interpreter::declare_global(Symbol name) {
    slot(name).declared_global = true;
}

ExportMap Interpreter::globals() const {
    ExportMap out;
    for (Symbol s = 0; s < slots_.size(); ++s) {
        if (slots_[s].has_global) out.emplace(symbol_name(s), slots_[s].global);
    }
    return out;
}

} // namespace drevel
