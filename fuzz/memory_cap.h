// A ceiling on the heap of a fuzzed program. A tiny script can ask for a
// great deal of memory legitimately (a range of a hundred million elements,
// a string doubled in a loop); such a script is not a defect. Every
// operator new here counts the live bytes and throws std::bad_alloc beyond
// the ceiling (or beyond the work ceiling), which the harness catches and treats as an
// uninteresting input. malloc and free stay those of AddressSanitizer, so its checks still see
// every block.
#pragma once

#include <cstddef>
#include <new>

namespace fuzz_memory {

// Live bytes allowed to operator new.
inline constexpr size_t kCeiling = size_t(256) << 20;
// Bytes one input may allocate in all. Copying a large value over and over
// (a 100 MB text concatenated in every iteration of a loop) is slow without
// being wrong; this bounds that work well below the time-out.
inline constexpr size_t kWorkCeiling = size_t(8) << 30;

// Starts counting the allocations of a new input.
void begin_input();

// Live bytes right now.
size_t live_bytes();

} // namespace fuzz_memory
