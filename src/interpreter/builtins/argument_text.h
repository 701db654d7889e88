// How builtins and module functions take a text argument: a String's own
// text, any other value's display text (what print shows).
#pragma once

#include <string>
#include <string_view>

#include "interpreter/value.h"

namespace drevel {

inline std::string argument_text(const Value& v) {
    return v.is(ValueKind::String) ? std::string(v.text()) : display_text(v);
}

// The same without copying a String's text; storage holds any other text.
inline std::string_view argument_text(const Value& v, std::string& storage) {
    if (v.is(ValueKind::String)) return v.text();
    storage = display_text(v);
    return storage;
}

} // namespace drevel
