// Whether bytes are valid UTF-8: source files, data files and received text
// are checked with it before anything reads them as text.
#pragma once

#include <string_view>

namespace drevel {

bool is_valid_utf8(std::string_view text);
// How many bytes from the start are valid UTF-8: the offset of the first
// byte that does not begin a valid sequence, or the size when all are valid.
size_t valid_utf8_prefix(std::string_view text);

} // namespace drevel
