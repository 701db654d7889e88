// The std module's functions by group, and what they share: their messages
// and their reading of arguments. The table of rows is std_module.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/builtins/registry.h"

namespace drevel::stdlib {

#define DREVEL_STD(name) Value name(Value* args, size_t count, NativeContext& context)

// Dicts and arrays (collections.cpp).
DREVEL_STD(keys);
DREVEL_STD(values);
DREVEL_STD(has);
DREVEL_STD(get);
DREVEL_STD(set);
DREVEL_STD(insert);
DREVEL_STD(remove);
DREVEL_STD(slice);
DREVEL_STD(index_of);
DREVEL_STD(join);

// Ordering and callbacks (ordering.cpp).
DREVEL_STD(sort);
DREVEL_STD(sort_by);
DREVEL_STD(map);
DREVEL_STD(filter);
DREVEL_STD(compare);

// Texts (texts.cpp).
DREVEL_STD(length);
DREVEL_STD(chars);
DREVEL_STD(find);
DREVEL_STD(replace);
DREVEL_STD(trim);
DREVEL_STD(starts_with);
DREVEL_STD(ends_with);
DREVEL_STD(repeat);
DREVEL_STD(pad_left);
DREVEL_STD(pad_right);
DREVEL_STD(lines);
DREVEL_STD(to_number);
DREVEL_STD(fixed);

// The program and its machine (program.cpp).
DREVEL_STD(args);
DREVEL_STD(exit);
DREVEL_STD(env);
DREVEL_STD(script_folder);
DREVEL_STD(time);
DREVEL_STD(clock);
DREVEL_STD(sleep);
DREVEL_STD(format_time);

// JSON (json.cpp).
DREVEL_STD(parse_json);
DREVEL_STD(to_json);

#undef DREVEL_STD

// "a number", "an array": a kind's name with its article.
std::string with_article(std::string_view kind);

// "NAME requires NEEDS, not KIND": an argument of the wrong kind.
[[gnu::cold]] Value wrong_argument(std::string_view function, std::string_view needs,
                                   const Value& got);
// "NAME: WHAT": anything else that stops a function.
[[gnu::cold]] Value failure(std::string_view function, std::string_view what);

// A whole number given as a Number, or as a Float without a fraction.
bool whole_number(const Value& v, int64_t& out);

// The character (code point) count of a text, and the byte offset of the
// character at a position (the text's size past its end).
size_t character_count(std::string_view text);
size_t byte_offset(std::string_view text, size_t characters);

} // namespace drevel::stdlib
