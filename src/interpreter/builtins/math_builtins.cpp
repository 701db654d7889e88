// Maths and random numbers.
#include <cmath>
#include <sys/random.h>

#include "interpreter/builtins/core.h"

namespace drevel::builtins {

namespace {

bool numeric_argument(const Value* args, size_t count) {
    return count > 0 && args[0].is_numeric();
}

// xoshiro256**, seeded from the operating system once per thread.
class RandomGenerator {
  public:
    RandomGenerator() {
        if (getrandom(state_, sizeof state_, 0) != sizeof state_) {
            uint64_t seed = uint64_t(reinterpret_cast<uintptr_t>(this)) ^ 0x9e3779b97f4a7c15ULL;
            for (uint64_t& s : state_)
                s = seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        }
        if ((state_[0] | state_[1] | state_[2] | state_[3]) == 0) state_[0] = 1;
    }
    uint64_t next() {
        uint64_t result = rotl(state_[1] * 5, 7) * 9;
        uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

  private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t state_[4];
};

RandomGenerator& generator() {
    thread_local RandomGenerator instance;
    return instance;
}

} // namespace

namespace {
// A builtin of one number: anything else as the first argument gives Null.
Value on_one_number(const Value* args, size_t count, NumberFn rule) {
    if (!numeric_argument(args, count)) return Value();
    return value_of(rule(numeric_of(args[0])));
}
} // namespace

// Wraps around for the most negative Number; a Float loses its sign bit.
Numeric abs_of(Numeric n) {
    if (n.kind == Numeric::Int) return Numeric::integer(n.i < 0 ? wrapping_negation(n.i) : n.i);
    return Numeric::real(std::fabs(n.f));
}
Numeric sqrt_of(Numeric n) {
    return Numeric::real(std::sqrt(n.as_double()));
}
Numeric floor_of(Numeric n) {
    return Numeric::integer(saturating_to_int(std::floor(n.as_double())));
}
Numeric ceil_of(Numeric n) {
    return Numeric::integer(saturating_to_int(std::ceil(n.as_double())));
}
Numeric round_of(Numeric n) {
    return Numeric::integer(saturating_to_int(std::round(n.as_double())));
}

Value abs(Value* args, size_t count, NativeContext&) {
    return on_one_number(args, count, abs_of);
}
Value sqrt(Value* args, size_t count, NativeContext&) {
    return on_one_number(args, count, sqrt_of);
}

Value pow(Value* args, size_t count, NativeContext&) {
    if (count < 2 || !args[0].is_numeric() || !args[1].is_numeric()) return Value();
    return Value::floating(std::pow(numeric_to_float(args[0]), numeric_to_float(args[1])));
}

namespace {
// The running value starts at the first numeric argument; replaces says when
// a later value takes its place.
template <typename Replaces> Value extreme(const Value* args, size_t count, Replaces replaces) {
    if (count < 2) return Value();
    bool found = false;
    double best = 0.0;
    for (size_t i = 0; i < count; ++i) {
        if (!args[i].is_numeric()) continue;
        double v = numeric_to_float(args[i]);
        if (!found || replaces(best, v)) best = v;
        found = true;
    }
    return found ? Value::floating(best) : Value();
}
} // namespace

Value min(Value* args, size_t count, NativeContext&) {
    return extreme(args, count, [](double running, double v) { return running > v; });
}

Value max(Value* args, size_t count, NativeContext&) {
    return extreme(args, count, [](double running, double v) { return !(running > v); });
}

Value floor(Value* args, size_t count, NativeContext&) {
    return on_one_number(args, count, floor_of);
}

Value ceil(Value* args, size_t count, NativeContext&) {
    return on_one_number(args, count, ceil_of);
}

Value round(Value* args, size_t count, NativeContext&) {
    return on_one_number(args, count, round_of);
}

Value random(Value*, size_t, NativeContext&) {
    return Value::floating(double(generator().next() >> 11) * 0x1.0p-53);
}

// A whole number drawn evenly from min up to but not including max, or from
// min down to but not including max when max is the smaller; equal bounds
// give min. Lemire's multiply-and-reject keeps every value equally likely.
Value random_range(Value* args, size_t count, NativeContext&) {
    if (count < 2 || !args[0].is_numeric() || !args[1].is_numeric()) return Value();
    const int64_t low = numeric_to_int(args[0]);
    const int64_t high = numeric_to_int(args[1]);
    if (low == high) return Value::number(low);
    const bool upward = high > low;
    // The count of possible results, 1 to 2^64 - 1, computed without overflow.
    const uint64_t span = upward ? uint64_t(high) - uint64_t(low) : uint64_t(low) - uint64_t(high);
    unsigned __int128 product = (unsigned __int128)generator().next() * span;
    if (uint64_t(product) < span) {
        const uint64_t threshold = (0 - span) % span;
        while (uint64_t(product) < threshold)
            product = (unsigned __int128)generator().next() * span;
    }
    const uint64_t offset = uint64_t(product >> 64);
    return Value::number(int64_t(upward ? uint64_t(low) + offset : uint64_t(low) - offset));
}

// The rows: name, function and, for a builtin of one number, its rule on
// machine numbers (which arithmetic calls directly).
constexpr BuiltinEntry kRows[] = {
    {"abs", abs, takes(1), abs_of},
    {"sqrt", sqrt, takes(1), sqrt_of},
    {"pow", pow, takes(2)},
    {"min", min, takes(2, kAnyMore)},
    {"max", max, takes(2, kAnyMore)},
    {"floor", floor, takes(1), floor_of},
    {"ceil", ceil, takes(1), ceil_of},
    {"round", round, takes(1), round_of},
    {"random", random, takes(0)},
    {"random_range", random_range, takes(2)},
};

std::span<const BuiltinEntry> math_builtins() {
    return kRows;
}

} // namespace drevel::builtins
