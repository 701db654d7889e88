#include "building/scratch_folder.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace drevel {

namespace {

void remove_tree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// Opens and locks the folder; -1 when it cannot be opened, or cannot be
// locked without waiting and wait is false.
int lock_folder(const std::string& path, bool wait) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

ScratchFolder::~ScratchFolder() {
    if (!path_.empty()) remove_tree(path_);
    if (lock_ >= 0) ::close(lock_);
}

bool ScratchFolder::create(const std::string& parent, std::string_view prefix) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string pattern = parent + "/" + std::string(prefix) + "XXXXXX";
        if (!::mkdtemp(pattern.data())) return false;
        const int lock = lock_folder(pattern, true);
        if (lock < 0) {
            const int code = errno;
            ::rmdir(pattern.c_str());
            errno = code;
            return false;
        }
        // Another run may have taken the new folder for an abandoned one
        // before the lock was had; then it is gone, and another is made.
        struct stat info;
        if (::fstat(lock, &info) == 0 && info.st_nlink > 0) {
            path_ = std::move(pattern);
            lock_ = lock;
            return true;
        }
        ::close(lock);
    }
    errno = EAGAIN;
    return false;
}

bool ScratchFolder::move_to(const std::string& destination) {
    if (::rename(path_.c_str(), destination.c_str()) != 0) return false;
    path_.clear();
    return true;
}

void ScratchFolder::remove_stale(const std::string& parent, std::string_view prefix) {
    DIR* dir = ::opendir(parent.c_str());
    if (!dir) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(prefix)) candidates.emplace_back(parent + "/" + std::string(name));
    }
    ::closedir(dir);
    for (const std::string& path : candidates) {
        // The lock is held while the tree goes, so a run that just made the
        // folder sees it removed and makes another.
        const int lock = lock_folder(path, false);
        if (lock < 0) continue;
        remove_tree(path);
        ::close(lock);
    }
}

} // namespace drevel
