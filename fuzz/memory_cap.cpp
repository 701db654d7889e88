#include "memory_cap.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>

namespace fuzz_memory {

namespace {

// Atomic: libFuzzer's own threads allocate beside the input's thread.
std::atomic<size_t> live{0};
std::atomic<size_t> allocated{0}; // since begin_input

void* allocate(size_t size, size_t alignment, bool may_throw) {
    if (size == 0) size = 1;
    if (size > kCeiling || live.load(std::memory_order_relaxed) + size > kCeiling ||
        allocated.load(std::memory_order_relaxed) + size > kWorkCeiling) {
        if (may_throw) throw std::bad_alloc();
        return nullptr;
    }
    void* block =
        alignment <= alignof(std::max_align_t)
            ? std::malloc(size)
            : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (block == nullptr) {
        if (may_throw) throw std::bad_alloc();
        return nullptr;
    }
    live.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
    allocated.fetch_add(size, std::memory_order_relaxed);
    return block;
}

void release(void* block) noexcept {
    if (block == nullptr) return;
    live.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    std::free(block);
}

} // namespace

void begin_input() {
    allocated = 0;
}

size_t live_bytes() {
    return live;
}

} // namespace fuzz_memory

using fuzz_memory::allocate;
using fuzz_memory::release;

void* operator new(size_t n) {
    return allocate(n, 0, true);
}
void* operator new[](size_t n) {
    return allocate(n, 0, true);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return allocate(n, 0, false);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return allocate(n, 0, false);
}
void* operator new(size_t n, std::align_val_t a) {
    return allocate(n, size_t(a), true);
}
void* operator new[](size_t n, std::align_val_t a) {
    return allocate(n, size_t(a), true);
}
void* operator new(size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, size_t(a), false);
}
void* operator new[](size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, size_t(a), false);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, size_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
