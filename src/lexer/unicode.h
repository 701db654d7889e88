// Unicode character data for the language, from ICU: identifier tails, full
// case mappings and the White_Space property.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace drevel {

// Decodes the scalar value at text[pos] and advances pos past it. An invalid
// sequence yields U+FFFD and advances by one byte.
char32_t next_code_point(std::string_view text, size_t& pos);
void append_utf8(std::string& out, char32_t c);

// Non-ASCII characters that may continue a name: Alphabetic, or general
// category Nd, Nl or No.
bool is_identifier_tail(char32_t c);
bool is_white_space(char32_t c);

std::string to_upper(std::string_view text);
std::string to_lower(std::string_view text);
std::string_view trim_white_space(std::string_view text);

// Bytes as UTF-8 with invalid sequences replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

} // namespace drevel
