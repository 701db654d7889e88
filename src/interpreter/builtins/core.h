// The core builtins, grouped by what they work on. Each takes the evaluated
// arguments and never fails: unsuitable arguments give Null.
#pragma once

#include "interpreter/builtins/registry.h"

namespace drevel::builtins {

#define DREVEL_BUILTIN(name) Value name(Value* args, size_t count, NativeContext& context)

// Output, input and type tests.
DREVEL_BUILTIN(print);
DREVEL_BUILTIN(input);
DREVEL_BUILTIN(type_of);
DREVEL_BUILTIN(is_number);
DREVEL_BUILTIN(is_string);
DREVEL_BUILTIN(is_array);
DREVEL_BUILTIN(is_dict);

// Texts.
DREVEL_BUILTIN(upper);
DREVEL_BUILTIN(lower);
DREVEL_BUILTIN(slice);
DREVEL_BUILTIN(contains);
DREVEL_BUILTIN(split);
DREVEL_BUILTIN(concat);

// Collections.
DREVEL_BUILTIN(len);
DREVEL_BUILTIN(push);
DREVEL_BUILTIN(pop);
DREVEL_BUILTIN(reverse);

// Maths and random numbers.
DREVEL_BUILTIN(abs);
DREVEL_BUILTIN(sqrt);
DREVEL_BUILTIN(pow);
DREVEL_BUILTIN(min);
DREVEL_BUILTIN(max);
DREVEL_BUILTIN(floor);
DREVEL_BUILTIN(ceil);
DREVEL_BUILTIN(round);
// Their rules on one number.
Numeric abs_of(Numeric n);
Numeric sqrt_of(Numeric n);
Numeric floor_of(Numeric n);
Numeric ceil_of(Numeric n);
Numeric round_of(Numeric n);
DREVEL_BUILTIN(random);
DREVEL_BUILTIN(random_range);

#undef DREVEL_BUILTIN

} // namespace drevel::builtins
