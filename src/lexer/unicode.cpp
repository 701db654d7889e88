#include "lexer/unicode.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#include <unicode/uvernum.h>

#include <vector>

#include "platform/dynamic_library.h"

namespace drevel {

namespace {

// ICU is loaded the first time a character outside ASCII needs its data:
// most scripts never do, and linking it would load it (and the C++ runtime
// it needs) into every run. Entry points carry ICU's version suffix.
#define DREVEL_STRINGIFY_(x) #x
#define DREVEL_STRINGIFY(x) DREVEL_STRINGIFY_(x)

using CaseMapping = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

struct Icu {
    UBool (*has_binary_property)(UChar32, UProperty) = nullptr;
    int8_t (*char_type)(UChar32) = nullptr;
    UChar* (*from_utf8_lenient)(UChar*, int32_t, int32_t*, const char*, int32_t,
                                UErrorCode*) = nullptr;
    CaseMapping to_upper = nullptr;
    CaseMapping to_lower = nullptr;

    bool loaded() const {
        return has_binary_property && char_type && from_utf8_lenient && to_upper && to_lower;
    }
};

const Icu& icu() {
    static const Icu instance = [] {
        Icu api;
        void* library = dynamic_library::open_first(
            {"libicuuc.so." DREVEL_STRINGIFY(U_ICU_VERSION_MAJOR_NUM), "libicuuc.so"});
        if (!library) return api;
        auto load = [library](auto& slot, const char* name) {
            dynamic_library::load(slot, library, name);
        };
        load(api.has_binary_property, DREVEL_STRINGIFY(u_hasBinaryProperty));
        load(api.char_type, DREVEL_STRINGIFY(u_charType));
        load(api.from_utf8_lenient, DREVEL_STRINGIFY(u_strFromUTF8Lenient));
        load(api.to_upper, DREVEL_STRINGIFY(u_strToUpper));
        load(api.to_lower, DREVEL_STRINGIFY(u_strToLower));
        return api;
    }();
    return instance;
}

} // namespace

char32_t next_code_point(std::string_view text, size_t& pos) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    if (s[pos] < 0x80) return s[pos++];
    int32_t i = int32_t(pos);
    UChar32 c;
    U8_NEXT(s, i, int32_t(text.size()), c);
    if (c < 0) {
        pos = size_t(i) > pos ? size_t(i) : pos + 1;
        return 0xFFFD;
    }
    pos = size_t(i);
    return char32_t(c);
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool is_identifier_tail(char32_t c) {
    const Icu& api = icu();
    if (!api.loaded()) return false;
    if (api.has_binary_property(UChar32(c), UCHAR_ALPHABETIC)) return true;
    const int8_t type = api.char_type(UChar32(c));
    return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool is_white_space(char32_t c) {
    if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
    const Icu& api = icu();
    if (!api.loaded())
        return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
               c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
    return api.has_binary_property(UChar32(c), UCHAR_WHITE_SPACE);
}

namespace {

std::string map_case(std::string_view text, bool upper) {
    // ASCII text needs no tables.
    bool ascii = true;
    for (unsigned char c : text) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    const Icu& api = icu();
    if (ascii || !api.loaded()) {
        std::string out(text);
        for (char& c : out) {
            if (upper && c >= 'a' && c <= 'z') c = char(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') c = char(c + 32);
        }
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::vector<UChar> source(text.size() + 1);
    int32_t source_length = 0;
    CaseMapping mapping = upper ? api.to_upper : api.to_lower;
    api.from_utf8_lenient(source.data(), int32_t(source.size()), &source_length, text.data(),
                          int32_t(text.size()), &status);
    if (U_FAILURE(status)) return std::string(text);
    std::vector<UChar> mapped(size_t(source_length) * 3 + 8);
    status = U_ZERO_ERROR;
    int32_t mapped_length =
        mapping(mapped.data(), int32_t(mapped.size()), source.data(), source_length, "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        mapped.resize(size_t(mapped_length));
        status = U_ZERO_ERROR;
        mapped_length = mapping(mapped.data(), int32_t(mapped.size()), source.data(), source_length,
                                "", &status);
    }
    if (U_FAILURE(status)) return std::string(text);
    std::string out;
    out.reserve(size_t(mapped_length) * 2);
    int32_t i = 0;
    while (i < mapped_length) {
        UChar32 c;
        U16_NEXT(mapped.data(), i, mapped_length, c);
        append_utf8(out, char32_t(c));
    }
    return out;
}

} // namespace

std::string to_upper(std::string_view text) {
    return map_case(text, true);
}
std::string to_lower(std::string_view text) {
    return map_case(text, false);
}

std::string_view trim_white_space(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t next = start;
        if (!is_white_space(next_code_point(text, next))) break;
        start = next;
    }
    size_t end = text.size();
    while (end > start) {
        // Step back to the start of the previous scalar value.
        size_t prev = end - 1;
        while (prev > start && (uint8_t(text[prev]) & 0xC0) == 0x80)
            --prev;
        size_t probe = prev;
        if (!is_white_space(next_code_point(text, probe))) break;
        end = prev;
    }
    return text.substr(start, end - start);
}

std::string utf8_lossy(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size())
        append_utf8(out, next_code_point(bytes, pos));
    return out;
}

} // namespace drevel
