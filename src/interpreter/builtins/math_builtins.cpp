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

// min + (R rem (max - min)), wrapping; equal bounds give that bound.
Value random_range(Value* args, size_t count, NativeContext&) {
    if (count < 2 || !args[0].is_numeric() || !args[1].is_numeric()) return Value();
    int64_t low = numeric_to_int(args[0]);
    int64_t high = numeric_to_int(args[1]);
    int64_t span = int64_t(uint64_t(high) - uint64_t(low));
    int64_t r = int64_t(generator().next());
    if (span == 0) return Value::number(low);
    int64_t remainder = span == -1 ? 0 : r % span;
    return Value::number(int64_t(uint64_t(low) + uint64_t(remainder)));
}

} // namespace drevel::builtins
