// Files served from a folder registered with http.static: the checks that
// keep every request inside the folder, the content type by extension and
// the dates of Last-Modified and If-Modified-Since.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "modules/http/response.h"

namespace drevel::http {

// An opened file ready to be sent: the response head, then `size` bytes of
// the descriptor from offset 0 (none for 304 and HEAD).
struct StaticFile {
    int fd = -1;
    uint64_t size = 0;
    std::string head;
};

// The file that relative (already free of "." and ".." segments) names below
// folder (a resolved absolute path), or a folder's index.html, with every
// symbolic link resolved. False when there is no such regular file or it
// lies outside the folder.
bool find_static(const std::string& folder, const std::string& relative, std::string& resolved);
// Opens a file find_static found and makes its response head: 200, or 304
// when the client's copy (If-Modified-Since) is current. False when it is
// gone or cannot be read.
bool open_static(const std::string& resolved, std::string_view if_modified_since, ResponseMode mode,
                 StaticFile& file);

// "image/png" for "cat.png", ...; "application/octet-stream" when unknown.
std::string_view content_type_of(std::string_view file_name);

// A time as HTTP writes it: "Sun, 06 Nov 1994 08:49:37 GMT".
std::string http_date(time_t when);
// The reverse; -1 for text of another form.
time_t parse_http_date(std::string_view text);

} // namespace drevel::http
