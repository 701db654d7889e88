#include "lexer/literal_forms.h"

#include <charconv>
#include <cmath>

namespace drevel {

void append_float_debug(std::string& out, double d) {
    if (std::isnan(d)) {
        out += "NaN";
        return;
    }
    if (std::isinf(d)) {
        out += d < 0 ? "-inf" : "inf";
        return;
    }
    char buffer[400];
    double magnitude = std::fabs(d);
    if (magnitude != 0.0 && (magnitude >= 1e16 || magnitude < 1e-4)) {
        auto result =
            std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
        // 1.5e+16 is written 1.5e16, 1e-05 is written 1e-5.
        std::string_view text(buffer, size_t(result.ptr - buffer));
        size_t e = text.find('e');
        out.append(text.substr(0, e + 1));
        size_t i = e + 1;
        if (text[i] == '-')
            out += text[i++];
        else if (text[i] == '+')
            ++i;
        while (i + 1 < text.size() && text[i] == '0')
            ++i;
        out.append(text.substr(i));
        return;
    }
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
    std::string_view text(buffer, size_t(result.ptr - buffer));
    out.append(text);
    if (text.find('.') == std::string_view::npos) out += ".0";
}

void append_quoted(std::string& out, std::string_view text) {
    static const char* kHex = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\0': out += "\\0"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out += "\\u{";
                if (c >= 0x10) out += kHex[c >> 4];
                out += kHex[c & 15];
                out += '}';
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
}

} // namespace drevel
