// The embedded-script trailer reader on arbitrary files. Two views of each
// input: the bytes as they are, and the bytes followed by a well-formed
// marker (so that the length field and the script are reached). An accepted
// script must be exactly the bytes the trailer frames, and valid UTF-8.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "lexer/unicode.h"
#include "main/embedded_script.h"

namespace {

std::string directory_path;
std::string path;

void remove_scratch() {
    ::unlink(path.c_str());
    ::rmdir(directory_path.c_str());
}

void write_file(std::string_view bytes) {
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) std::abort();
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::abort();
        done += size_t(n);
    }
    ::close(fd);
}

void check(std::string_view file) {
    write_file(file);
    const auto script = drevel::read_embedded_script(path);
    if (!script) return;
    if (file.size() < drevel::kTrailerSize) std::abort();
    if (file.substr(file.size() - drevel::kTrailerMarkerSize) != "DREVEL_SCRIPT") std::abort();
    uint64_t length = 0;
    for (int i = 7; i >= 0; --i) {
        length = (length << 8) | uint8_t(file[file.size() - drevel::kTrailerSize + size_t(i)]);
    }
    if (length != script->size() || length > file.size() - drevel::kTrailerSize) std::abort();
    if (file.substr(file.size() - drevel::kTrailerSize - length, length) != *script) std::abort();
    if (!drevel::is_valid_utf8(*script)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when possible: rewriting a file on disk for every input
    // waits on the disk.
    char shm_directory[] = "/dev/shm/drevel-fuzz-trailer-XXXXXX";
    char tmp_directory[] = "/tmp/drevel-fuzz-trailer-XXXXXX";
    char* directory = ::mkdtemp(shm_directory);
    if (directory == nullptr) directory = ::mkdtemp(tmp_directory);
    if (directory == nullptr) std::abort();
    directory_path = directory;
    path = directory_path + "/program";
    std::atexit(remove_scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    check(input);
    // The first 8 bytes become the length field of a trailer behind the rest.
    if (size >= 8) {
        std::string framed(input.substr(8));
        framed.append(input.substr(0, 8));
        framed += "DREVEL_SCRIPT";
        check(framed);
    }
    return 0;
}
