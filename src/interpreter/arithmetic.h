// Rules of the language's arithmetic shared by the operator table and the
// machine-number fast path, so the two cannot drift apart.
#pragma once

#include <cstdint>

namespace drevel {

// Doubles closer than this are equal (Equal, NotEqual and match patterns).
inline constexpr double kFloatTolerance = 2.220446049250313e-16;

// Integer power: the exponent is the low 32 bits, unsigned; products wrap.
inline int64_t wrapping_power(int64_t base, int64_t exponent) {
    uint32_t e = uint32_t(uint64_t(exponent));
    uint64_t result = 1, b = uint64_t(base);
    while (e) {
        if (e & 1) result *= b;
        b *= b;
        e >>= 1;
    }
    return int64_t(result);
}

} // namespace drevel
