#include "building/module_manager.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>
#include <vector>

#include "building/curl_runner.h"
#include "building/module_name.h"
#include "building/module_yaml.h"
#include "building/progress.h"
#include "building/scratch_folder.h"
#include "interpreter/output.h"
#include "lexer/unicode.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

namespace fs = std::filesystem;

constexpr const char* modules_root = ".drevel/modules";
constexpr const char* default_registry = "https://registry.drevel.dev";

// The registry's base URL: DREVEL_REGISTRY when set, else the default; a
// trailing slash is dropped.
std::string registry_base() {
    const char* configured = std::getenv("DREVEL_REGISTRY");
    std::string base = configured && *configured ? configured : default_registry;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

// Percent-encodes everything but unreserved characters and "/", so that a
// name holding "?", "#" or "%" still names the file it says.
std::string encode_path(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

std::string file_url(const std::string& base, const ModuleName& name, std::string_view file) {
    return base + "/modules/" + encode_path(name.author) + "/" + encode_path(name.module) + "/" +
           encode_path(file);
}

// Anything at the path, a dangling symbolic link included.
bool something_exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// Creates the directory and its missing parents (0777 before the umask).
std::optional<std::string> create_directories(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) return os_error_text(error.value());
    return std::nullopt;
}

std::optional<std::string> remove_tree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    if (error) return os_error_text(error.value());
    return std::nullopt;
}

// Writes the text to the path, replacing an existing file.
std::optional<std::string> write_file(const std::string& path, std::string_view text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return os_error_text(errno);
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            close(fd);
            return os_error_text(saved);
        }
        written += size_t(n);
    }
    if (close(fd) != 0) return os_error_text(errno);
    return std::nullopt;
}

// Names of the real directories (not symbolic links) in a directory whose
// names are valid UTF-8, sorted by bytes. Nothing when it cannot be listed.
std::optional<std::vector<std::string>> subdirectories(const std::string& path, int& error) {
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        error = errno;
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !is_valid_utf8(name)) continue;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void print_no_modules() {
    output::write_styled("\x1b[2mNo modules installed yet.\x1b[0m\n");
}

// Downloads every file of the list into the folder.
std::optional<std::string> download_files(const std::string& base, const ModuleName& name,
                                          const std::vector<std::string>& files,
                                          const std::string& folder) {
    const std::string step = "Downloading module files...";
    Stopwatch clock;
    progress_start(step);
    for (const std::string& file : files) {
        CurlResult download = run_curl(file_url(base, name, file));
        if (!download.ok) {
            progress_failed(step, clock.seconds());
            return "Failed to download file '" + file + "'";
        }
        fs::path destination = fs::path(folder) / file;
        if (auto error = create_directories(destination.parent_path().string())) {
            return "Failed to create directory: " + *error;
        }
        if (auto error = write_file(destination.string(), download.text)) {
            return "Failed to write file " + file + ": " + *error;
        }
    }
    progress_done(step, clock.seconds());
    return std::nullopt;
}

// A module is assembled in a scratch folder inside the modules folder (the
// same file system as its destination, even when the modules folder is a link
// to another one) and moved into place only once every file arrived, so that
// a failed download never leaves half a module that counts as installed.
constexpr std::string_view scratch_prefix = module_scratch_prefix;

// Makes the scratch folder, first removing those of interrupted runs (also
// those older versions left directly below .drevel).
std::optional<std::string> create_scratch(ScratchFolder& scratch) {
    ScratchFolder::remove_stale(modules_root, scratch_prefix);
    ScratchFolder::remove_stale(".drevel", "install-");
    if (scratch.create(modules_root, scratch_prefix)) return std::nullopt;
    return "Failed to create scratch folder in " + std::string(modules_root) + ": " +
           os_error_text(errno);
}

// Fetches the module's metadata and files into the scratch folder, with the
// progress lines of both steps.
std::optional<std::string> fetch_module(const ModuleName& name, ScratchFolder& scratch) {
    const std::string base = registry_base();
    const std::string metadata_step = "Fetching module metadata...";
    Stopwatch metadata_clock;
    progress_start(metadata_step);
    CurlResult metadata = run_curl(file_url(base, name, "module.yaml"));
    if (!metadata.ok) {
        progress_failed(metadata_step, metadata_clock.seconds());
        return "Module '" + name.qualified_name() + "' not found in repository";
    }
    progress_done(metadata_step, metadata_clock.seconds());

    std::vector<std::string> files = read_module_file_list(metadata.text);
    if (files.empty()) files.emplace_back("index.dv");
    // Every name is checked before anything is written, so a refused list
    // leaves no trace.
    for (const std::string& file : files) {
        if (!is_safe_module_file_name(file)) return "Invalid file name in module.yaml: " + file;
    }

    if (auto error = create_scratch(scratch)) return error;
    if (auto error = write_file(scratch.path() + "/module.yaml", metadata.text)) {
        return "Failed to write module.yaml: " + *error;
    }
    return download_files(base, name, files, scratch.path());
}

// Moves the fetched module into its directory, which must not exist. An
// author folder made for it goes again when the move fails.
std::optional<std::string> place_module(const ModuleName& name, ScratchFolder& scratch) {
    const std::string directory = name.directory();
    const std::string author = fs::path(directory).parent_path().string();
    const bool new_author = !something_exists(author);
    if (auto error = create_directories(author)) {
        return "Failed to create module directory: " + *error;
    }
    if (!scratch.move_to(directory)) {
        const int code = errno;
        if (new_author) rmdir(author.c_str());
        return "Failed to create module directory: " + os_error_text(code);
    }
    return std::nullopt;
}

