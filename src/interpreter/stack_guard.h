// The guard against running out of native stack: how deep calls may nest,
// and how much stack a call may still take before it is refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interpreter/value.h"

namespace drevel {

// How deep user-function calls may nest before a call is refused.
// Process-wide; start-up lowers it when the evaluator's stack is smaller.
extern uint32_t max_call_depth;
inline constexpr uint32_t kMaxCallDepth = 200000;

// The lowest native stack address the evaluator may reach on this thread.
// A call is refused like a too deep one when the stack left is less than its
// body can take (its nesting depth times a bound per level), so no script's
// shape can overflow the stack. The floor also lies no further down than the
// deepest chain of ordinary calls the depth limit allows needs
// (kStackPerOrdinaryCall each), so a runaway recursion of a wide body is
// refused at about the memory a small body's takes, however large the
// thread's stack. Set by ensure_stack_floor when the thread's first
// interpreter is made.
extern thread_local constinit const char* stack_floor;
void ensure_stack_floor();
#if defined(__SANITIZE_ADDRESS__)
inline constexpr size_t kStackPerLevel = 8192; // frames carry red zones
inline constexpr size_t kStackPerOrdinaryCall = size_t(16) << 10;
#else
inline constexpr size_t kStackPerLevel = 1024;
// A call of a small body takes about 500 bytes, one of a body a few blocks
// deep under 1 KiB.
inline constexpr size_t kStackPerOrdinaryCall = size_t(2) << 10;
#endif
[[gnu::always_inline]] inline uintptr_t stack_pointer() {
#if defined(__x86_64__)
    // The stack pointer itself: asking for a frame address would make every
    // caller set up a frame.
    uintptr_t here;
    asm("mov %%rsp, %0" : "=r"(here));
    return here;
#else
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#endif
}
[[gnu::always_inline]] inline bool stack_runs_short(size_t need) {
    return stack_pointer() < reinterpret_cast<uintptr_t>(stack_floor) + need;
}
// Reports and returns the refusal of a too deep call or evaluation, and
// marks the stack the refused chain filled to be given back as it unwinds.
[[gnu::cold, gnu::noinline]] Value depth_exceeded();
// Where the stack is not yet given back after a refusal; null when nothing
// is left to give back.
extern thread_local constinit const char* stack_to_give_back;
// Gives the system the pages of the stack below the caller's frames that a
// refused chain of calls made resident, a step at a time as it unwinds, and
// all of them once no call is open.
[[gnu::cold, gnu::noinline]] void give_back_stack(bool calls_open);

} // namespace drevel
