#include "main/embedded_script.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lexer/unicode.h"

namespace drevel {

namespace {

bool read_exactly(int fd, char* buffer, size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = ::pread(fd, buffer, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buffer += n;
        size -= size_t(n);
        offset += n;
    }
    return true;
}

std::optional<std::string> read_trailer(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size < off_t(kTrailerSize)) return std::nullopt;
    const uint64_t file_size = uint64_t(info.st_size);
    char trailer[kTrailerSize];
    if (!read_exactly(fd, trailer, kTrailerSize, off_t(file_size - kTrailerSize)))
        return std::nullopt;
    if (std::memcmp(trailer + 8, kTrailerMarker, kTrailerMarkerSize) != 0) return std::nullopt;
    uint64_t length = 0;
    for (int i = 7; i >= 0; --i)
        length = (length << 8) | uint8_t(trailer[i]);
    if (length > kMaxEmbeddedScript || length > file_size - kTrailerSize) return std::nullopt;
    std::string script(length, '\0');
    if (length > 0 &&
        !read_exactly(fd, script.data(), length, off_t(file_size - kTrailerSize - length)))
        return std::nullopt;
    if (!is_valid_utf8(script)) return std::nullopt;
    return script;
}

} // namespace

std::optional<std::string> read_embedded_script(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> script = read_trailer(fd);
    ::close(fd);
    return script;
}

std::optional<std::string> load_embedded_script() {
    return read_embedded_script("/proc/self/exe");
}

} // namespace drevel
