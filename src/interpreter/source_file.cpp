#include "interpreter/source_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lexer/unicode.h"

namespace drevel {

std::string os_error_text(int error_number) {
    return std::string(std::strerror(error_number)) + " (os error " + std::to_string(error_number) +
           ")";
}

std::optional<std::string> read_text_file(const std::string& path, std::string& error) {
    if (path.find('\0') != std::string::npos) {
        error = "file name contained an unexpected NUL byte";
        return std::nullopt;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = os_error_text(errno);
        return std::nullopt;
    }
    std::string text;
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_size > 0) text.reserve(size_t(info.st_size));
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = os_error_text(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    if (!is_valid_utf8(text)) {
        error = "stream did not contain valid UTF-8";
        return std::nullopt;
    }
    return text;
}

} // namespace drevel
