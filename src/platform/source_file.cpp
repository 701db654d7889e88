#include "platform/source_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/utf8.h"

namespace drevel {

std::string os_error_text(int error_number) {
    std::string text = std::strerror(error_number);
    text += " (os error ";
    text += std::to_string(error_number);
    text += ')';
    return text;
}

std::optional<std::string> read_text_file(const std::string& path, std::string& error) {
    if (path.find('\0') != std::string::npos) {
        error = kNulInPath;
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = os_error_text(errno);
        return std::nullopt;
    }
    // A regular file's size is known: one read fills it, a second sees the end.
    struct stat st;
    size_t size = 65536;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        size = size_t(st.st_size) + 1;
    std::string data(size, '\0');
    size_t used = 0;
    for (;;) {
        if (used == data.size()) data.resize(data.size() * 2);
        const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = os_error_text(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        used += size_t(n);
    }
    ::close(fd);
    data.resize(used);
    if (!is_valid_utf8(data)) {
        error = kNotUtf8;
        return std::nullopt;
    }
    return data;
}

bool check_script_path(std::string_view path) {
    // The last component, as a path library would name it: "." and ".." and
    // roots have no file name.
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    return name.substr(dot + 1) == "dv";
}

} // namespace drevel
