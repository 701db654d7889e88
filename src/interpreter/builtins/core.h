// The core builtins, in groups by what they work on. Each group's file holds
// its functions and its table of rows beside them; registry.cpp lists the
// groups. The builtins never fail: unsuitable arguments give Null.
#pragma once

#include <span>

#include "interpreter/builtins/registry.h"

namespace drevel::builtins {

std::span<const BuiltinEntry> io_builtins();         // print, input, type tests
std::span<const BuiltinEntry> text_builtins();       // texts
std::span<const BuiltinEntry> collection_builtins(); // arrays (len on texts, dicts)
std::span<const BuiltinEntry> math_builtins();       // maths and random numbers

} // namespace drevel::builtins
