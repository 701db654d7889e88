// JSON text to values and values to JSON text: one reader and one writer,
// shared by every module that speaks JSON.
#pragma once

#include <string>
#include <string_view>

#include "interpreter/value.h"

namespace drevel::json {

// Objects become dicts (a repeated key keeps its last value), arrays become
// arrays, integers that fit in 64 bits numbers, other numbers floats. Text
// that is not one JSON value, or that nests deeper than kMaxDepth, gives an
// Error value, not reported, whose message starts with "line L, column C: ".
inline constexpr size_t kMaxDepth = 1000;
Value parse(std::string_view text);

// The JSON text of a value with no white space. Texts and keys are escaped
// where JSON needs it; infinities, NaN and values JSON has no form for
// (functions, shapes, errors) are written as null.
void append(std::string& out, const Value& value);

} // namespace drevel::json
