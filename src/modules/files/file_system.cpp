#include "modules/files/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "lexer/unicode.h"
#include "platform/source_file.h"

namespace drevel::file_system {

namespace {

bool has_nul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

bool fail(std::string& error, int code) {
    error = os_error_text(code);
    return false;
}

bool fail_nul(std::string& error) {
    error = kNulInPath;
    return false;
}

// Writes all of text, going on after partial writes and interrupted calls.
// Returns 0, the errno of the failed write, or -1 for a write that made no
// progress.
int write_all(int fd, std::string_view text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return -1;
        p += n;
        left -= size_t(n);
    }
    return 0;
}

bool write_failed(int result, std::string& error) {
    if (result == -1) {
        error = kWriteZero;
        return false;
    }
    return fail(error, result);
}

bool is_folder_at(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The path without its last component, or "" when it has a single one.
std::string_view parent_of(std::string_view path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const size_t slash = path.rfind('/', end - 1);
    if (slash == std::string_view::npos || end == 0) return {};
    size_t parent_end = slash;
    while (parent_end > 0 && path[parent_end - 1] == '/')
        --parent_end;
    if (parent_end == 0) return path.substr(0, 1); // the root
    return path.substr(0, parent_end);
}

int make_folders(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    int code = errno;
    if (code == ENOENT) {
        const std::string_view parent = parent_of(path);
        if (!parent.empty() && parent.size() < path.size()) {
            const int parent_code = make_folders(std::string(parent));
            if (parent_code != 0) return parent_code;
            if (::mkdir(path.c_str(), 0777) == 0) return 0;
            code = errno;
        }
    }
    // Made meanwhile, or there already: either way the folder is in place.
    if (is_folder_at(path.c_str())) return 0;
    return code;
}

// A regular file that a write replaces as a whole, and what the new file
// takes over from it.
struct Replaceable {
    std::string path;                    // the file itself, symbolic links followed
    std::optional<struct stat> existing; // nothing for a file yet to be made
};

// The path up to and with its last "/", or "" when it has none.
std::string folder_part(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A symbolic link on /proc, such as /proc/self/fd/1 behind /dev/stdout,
// names an open file rather than a path: what it points at is written where
// it is.
bool is_proc_link(const std::string& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return true;
    struct statfs info;
    const bool proc = ::fstatfs(fd, &info) != 0 || info.f_type == PROC_SUPER_MAGIC;
    ::close(fd);
    return proc;
}

// Follows the symbolic links of the path to the file a write would reach.
// Nothing when that file is to be written in place: a device, a pipe, a
// file behind /proc, a file with several names (replacing it would split
// them), a file the process may not write, or a path the system itself will
// refuse.
std::optional<Replaceable> replaceable_file(const std::string& path) {
    std::string current = path;
    for (int links = 0; links < 40; ++links) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return std::nullopt;
            return Replaceable{current, std::nullopt};
        }
        if (S_ISREG(st.st_mode)) {
            // A file the process may not write stays refused by the open.
            if (st.st_nlink > 1 || ::faccessat(AT_FDCWD, current.c_str(), W_OK, AT_EACCESS) != 0)
                return std::nullopt;
            return Replaceable{current, st};
        }
        if (!S_ISLNK(st.st_mode) || is_proc_link(current)) return std::nullopt;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
        if (n < 0 || size_t(n) == sizeof target) return std::nullopt;
        const std::string_view link(target, size_t(n));
        // A relative target is relative to the folder holding the link.
        current =
            link.starts_with('/') ? std::string(link) : folder_part(current) + std::string(link);
    }
    return std::nullopt; // a loop of links: the open reports it
}

// Creates a new, unused file beside the given one. Returns its descriptor
// and sets temp_path, or -1 with errno telling why.
int create_beside(const std::string& path, std::string& temp_path) {
    static unsigned counter = 0;
    const std::string folder = folder_part(path);
    const std::string name = path.substr(folder.size());
    const std::string tag = ".drevel-" + std::to_string(::getpid()) + "-";
    // A name near the system's limit leaves no room to be repeated.
    const std::string prefix =
        name.size() + tag.size() + 12 <= NAME_MAX ? folder + "." + name + tag : folder + tag;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_path = prefix + std::to_string(counter++);
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Whether a file that cannot be made or moved beside the old one may be
// written in place instead. Only where the folder refuses us while the file
// itself is writable (or the file is a mount point): writing in place then
// loses nothing that the other way would keep. A full disk, a quota or an
// I/O error would cut the old content short, so those are reported instead.
bool in_place_allowed(int code) {
    return code == EACCES || code == EPERM || code == EBUSY;
}

// Writes the content to a new file beside the old one and moves it into
// place once all of it was written, so that a failed write (a full disk, the
// file-size limit) leaves the old content whole. The new file keeps the old
// one's permission bits and, where allowed, its owner. Returns 0, the failure
// of write_all or of making the new file, or nothing when the folder does not
// let us make or move a file there; the caller then writes in place.
std::optional<int> replace_file(const Replaceable& file, std::string_view content) {
    std::string temp_path;
    const int fd = create_beside(file.path, temp_path);
    if (fd < 0) {
        const int code = errno;
        if (in_place_allowed(code)) return std::nullopt;
        return code;
    }
    if (file.existing) {
        const struct stat& old = *file.existing;
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        }
        ::fchmod(fd, old.st_mode & 07777);
    }
    int result = write_all(fd, content);
    if (::close(fd) != 0 && result == 0) result = errno;
    if (result != 0) {
        ::unlink(temp_path.c_str());
        return result;
    }
    if (::rename(temp_path.c_str(), file.path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp_path.c_str());
        if (in_place_allowed(code)) return std::nullopt;
        return code;
    }
    return 0;
}

bool write_in_place(const std::string& path, std::string_view content, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(error, errno);
    int result = write_all(fd, content);
    if (::close(fd) != 0 && result == 0) result = errno;
    return result == 0 || write_failed(result, error);
}

// Empties and removes the folder name inside the open folder parent_fd,
// without following symbolic links. Returns 0 or an errno.
int remove_tree_at(int parent_fd, const char* name) {
    const int fd = ::openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int code = errno;
        ::close(fd);
        return code;
    }
    int code = 0;
    while (code == 0) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            code = errno;
            break;
        }
        const char* child = entry->d_name;
        if (std::strcmp(child, ".") == 0 || std::strcmp(child, "..") == 0) continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(fd, child, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                code = errno;
                break;
            }
            folder = S_ISDIR(st.st_mode);
        }
        if (folder) {
            code = remove_tree_at(fd, child);
        } else if (::unlinkat(fd, child, 0) != 0) {
            code = errno;
        }
    }
    ::closedir(dir);
    if (code != 0) return code;
    return ::unlinkat(parent_fd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

} // namespace

