// How script numbers become graphics numbers, and the clamps applied before
// any coordinate or size reaches SDL.
#pragma once

#include <cstdint>

#include "interpreter/value.h"

namespace drevel::graphics {

inline constexpr int32_t kCoordinateMin = -1073741824;
inline constexpr int32_t kCoordinateMax = 1073741823;
inline constexpr uint32_t kSizeMax = 1073741823;

// A Number keeps the low 32 bits of its value; a Float is truncated toward
// zero and saturated into 64 bits first (NaN gives 0). The caller has checked
// that the value is numeric.
inline int32_t to_coordinate(const Value& v) noexcept {
    return int32_t(uint32_t(uint64_t(numeric_to_int(v))));
}

// Like a coordinate, keeping the low 8 bits: 256 gives 0, -1 gives 255.
inline uint8_t to_color_component(const Value& v) noexcept {
    return uint8_t(uint64_t(numeric_to_int(v)));
}

inline int32_t clamp_coordinate(int64_t c) noexcept {
    return c < kCoordinateMin ? kCoordinateMin : c > kCoordinateMax ? kCoordinateMax : int32_t(c);
}

// Widths and heights: 0 becomes 1, anything above the coordinate range is cut.
inline int32_t clamp_size(uint32_t s) noexcept {
    return s == 0 ? 1 : s > kSizeMax ? int32_t(kSizeMax) : int32_t(s);
}

// True when every value in [first, first + count) is a Number or a Float.
inline bool all_numeric(const Value* args, size_t first, size_t count) noexcept {
    for (size_t i = first; i < first + count; ++i)
        if (!args[i].is_numeric()) return false;
    return true;
}

} // namespace drevel::graphics
