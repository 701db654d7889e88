#include "modules/http/static_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace drevel::http {

namespace {

struct TypeRow {
    std::string_view extension;
    std::string_view type;
};

constexpr TypeRow kContentTypes[] = {
    {"html", "text/html; charset=utf-8"},
    {"htm", "text/html; charset=utf-8"},
    {"css", "text/css; charset=utf-8"},
    {"js", "text/javascript; charset=utf-8"},
    {"mjs", "text/javascript; charset=utf-8"},
    {"json", "application/json"},
    {"txt", "text/plain; charset=utf-8"},
    {"csv", "text/csv; charset=utf-8"},
    {"md", "text/markdown; charset=utf-8"},
    {"xml", "application/xml"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"webp", "image/webp"},
    {"avif", "image/avif"},
    {"bmp", "image/bmp"},
    {"ico", "image/x-icon"},
    {"pdf", "application/pdf"},
    {"wasm", "application/wasm"},
    {"mp3", "audio/mpeg"},
    {"ogg", "audio/ogg"},
    {"wav", "audio/wav"},
    {"mp4", "video/mp4"},
    {"webm", "video/webm"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"otf", "font/otf"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"tar", "application/x-tar"},
};

constexpr std::string_view kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

void append_two_digits(std::string& out, int n) {
    out += char('0' + n / 10 % 10);
    out += char('0' + n % 10);
}

// The digits of text[at, at + count) as a number; -1 when one is not a digit.
int digits_at(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return -1;
    int n = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

// The resolved path, when it lies inside the folder.
bool resolve_inside(const std::string& folder, const std::string& path, std::string& resolved) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr) return false;
    resolved = buffer;
    return resolved.size() > folder.size() && resolved.starts_with(folder) &&
           (folder.ends_with('/') || resolved[folder.size()] == '/');
}

} // namespace

std::string_view content_type_of(std::string_view file_name) {
    const size_t dot = file_name.rfind('.');
    const size_t slash = file_name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return "application/octet-stream";
    }
    std::string extension(file_name.substr(dot + 1));
    for (char& c : extension)
        c = ascii_lower(c);
    for (const TypeRow& row : kContentTypes) {
        if (row.extension == extension) return row.type;
    }
    return "application/octet-stream";
}

std::string http_date(time_t when) {
    tm parts{};
    ::gmtime_r(&when, &parts);
    std::string out;
    out.reserve(29);
    out += kDays[parts.tm_wday];
    out += ", ";
    append_two_digits(out, parts.tm_mday);
    out += ' ';
    out += kMonths[parts.tm_mon];
    out += ' ';
    append_two_digits(out, (parts.tm_year + 1900) / 100);
    append_two_digits(out, (parts.tm_year + 1900) % 100);
    out += ' ';
    append_two_digits(out, parts.tm_hour);
    out += ':';
    append_two_digits(out, parts.tm_min);
    out += ':';
    append_two_digits(out, parts.tm_sec);
    out += " GMT";
    return out;
}

time_t parse_http_date(std::string_view text) {
    // "Sun, 06 Nov 1994 08:49:37 GMT": fixed positions.
    if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT") return -1;
    tm parts{};
    parts.tm_mday = digits_at(text, 5, 2);
    parts.tm_mon = -1;
    for (int m = 0; m < 12; ++m) {
        if (text.substr(8, 3) == kMonths[m]) parts.tm_mon = m;
    }
    const int year = digits_at(text, 12, 4);
    parts.tm_hour = digits_at(text, 17, 2);
    parts.tm_min = digits_at(text, 20, 2);
    parts.tm_sec = digits_at(text, 23, 2);
    if (parts.tm_mday < 1 || parts.tm_mon < 0 || year < 1970 || parts.tm_hour < 0 ||
        parts.tm_min < 0 || parts.tm_sec < 0) {
        return -1;
    }
    parts.tm_year = year - 1900;
    return ::timegm(&parts);
}

bool find_static(const std::string& folder, const std::string& relative, std::string& resolved) {
    const std::string path = folder + "/" + (relative.empty() ? "index.html" : relative);
    if (!resolve_inside(folder, path, resolved)) return false;
    struct stat info {};
    if (::stat(resolved.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        // A folder is served by its index page, if it has one.
        if (!resolve_inside(folder, resolved + "/index.html", resolved)) return false;
        if (::stat(resolved.c_str(), &info) != 0) return false;
    }
    return S_ISREG(info.st_mode);
}

bool open_static(const std::string& resolved, std::string_view if_modified_since, ResponseMode mode,
                 StaticFile& file) {
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::string modified = "Last-Modified: " + http_date(info.st_mtime) + "\r\n";
    const time_t since = parse_http_date(if_modified_since);
    if (since >= 0 && info.st_mtime <= since) {
        ::close(fd);
        file.head = response_head(304, {}, 0, modified, mode);
        return true;
    }
    file.head =
        response_head(200, content_type_of(resolved), uint64_t(info.st_size), modified, mode);
    if (mode.head) {
        ::close(fd);
        return true;
    }
    file.fd = fd;
    file.size = uint64_t(info.st_size);
    return true;
}

} // namespace drevel::http
