#include "building/curl_runner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "interpreter/output.h"
#include "lexer/unicode.h"
#include "platform/source_file.h"

extern char** environ;

namespace drevel {

namespace {

// Curl's own error output is only shown as a message; keep a bounded part.
constexpr size_t max_error_output = 64 * 1024;

class Fd {
  public:
    Fd() = default;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

struct Pipe {
    Fd read_end;
    Fd write_end;
};

bool open_pipe(Pipe& p) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    p.read_end.reset(fds[0]);
    p.write_end.reset(fds[1]);
    return true;
}

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnActions() {
        posix_spawn_file_actions_init(&actions);
        // The child starts with default signal handling and no blocked
        // signals, whatever this process ignores (a closed pipe, say).
        posix_spawnattr_init(&attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes, &signals);
        sigaddset(&signals, SIGPIPE);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGQUIT);
        posix_spawnattr_setsigdefault(&attributes, &signals);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnActions() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
};

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

enum class Drained { Complete, TooLarge, Stalled };

// Reads both pipes until both are closed. Stops early when standard output
// grows beyond the limit, or when nothing arrives for curl_stall_seconds: a
// registry that accepts the connection and then stops answering would
// otherwise hold the command for ever.
Drained drain(int out_fd, int err_fd, std::string& out, std::string& err) {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    const size_t limits[2] = {max_curl_response, max_error_output};
    int open_count = 2;
    char buffer[65536];
    while (open_count > 0) {
        const int ready = poll(fds, 2, curl_stall_seconds * 1000);
        if (ready == 0) return Drained::Stalled;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Drained::Complete;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                fds[i].fd = -1;
                --open_count;
                continue;
            }
            std::string& sink = *sinks[i];
            if (sink.size() + size_t(n) > limits[i]) {
                if (i == 0) return Drained::TooLarge;
                sink.append(buffer, limits[i] - sink.size());
            } else {
                sink.append(buffer, size_t(n));
            }
        }
    }
    return Drained::Complete;
}

} // namespace

CurlResult run_curl(const std::string& url) {
    Pipe out_pipe, err_pipe;
    if (!open_pipe(out_pipe) || !open_pipe(err_pipe)) {
        return {false, "Failed to execute curl: " + os_error_text(errno)};
    }
    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, out_pipe.write_end.get(), 1);
    posix_spawn_file_actions_adddup2(&spawn.actions, err_pipe.write_end.get(), 2);

    // Anything printed so far must reach the terminal before the child runs.
    output::flush();
    const char* argv[] = {"curl", "-s", "-f", url.c_str(), nullptr};
    pid_t pid = 0;
    int spawn_error = posix_spawnp(&pid, "curl", &spawn.actions, &spawn.attributes,
                                   const_cast<char* const*>(argv), environ);
    out_pipe.write_end.reset();
    err_pipe.write_end.reset();
    if (spawn_error == ENOENT) return {false, "curl is not installed"};
    if (spawn_error != 0) return {false, "Failed to execute curl: " + os_error_text(spawn_error)};

    std::string out, err;
    const Drained drained = drain(out_pipe.read_end.get(), err_pipe.read_end.get(), out, err);
    if (drained != Drained::Complete) kill(pid, SIGKILL);
    out_pipe.read_end.reset();
    err_pipe.read_end.reset();
    int status = wait_for(pid);

    if (drained == Drained::TooLarge) return {false, "Response too large"};
    if (drained == Drained::Stalled) return {false, "Registry stopped answering"};
    if (status < 0) return {false, "Failed to execute curl: " + os_error_text(errno)};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {false, std::string(trim_white_space(utf8_lossy(err)))};
    }
    if (!is_valid_utf8(out)) return {false, "Response contains invalid UTF-8"};
    return {true, std::move(out)};
}

} // namespace drevel
