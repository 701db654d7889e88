#include "platform/utf8.h"

#include <unicode/utf8.h>

namespace drevel {

bool is_valid_utf8(std::string_view text) {
    return valid_utf8_prefix(text) == text.size();
}

size_t valid_utf8_prefix(std::string_view text) {
    size_t pos = 0;
    const size_t n = text.size();
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    while (pos < n) {
        if (s[pos] < 0x80) {
            ++pos;
            continue;
        }
        int32_t i = int32_t(pos);
        UChar32 c;
        U8_NEXT(s, i, int32_t(n), c);
        if (c < 0) return pos;
        pos = size_t(i);
    }
    return n;
}

} // namespace drevel
