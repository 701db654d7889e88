#include "modules/http/protocol.h"

#include <algorithm>
#include <charconv>

#include "lexer/unicode.h"

namespace drevel::http {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The code point at text[pos], advancing pos; bad is set for an invalid
// sequence (which reads as U+FFFD, as a real U+FFFD does).
char32_t next_char(std::string_view text, size_t& pos, bool& bad) {
    const unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
        ++pos;
        bad = false;
        return b;
    }
    const size_t at = pos;
    const char32_t c = next_code_point(text, pos);
    bad = c == 0xFFFD && text.substr(at, pos - at) != kReplacement;
    return c;
}

bool is_space(char32_t c) {
    if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
    return is_white_space(c);
}

void append_decimal(std::string& out, int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, size_t(end - digits));
}

} // namespace

std::string_view request_path_of(std::string_view received, char* scratch) {
    size_t pos = 0;
    size_t start = 0;
    size_t end = received.size();
    int pieces = 0;
    bool in_piece = false;
    bool path_has_bad = false;
    while (pos < received.size()) {
        const size_t at = pos;
        bool bad = false;
        const char32_t c = next_char(received, pos, bad);
        if (is_space(c)) {
            if (in_piece && pieces == 2) {
                end = at;
                break;
            }
            in_piece = false;
            continue;
        }
        if (!in_piece) {
            in_piece = true;
            if (++pieces == 2) start = at;
        }
        if (pieces == 2 && bad) path_has_bad = true;
    }
    if (pieces < 2) return "/";
    const std::string_view raw = received.substr(start, end - start);
    if (!path_has_bad) return raw;
    // Rare: the path needs its bad sequences replaced. The scratch space holds
    // the longest possible result, three bytes for each one-byte sequence.
    char* out = scratch;
    pos = 0;
    while (pos < raw.size()) {
        const size_t at = pos;
        bool bad = false;
        next_char(raw, pos, bad);
        const std::string_view piece = bad ? kReplacement : raw.substr(at, pos - at);
        out = std::copy(piece.begin(), piece.end(), out);
    }
    return std::string_view(scratch, size_t(out - scratch));
}

std::string page_response(std::string_view content) {
    constexpr std::string_view head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: ";
    std::string out;
    out.reserve(head.size() + 24 + content.size());
    out += head;
    append_decimal(out, int64_t(content.size()));
    out += "\r\n\r\n";
    out += content;
    return out;
}

std::string_view reason_phrase(int64_t code) {
    struct Phrase {
        int64_t code;
        std::string_view text;
    };
    static constexpr Phrase kPhrases[] = {
        {200, "OK"},
        {201, "Created"},
        {204, "No Content"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {304, "Not Modified"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {500, "Internal Server Error"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
    };
    for (const Phrase& p : kPhrases) {
        if (p.code == code) return p.text;
    }
    return "Unknown";
}

std::string status_line(int64_t code, std::string_view reason) {
    std::string out = "HTTP/1.1 ";
    append_decimal(out, code);
    out += ' ';
    out += reason;
    return out;
}

UrlResult split_url(std::string_view url, UrlParts& parts) {
    url = trim_white_space(url);
    if (url.size() >= 7 && url.starts_with("http://")) {
        url.remove_prefix(7);
    } else if (url.size() >= 8 && url.starts_with("https://")) {
        return UrlResult::Https;
    }
    const size_t slash = url.find('/');
    const std::string_view authority = url.substr(0, slash);
    parts.path = slash == std::string_view::npos ? std::string_view("/") : url.substr(slash);
    const size_t colon = authority.find(':');
    parts.host = authority.substr(0, colon);
    parts.port = colon == std::string_view::npos ? 80 : parse_port(authority.substr(colon + 1));
    return UrlResult::Ok;
}

uint16_t parse_port(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty()) return 80;
    uint32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 80;
        port = port * 10 + uint32_t(c - '0');
        if (port > 65535) return 80;
    }
    return uint16_t(port);
}

std::string request_text(std::string_view method, std::string_view host, std::string_view path,
                         std::string_view body) {
    std::string out;
    out.reserve(method.size() + host.size() + path.size() + body.size() + 80);
    out += method;
    out += ' ';
    out += path;
    out += " HTTP/1.1\r\nHost: ";
    out += host;
    out += "\r\nConnection: close\r\nContent-Length: ";
    append_decimal(out, int64_t(body.size()));
    out += "\r\n\r\n";
    out += body;
    return out;
}

} // namespace drevel::http