bool write_file(const std::string& path, std::string_view content, std::string& error) {
    if (has_nul(path)) return fail_nul(error);
    if (const std::optional<Replaceable> file = replaceable_file(path)) {
        const std::optional<int> result = replace_file(*file, content);
        if (result) return *result == 0 || write_failed(*result, error);
    }
    return write_in_place(path, content, error);
}

AppendFailure append_file(const std::string& path, std::string_view content, std::string& error) {
    if (has_nul(path)) {
        fail_nul(error);
        return AppendFailure::Open;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail(error, errno);
        return AppendFailure::Open;
    }
    struct stat before;
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    int result = write_all(fd, content);
    // A failed append takes back the part that arrived, so that the file
    // never ends in half a record.
    if (result != 0 && regular) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd, before.st_size);
    }
    if (::close(fd) != 0 && result == 0) result = errno;
    if (result == 0) return AppendFailure::None;
    write_failed(result, error);
    return AppendFailure::Write;
}

bool remove_file(const std::string& path, std::string& error) {
    if (has_nul(path)) return fail_nul(error);
    return ::unlink(path.c_str()) == 0 || fail(error, errno);
}

PathKind path_kind(const std::string& path) {
    struct stat st;
    if (has_nul(path) || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

bool create_folders(const std::string& path, std::string& error) {
    if (has_nul(path)) return fail_nul(error);
    const int code = make_folders(path);
    return code == 0 || fail(error, code);
}

bool remove_folder(const std::string& path, bool recursive, std::string& error) {
    if (has_nul(path)) return fail_nul(error);
    if (!recursive) return ::rmdir(path.c_str()) == 0 || fail(error, errno);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return fail(error, errno);
    if (!S_ISDIR(st.st_mode)) return fail(error, ENOTDIR);
    const int code = remove_tree_at(AT_FDCWD, path.c_str());
    return code == 0 || fail(error, code);
}

bool list_folder(const std::string& path, std::vector<std::string>& names, std::string& error) {
    if (has_nul(path)) return fail_nul(error);
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return fail(error, errno);
    std::vector<std::string> found;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) break; // the end, or an entry that cannot be read
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!is_valid_utf8(name)) continue;
        found.emplace_back(name);
    }
    ::closedir(dir);
    names = std::move(found);
    return true;
}

} // namespace drevel::file_system
