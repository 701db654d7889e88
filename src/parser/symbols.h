// Interned names: every identifier the parser sees gets a small integer, so
// the interpreter finds a variable by index instead of by hashing its text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace drevel {

using Symbol = uint32_t;

// Process-wide; the same text always gives the same symbol.
Symbol intern(std::string_view name);
const std::string& symbol_name(Symbol symbol);
// One more than the largest symbol handed out so far.
Symbol symbol_count();

} // namespace drevel
