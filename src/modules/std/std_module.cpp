// The std module's table: every function with the arguments it needs. The
// plain builtins stay as they are; a script reaches these as std.f or binds
// them with `use std { f }`.
#include "modules/std/std_module.h"

#include "modules/std/std_functions.h"

namespace drevel {

namespace {

using namespace stdlib;

// In place: x = std.set(x, ...) and its kin change x's own collection.
constexpr bool kChangesFirst = true;
// Calls the function it is given.
constexpr bool kRunsScript = true;

constexpr BuiltinEntry kFunctions[] = {
    // Dicts and arrays.
    {"keys", keys, {1, "keys requires a dict"}},
    {"values", values, {1, "values requires a dict"}},
    {"has", has, {2, "has requires a dict and a key"}},
    {"get", get, {3, "get requires a dict or an array, a key or index and a fallback"}},
    {"set",
     set,
     {3, "set requires a dict or an array, a key or index and a value"},
     nullptr,
     kChangesFirst},
    {"insert",
     insert,
     {3, "insert requires an array, an index and a value"},
     nullptr,
     kChangesFirst},
    {"remove",
     remove,
     {2, "remove requires a dict or an array and a key or index"},
     nullptr,
     kChangesFirst},
    {"slice", slice, {3, "slice requires an array, a start and an end"}},
    {"index_of", index_of, {2, "index_of requires an array or a text and a value"}},
    {"join", join, {2, "join requires an array and a separator"}},
    {"sort", sort, {1, "sort requires an array"}, nullptr, kChangesFirst},
    {"sort_by",
     sort_by,
     {2, "sort_by requires an array and a key function"},
     nullptr,
     false,
     kRunsScript},
    {"map", map, {2, "map requires an array and a function"}, nullptr, false, kRunsScript},
    {"filter", filter, {2, "filter requires an array and a function"}, nullptr, false, kRunsScript},
    // Texts.
    {"length", length, {1, "length requires a text"}},
    {"chars", chars, {1, "chars requires a text"}},
    {"find", find, {2, "find requires a text and a text to find"}},
    {"replace", replace, {3, "replace requires a text, the text to replace and its replacement"}},
    {"trim", trim, {1, "trim requires a text"}},
    {"starts_with", starts_with, {2, "starts_with requires a text and a prefix"}},
    {"ends_with", ends_with, {2, "ends_with requires a text and a suffix"}},
    {"repeat", repeat, {2, "repeat requires a text and a count"}},
    {"pad_left", pad_left, {2, "pad_left requires a text and a width", 2, 3}},
    {"pad_right", pad_right, {2, "pad_right requires a text and a width", 2, 3}},
    {"lines", lines, {1, "lines requires a text"}},
    {"compare", compare, {2, "compare requires two texts"}},
    {"to_number", to_number, {1, "to_number requires a text"}},
    {"fixed", fixed, {2, "fixed requires a number and a count of decimals"}},
    // The program and its machine.
    {"args", args, takes(0)},
    {"exit", exit, {1, "exit requires a status"}},
    {"env", env, {1, "env requires a variable name"}},
    {"script_folder", script_folder, takes(0)},
    {"time", time, takes(0)},
    {"clock", clock, takes(0)},
    {"sleep", sleep, {1, "sleep requires a number of seconds"}},
    {"format_time", format_time, {2, "format_time requires a time in seconds and a pattern"}},
    // JSON.
    {"parse_json", parse_json, {1, "parse_json requires a text"}},
    {"to_json", to_json, {1, "to_json requires a value"}},
};

} // namespace

const NativeModule& std_module() {
    static const NativeModule module{"std", "Std", false, kFunctions, {}};
    return module;
}

} // namespace drevel
