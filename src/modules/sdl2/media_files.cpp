#include "modules/sdl2/media_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace drevel::media {

Value load_failure(std::string_view function, std::string_view path, std::string_view reason) {
    std::string message(function);
    message += ": cannot load '";
    message += path;
    message += "': ";
    message += reason;
    return Value::error(message);
}

std::string unreadable(const std::string& path) {
    if (path.find('\0') != std::string::npos) return "the path contains a zero byte";
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat info {};
    bool directory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(fd);
    return directory ? std::strerror(EISDIR) : "";
}

} // namespace drevel::media
