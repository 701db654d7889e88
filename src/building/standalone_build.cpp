#include "building/standalone_build.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "building/path_text.h"
#include "building/progress.h"
#include "building/scratch_folder.h"
#include "interpreter/output.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

namespace fs = std::filesystem;

constexpr const char* build_dir = ".drevel/build";
// The copy that receives the trailer is made in a folder of a unique name, so
// that no output name can be the folder that is cleaned up afterwards.
constexpr std::string_view scratch_prefix = ".scratch-";
constexpr std::string_view trailer_marker = "DREVEL_SCRIPT";

// The line a failed step reports.
std::string failure(std::string_view message, int error_number) {
    std::string line = "\x1b[31mError: ";
    line += message;
    line += ": " + os_error_text(error_number) + "\x1b[0m\n";
    return line;
}

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Copies a file's bytes and permission bits over the destination. Returns 0
// or the error number.
int copy_file(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat info;
    if (fstat(in, &info) != 0) {
        int saved = errno;
        close(in);
        return saved;
    }
    mode_t mode = info.st_mode & 07777;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        int saved = errno;
        close(in);
        return saved;
    }
    int error = 0;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        if (!write_all(out, buffer, size_t(n))) {
            error = errno;
            break;
        }
    }
    // The umask applied at creation, and an existing file keeps its old
    // bits: set them explicitly.
    if (error == 0 && fchmod(out, mode) != 0) error = errno;
    if (close(out) != 0 && error == 0) error = errno;
    close(in);
    return error;
}

// Appends script, 8-byte little-endian length and marker. The copy of an
// interpreter installed without write permission gets it for its owner
// while the trailer is written; the original bits are restored after.
// Returns 0 or the error number.
int append_trailer(const std::string& path, std::string_view script) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return errno;
    const mode_t mode = info.st_mode & 07777;
    const bool lent_write = (mode & S_IWUSR) == 0;
    if (lent_write && chmod(path.c_str(), mode | S_IWUSR) != 0) return errno;
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    std::string trailer(script);
    uint64_t length = script.size();
    for (int i = 0; i < 8; ++i)
        trailer += char((length >> (8 * i)) & 0xff);
    trailer += trailer_marker;
    int error = 0;
    if (lseek(fd, 0, SEEK_END) < 0 || !write_all(fd, trailer.data(), trailer.size())) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (lent_write && chmod(path.c_str(), mode) != 0 && error == 0) error = errno;
    return error;
}

// The path of the running executable.
std::optional<std::string> own_executable(int& error) {
    std::string path(PATH_MAX, '\0');
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) {
        error = errno;
        return std::nullopt;
    }
    if (size_t(n) >= path.size()) {
        error = ENAMETOOLONG;
        return std::nullopt;
    }
    path.resize(size_t(n));
    return path;
}

// The output name as a plain relative path: no empty or "." components, no
// doubled or trailing slashes ("./a//b/" gives "a/b").
std::string normal_output(std::string_view output) {
    std::string normal;
    size_t start = 0;
    while (start <= output.size()) {
        size_t slash = output.find('/', start);
        if (slash == std::string_view::npos) slash = output.size();
        const std::string_view part = output.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            if (!normal.empty()) normal += '/';
            normal += part;
        }
        start = slash + 1;
    }
    return normal;
}

} // namespace

std::optional<std::string> build_standalone(const std::string& file, const std::string& output) {
    if (!check_script_path(file)) {
        return "Error: Only .dv files are allowed.\n";
    }
    std::string read_error;
    std::optional<std::string> script = read_text_file(file, read_error);
    if (!script) {
        return "Error: Failed to read the file: " + read_error + "\n";
    }

    const std::string step = "Building standalone binary...";
    Stopwatch clock;
    progress_start(step);

    std::error_code fs_error;
    fs::create_directories(build_dir, fs_error);
    if (fs_error) return failure("Failed to create temp directory", fs_error.value());
    ScratchFolder::remove_stale(build_dir, scratch_prefix);
    ScratchFolder scratch;
    if (!scratch.create(build_dir, scratch_prefix)) {
        return failure("Failed to create temp directory", errno);
    }
    const std::string scratch_binary = scratch.path() + "/drevel";

    int error = 0;
    std::optional<std::string> interpreter = own_executable(error);
    if (!interpreter) return failure("Failed to get current binary path", error);
    // The bytes come from /proc/self/exe, which is the running image even if
    // its file has since been replaced.
    if ((error = copy_file("/proc/self/exe", scratch_binary)) != 0) {
        return failure("Failed to copy Drevel binary", error);
    }
    if ((error = append_trailer(scratch_binary, *script)) != 0)
        return failure("Failed to embed script", error);

    // The finished program replaces an earlier one by renaming, which works
    // even while the earlier one is running and never leaves half a file.
    // Folders in the output name (examples/snake) are made below the build
    // directory.
    const std::string name = normal_output(output);
    // A ".." component would put the program outside the build directory;
    // a name like a scratch folder's would be removed as one.
    if (name.empty() || has_parent_component(name) || name.starts_with(scratch_prefix)) {
        return failure("Failed to copy final binary", EINVAL);
    }
    const std::string destination = std::string(build_dir) + "/" + name;
    fs::create_directories(fs::path(destination).parent_path(), fs_error);
    if (fs_error) return failure("Failed to create build directory", fs_error.value());
    if (rename(scratch_binary.c_str(), destination.c_str()) != 0) {
        error = errno;
        if (error != EXDEV || (error = copy_file(scratch_binary, destination)) != 0) {
            return failure("Failed to copy final binary", error);
        }
    }

    progress_done(step, clock.seconds());
    output::write("Location: " + destination + "\n");
    output::flush();
    return std::nullopt;
}

} // namespace drevel
