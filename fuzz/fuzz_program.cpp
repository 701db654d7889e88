// Whole programs: tokenize, parse and execute, as the run pipeline does, with
// a step budget. Scripts read input from an empty stream, the files and http
// modules are unavailable, and programs that would open a window or pace
// frames are skipped, so an input has no effect outside the process and
// always ends. The working directory is a fresh temporary directory (where
// `use` looks for modules).
//
// Every program runs twice: with the evaluator's fast paths and with the
// general rules alone. Their standard output and standard error, caught in
// memory files, must be byte-identical (programs that draw random numbers
// are run but not compared).
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "interpreter/interpreter.h"
#include "interpreter/log.h"
#include "interpreter/output.h"
#include "lexer/lexer.h"
#include "lexer/unicode.h"
#include "main/run_pipeline.h"
#include "memory_cap.h"
#include "modules/native_modules.h"
#include "parser/parser.h"

namespace {

// Loop iterations and calls one input may take.
constexpr uint64_t kStepBudget = 20000;
// The program runs its scripts on a thread with this much stack (reserved,
// not committed), so deep recursion meets the interpreter's call limit
// rather than the end of the stack; inputs get the same room here.
constexpr size_t kStackSize = size_t(4) << 30;

// Names that reach the window or the frame clock.
bool uses_graphics(const drevel::TokenList& tokens) {
    for (const drevel::Token& token : tokens) {
        if (token.kind != drevel::TokenKind::Identifier) continue;
        const std::string& t = token.text;
        if (t == "sdl2" || t == "window" || t == "present") return true;
    }
    return false;
}

// Names whose results differ from run to run.
bool uses_randomness(const drevel::TokenList& tokens) {
    for (const drevel::Token& token : tokens) {
        if (token.kind == drevel::TokenKind::Identifier && token.text.starts_with("random"))
            return true;
    }
    return false;
}

void run(const drevel::ParseResult& parsed) {
    using namespace drevel;
    Interpreter interpreter;
    interpreter.set_step_budget(kStepBudget);
    run_program(interpreter, parsed.program);
}

struct Job {
    std::string_view source;
    int result = 0;
    bool comparable = true;
};

void* run_job(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    try {
        drevel::TokenList tokens = drevel::tokenize(job.source);
        if (uses_graphics(tokens)) {
            job.result = -1;
            return nullptr;
        }
        job.comparable = !uses_randomness(tokens);
        drevel::ParseResult parsed = drevel::parse_program(tokens);
        if (!parsed.refusal) run(parsed);
    } catch (const std::bad_alloc&) {
        // Above the memory ceiling: a costly program, not a faulty one.
        job.result = -1;
    }
    drevel::output::flush();
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, STDIN_FILENO);
        ::dup2(null_fd, STDOUT_FILENO);
        ::close(null_fd);
    }
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    static char directory[] = "/tmp/drevel-fuzz-XXXXXX";
    if (::mkdtemp(directory) == nullptr || ::chdir(directory) != 0) std::abort();
    // Nothing can be written there, so the directory is empty at the end.
    std::atexit([] { ::rmdir(directory); });
    drevel::install_native_modules();
    drevel::native_io_enabled = false;
    drevel::extra_debug = false;
    return 0;
}

namespace {

// Standard output and standard error of one run, caught in memory files.
struct Output {
    std::string out, err;
    bool operator==(const Output&) const = default;
};

// Reads a memory file whole and closes it. Copying a large output counts
// against the memory ceiling too and may throw std::bad_alloc.
std::string take_file(int fd) {
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    return text;
}

Job run_captured(std::string_view source, bool fast_paths, Output& output) {
    Job job{source};
    drevel::fast_paths_enabled = fast_paths;
    fuzz_memory::begin_input();
    const int out = ::memfd_create("stdout", 0), err = ::memfd_create("stderr", 0);
    const int saved_out = ::dup(STDOUT_FILENO), saved_err = ::dup(STDERR_FILENO);
    if (out < 0 || err < 0 || saved_out < 0 || saved_err < 0) std::abort();
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_t thread;
    if (pthread_attr_setstacksize(&attributes, kStackSize) != 0 ||
        pthread_create(&thread, &attributes, run_job, &job) != 0) {
        std::abort();
    }
    pthread_attr_destroy(&attributes);
    pthread_join(thread, nullptr);
    ::dup2(saved_out, STDOUT_FILENO);
    ::dup2(saved_err, STDERR_FILENO);
    ::close(saved_out);
    ::close(saved_err);
    try {
        output.out = take_file(out);
    } catch (const std::bad_alloc&) {
        ::close(err);
        job.result = -1; // more output than the ceiling allows: a costly program
        return job;
    }
    try {
        output.err = take_file(err);
    } catch (const std::bad_alloc&) {
        job.result = -1;
    }
    return job;
}

void report_difference(const char* stream, const std::string& fast, const std::string& general) {
    size_t at = 0;
    while (at < fast.size() && at < general.size() && fast[at] == general[at])
        ++at;
    size_t from = at > 200 ? at - 200 : 0;
    std::fprintf(stderr,
                 "fuzz_program: %s differs at byte %zu between the fast paths and the general "
                 "rules\n--- fast paths:\n%s\n--- general rules:\n%s\n",
                 stream, at, fast.substr(from, 600).c_str(), general.substr(from, 600).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view source(reinterpret_cast<const char*>(data), size);
    if (!drevel::is_valid_utf8(source)) return -1;
    Output fast, general;
    Job first = run_captured(source, true, fast);
    if (first.result != 0) return first.result;
    Job second = run_captured(source, false, general);
    drevel::fast_paths_enabled = true;
    if (second.result != 0 || !first.comparable) return second.result;
    if (fast == general) return 0;
    if (fast.out != general.out) report_difference("standard output", fast.out, general.out);
    if (fast.err != general.err) report_difference("standard error", fast.err, general.err);
    std::abort();
}