void print_use_hint(const ModuleName& name) {
    output::write_styled("\n\x1b[2mImport it in your code with:\x1b[0m\n");
    output::write("  use `" + name.qualified_name() + "`;\n");
    output::flush();
}

bool is_symbolic_link(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Removing or replacing a module through a symbolic link would reach files
// outside the project; such a module is left to the user.
std::optional<std::string> refuse_symbolic_links(const ModuleName& name) {
    for (const std::string& path : {modules_root + ("/" + name.author), name.directory()}) {
        if (is_symbolic_link(path)) return "Module folder '" + path + "' is a symbolic link";
    }
    return std::nullopt;
}

// The name of a module that is installed and may be changed, or the
// message that says why not.
std::variant<ModuleName, std::string> installed_module(std::string_view text) {
    auto parsed = parse_module_name(text);
    if (auto* name = std::get_if<ModuleName>(&parsed)) {
        if (auto refusal = refuse_symbolic_links(*name)) return *refusal;
        if (!something_exists(name->directory()))
            return "Module '" + name->qualified_name() + "' is not installed";
    }
    return parsed;
}

} // namespace

std::optional<std::string> install_module(std::string_view text) {
    auto parsed = parse_module_name(text);
    if (auto* message = std::get_if<std::string>(&parsed)) return *message;
    const ModuleName& name = std::get<ModuleName>(parsed);

    if (auto error = create_directories(modules_root)) {
        return "Failed to create modules directory: " + *error;
    }
    if (auto refusal = refuse_symbolic_links(name)) return refusal;
    if (something_exists(name.directory())) {
        return "Module '" + name.qualified_name() + "' is already installed";
    }
    ScratchFolder scratch;
    if (auto error = fetch_module(name, scratch)) return error;
    if (auto error = place_module(name, scratch)) return error;
    print_use_hint(name);
    return std::nullopt;
}

std::optional<std::string> uninstall_module(std::string_view text) {
    auto found = installed_module(text);
    if (auto* message = std::get_if<std::string>(&found)) return *message;
    const ModuleName& name = std::get<ModuleName>(found);
    const std::string directory = name.directory();

    const std::string step = "Removing module files...";
    Stopwatch clock;
    progress_start(step);
    if (auto error = remove_tree(directory)) {
        progress_failed(step, clock.seconds());
        return "Failed to uninstall module: " + *error;
    }
    progress_done(step, clock.seconds());
    return std::nullopt;
}

std::optional<std::string> upgrade_module(std::string_view text) {
    auto found = installed_module(text);
    if (auto* message = std::get_if<std::string>(&found)) return *message;
    const ModuleName& name = std::get<ModuleName>(found);
    const std::string qualified = name.qualified_name();
    const std::string directory = name.directory();

    // The installed version stays in place until the new one has arrived
    // whole; then the two change places and the old one is removed.
    const std::string step = "Upgrading module...";
    Stopwatch clock;
    progress_start(step);
    ScratchFolder scratch;
    if (auto error = fetch_module(name, scratch)) {
        progress_failed(step, clock.seconds());
        return "Upgrade failed: " + *error;
    }
    // The old version waits in a scratch folder of its own, which goes when
    // the upgrade ends (or, interrupted, with the next install's clean-up).
    ScratchFolder retired;
    if (auto error = create_scratch(retired)) {
        progress_failed(step, clock.seconds());
        return "Upgrade failed: " + *error;
    }
    const std::string old_version = retired.path() + "/old";
    if (rename(directory.c_str(), old_version.c_str()) != 0) {
        progress_failed(step, clock.seconds());
        return "Failed to remove existing module: " + os_error_text(errno);
    }
    if (auto error = place_module(name, scratch)) {
        rename(old_version.c_str(), directory.c_str());
        progress_failed(step, clock.seconds());
        return "Upgrade failed: " + *error;
    }
    print_use_hint(name);
    progress_done("Upgrading module '" + qualified + "'", clock.seconds());
    return std::nullopt;
}

std::optional<std::string> list_modules() {
    const std::string root = modules_root;
    if (!something_exists(root)) {
        print_no_modules();
        output::flush();
        return std::nullopt;
    }
    int error = 0;
    auto authors = subdirectories(root, error);
    if (!authors) return "Failed to read modules directory: " + os_error_text(error);
    // Modules being installed are not installed yet.
    std::erase_if(*authors, [](const std::string& a) { return a.starts_with(scratch_prefix); });
    if (authors->empty()) {
        print_no_modules();
        output::flush();
        return std::nullopt;
    }

    std::string text = "Installed modules:\n\n";
    size_t count = 0;
    for (const std::string& author : *authors) {
        auto modules = subdirectories(root + "/" + author, error);
        if (!modules || modules->empty()) continue;
        text += "  \x1b[33m" + author + "\x1b[0m\n";
        for (size_t i = 0; i < modules->size(); ++i) {
            const char* branch = i + 1 < modules->size() ? "├─" : "└─";
            text += std::string("    ") + branch + " \x1b[32m" + (*modules)[i] + "\x1b[0m\n";
        }
        text += "\n";
        count += modules->size();
    }
    text += "\x1b[2mTotal: " + std::to_string(count) + " module(s)\x1b[0m\n";
    output::write_styled(text);
    output::flush();
    return std::nullopt;
}

} // namespace drevel
