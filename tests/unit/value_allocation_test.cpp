// A value whose buffer cannot be allocated must not be left half-made: the
// exception passes through and nothing is released twice or through a null
// pointer. This binary's operator new can be told to fail once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "interpreter/value.h"

namespace {
thread_local int allocations_before_failure = -1;
} // namespace

void* operator new(std::size_t size) {
    if (allocations_before_failure == 0) {
        allocations_before_failure = -1;
        throw std::bad_alloc();
    }
    if (allocations_before_failure > 0) --allocations_before_failure;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Everything this binary frees through operator delete must come from here,
// the no-throw form too (the library's temporary buffers use it).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace drevel {
namespace {

template <typename Make> void expect_clean_failure(Make make) {
    allocations_before_failure = 0;
    EXPECT_THROW(make(), std::bad_alloc);
    allocations_before_failure = -1;
}

TEST(ValueAllocation, FailedBufferLeavesNothingHalfMade) {
    std::string long_text(100, 'x');
    std::string a = long_text, b = long_text, c = long_text;
    expect_clean_failure([&] { return Value::string(std::move(a)); });
    expect_clean_failure([&] { return Value::error(std::move(b)); });
    expect_clean_failure([&] { return Value::builtin_function(std::move(c)); });
    std::vector<Value> items{Value::number(1), Value::number(2)};
    expect_clean_failure([&] { return Value::array(std::move(items)); });
    Dict map;
    expect_clean_failure([&] { return Value::dict(std::move(map)); });
    expect_clean_failure([] { return Value::rect(1, 2, 3, 4); });
    // Allocation works again afterwards.
    EXPECT_EQ(display_text(Value::string("ok")), "ok");
}

} // namespace
} // namespace drevel
