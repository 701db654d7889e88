// Whole programs: tokenize, parse and execute, as the run pipeline does, with
// a step budget. Scripts read input from an empty stream, the files and http
// modules are unavailable, and programs that would open a window or pace
// frames are skipped, so an input has no effect outside the process and
// always ends. The working directory is a fresh temporary directory (where
// `use` looks for modules). Standard output goes to /dev/null; run with
// -close_fd_mask=2 to silence the ERROR lines on standard error.
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdint>
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

void run(const drevel::ParseResult& parsed) {
    using namespace drevel;
    Interpreter interpreter;
    interpreter.set_step_budget(kStepBudget);
    run_program(interpreter, parsed.program);
}

struct Job {
    std::string_view source;
    int result = 0;
};

void* run_job(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    try {
        drevel::TokenList tokens = drevel::tokenize(job.source);
        if (uses_graphics(tokens)) {
            job.result = -1;
            return nullptr;
        }
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
    drevel::native_io_enabled = false;
    drevel::extra_debug = false;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Job job{std::string_view(reinterpret_cast<const char*>(data), size)};
    if (!drevel::is_valid_utf8(job.source)) return -1;
    fuzz_memory::begin_input();
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_t thread;
    if (pthread_attr_setstacksize(&attributes, kStackSize) != 0 ||
        pthread_create(&thread, &attributes, run_job, &job) != 0) {
        std::abort();
    }
    pthread_attr_destroy(&attributes);
    pthread_join(thread, nullptr);
    return job.result;
}
