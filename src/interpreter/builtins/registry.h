// The builtin registry: plain names to native functions. It is a fixed table,
// the same for every interpreter, so call sites can be bound to their builtin
// once, when the program is prepared.
#pragma once

#include <cstddef>
#include <string_view>

#include "interpreter/operator_rules.h"
#include "interpreter/value.h"

namespace drevel {

class GraphicsContext;

// A native function: the evaluated argument values, their count and the
// interpreter's graphics context; it always yields one value.
using NativeFn = Value (*)(const Value* args, size_t count, GraphicsContext& graphics);

// The rule of a builtin that maps one number to one number (abs, sqrt,
// floor, ceil, round): its native function applies it, and arithmetic in
// machine numbers calls it directly.
using NumberFn = Numeric (*)(Numeric);

struct BuiltinEntry {
    std::string_view name;
    NativeFn function;
    NumberFn number_rule = nullptr;
};

// The registered builtin of that name, or nullptr.
const BuiltinEntry* find_builtin(std::string_view name);

// The tables the registry is made of, one per group of builtins.
struct BuiltinTable {
    const BuiltinEntry* entries;
    size_t count;
};
BuiltinTable core_builtins();
BuiltinTable graphics_builtins();

} // namespace drevel
