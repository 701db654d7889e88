#include "interpreter/stack_guard.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "interpreter/failure.h"

namespace drevel {

uint32_t max_call_depth = kMaxCallDepth;
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

void ensure_stack_floor() {
    if (stack_floor == nullptr) stack_floor = find_stack_floor();
}

} // namespace drevel
