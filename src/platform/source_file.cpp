#include "platform/source_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
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

namespace {

// Bytes of address space the process has mapped now.
uint64_t mapped_bytes() {
    unsigned long long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return uint64_t(pages) * uint64_t(::sysconf(_SC_PAGESIZE));
}

// The largest file a whole-file read takes in. Its text is held twice for a
// moment (the buffer and the value made of it) beside what the script holds
// already, so a third of the physical memory, or of what an address-space
// limit leaves, and never more than a text can hold. Anything larger, such as
// a device that never ends, is refused as too large instead of ending the
// process for want of memory.
uint64_t read_limit() {
    uint64_t room = uint64_t(::sysconf(_SC_PHYS_PAGES)) * uint64_t(::sysconf(_SC_PAGESIZE));
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const uint64_t used = mapped_bytes();
        room = std::min<uint64_t>(room, limit.rlim_cur > used ? limit.rlim_cur - used : 0);
    }
    return std::min<uint64_t>(room / 3, UINT32_MAX);
}

// Where the text's last character begins when its bytes may not all have
// arrived yet: the text before it can be checked already.
size_t complete_prefix(std::string_view text, size_t from) {
    size_t start = text.size();
    while (start > from && text.size() - start < 3 && (uint8_t(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start > from && uint8_t(text[start - 1]) >= 0xC0) return start - 1;
    return text.size();
}

std::optional<std::string> failed(int fd, std::string& error, int code) {
    error = os_error_text(code);
    if (fd >= 0) ::close(fd);
    return std::nullopt;
}

} // namespace

std::optional<std::string> read_text_file(const std::string& path, std::string& error) {
    if (path.find('\0') != std::string::npos) {
        error = kNulInPath;
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed(-1, error, errno);
    const uint64_t limit = read_limit();
    // A regular file's size is known: one read fills it, a second sees the end.
    struct stat st;
    uint64_t size = 65536;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        if (uint64_t(st.st_size) > limit) return failed(fd, error, EFBIG);
        size = uint64_t(st.st_size) + 1;
    }
    std::string data(std::min(size, limit + 1), '\0');
    size_t used = 0;
    // Text is checked as it arrives, so that a stream of binary data such as
    // /dev/urandom is refused at once rather than at the size limit.
    size_t checked = 0;
    for (;;) {
        const size_t complete = complete_prefix(std::string_view(data.data(), used), checked);
        if (!is_valid_utf8(std::string_view(data.data() + checked, complete - checked))) {
            ::close(fd);
            error = kNotUtf8;
            return std::nullopt;
        }
        checked = complete;
        if (used == data.size()) {
            // One byte beyond the limit arrived: the file is larger.
            if (used > limit) return failed(fd, error, EFBIG);
            data.resize(std::min<uint64_t>(uint64_t(data.size()) * 2, limit + 1));
        }
        const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(fd, error, errno);
        }
        if (n == 0) break;
        used += size_t(n);
    }
    ::close(fd);
    data.resize(used);
    if (!is_valid_utf8(std::string_view(data).substr(checked))) {
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
