// The registry of everything callable from a script by name: the core
// builtins and the native modules, each a table of rows. Call dispatch,
// `use m { f }`, the checker, completion and the docs read these tables, so
// adding a function is adding a row and adding a module is one line in
// modules/native_modules.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "interpreter/native_context.h"
#include "interpreter/operator_rules.h"
#include "interpreter/value.h"

namespace drevel {

// A native function: the evaluated argument values (the caller's own copies,
// which it may move from), their count and the calling interpreter's native
// context; it always yields one value.
using NativeFn = Value (*)(Value* args, size_t count, NativeContext& context);

// The rule of a builtin that maps one number to one number (abs, sqrt,
// floor, ceil, round): its native function applies it, and arithmetic in
// machine numbers calls it directly.
using NumberFn = Numeric (*)(Numeric);

// Fewer arguments than required give an Error with the message instead of a
// call. The core builtins require none: they give Null for what is missing.
// `least` to `most` are the counts a call is meant to be written with (a
// surplus is ignored at run time), which `drevel check` holds calls to; left
// out, a row that requires arguments takes exactly that many, and one that
// requires none is not held to a count.
inline constexpr uint8_t kUnsaid = 254;
inline constexpr uint8_t kAnyMore = 255; // `most`: no upper bound
struct ArityRule {
    size_t required = 0;
    const char* message = nullptr;
    uint8_t least = kUnsaid;
    uint8_t most = kUnsaid; // left out: `least`
};

// The rule of a row that requires nothing and is written with least..most
// arguments (the core builtins).
constexpr ArityRule takes(uint8_t least, uint8_t most) {
    return {0, nullptr, least, most};
}
constexpr ArityRule takes(uint8_t exactly) {
    return takes(exactly, exactly);
}

// The argument counts a call of a row is meant to have; nothing when the row
// does not say. `most` is SIZE_MAX for any number.
struct ArgumentCounts {
    size_t least;
    size_t most;
};
constexpr std::optional<ArgumentCounts> written_counts(const ArityRule& rule) {
    if (rule.least == kUnsaid) {
        if (rule.required == 0) return std::nullopt;
        return ArgumentCounts{rule.required, rule.required};
    }
    uint8_t most = rule.most == kUnsaid ? rule.least : rule.most;
    return ArgumentCounts{rule.least, most == kAnyMore ? SIZE_MAX : size_t(most)};
}

struct BuiltinEntry {
    std::string_view name;
    NativeFn function;
    ArityRule arity = {};
    NumberFn number_rule = nullptr;
    // The result is the first argument changed and nothing else runs script
    // code meanwhile: in x = f(x, ...) the binding of x is let go once the
    // arguments are evaluated, so an unshared collection changes in place.
    bool changes_first = false;
    // It may call a function of the script (a callback, a request handler):
    // a body calling it cannot keep its names to itself.
    bool runs_script = false;
};

// Calls one row with its arity rule.
inline Value call_native(const BuiltinEntry& entry, Value* args, size_t count,
                         NativeContext& context) {
    if (count < entry.arity.required) return Value::error(entry.arity.message);
    return entry.function(args, count, context);
}

struct NativeModule {
    std::string_view name;                   // the word after `use`
    std::string_view title;                  // in "<title> module has no function 'f'"
    bool uses_io;                            // unavailable while native_io_enabled is false
    std::span<const BuiltinEntry> functions; // called as name.function
    std::span<const BuiltinEntry> builtins;  // plain names it adds to the core's
};

// The core builtins: the rows of every group's table, in one list.
std::span<const BuiltinEntry> core_builtins();

// Makes the modules callable, replacing any installed before. The driver does
// this once, before anything is parsed.
void register_native_modules(std::span<const NativeModule* const> modules);
std::span<const NativeModule* const> native_modules();

// The builtin of that plain name (core or a module's), or nullptr.
const BuiltinEntry* find_builtin(std::string_view name);
// The installed native module of that name, or nullptr.
const NativeModule* find_native_module(std::string_view name);

// A function named "module.function" of an installed native module.
struct ModuleFunction {
    const NativeModule* module = nullptr;
    const BuiltinEntry* entry = nullptr;
};
ModuleFunction find_module_function(std::string_view qualified_name);

} // namespace drevel
