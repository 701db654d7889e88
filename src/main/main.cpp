// Start-up: an embedded script runs by itself; otherwise the command line
// chooses one command. Everything runs on a thread with a large stack, so
// deep recursion in scripts is refused by the interpreter's own limit and
// never by the host stack.
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <unistd.h>

#include "building/module_manager.h"
#include "building/standalone_build.h"
#include "check/check_command.h"
#include "interpreter/interpreter.h"
#include "interpreter/output.h"
#include "lexer/unicode.h"
#include "main/command_line.h"
#include "main/embedded_script.h"
#include "main/run_pipeline.h"
#include "modules/native_modules.h"
#include "modules/std/std_module.h"
#include "repl/repl.h"

namespace drevel {

namespace {

[[noreturn]] void report_fatal_error(const std::string& message) {
    output::error_line("\x1b[31mError: " + message + "\x1b[0m\n");
    output::flush();
    std::exit(1);
}

int finish_module_command(std::optional<std::string> failure) {
    if (failure) report_fatal_error(*failure);
    return 0;
}

// The absolute folder a file is in (the file's links followed), for the
// script's script_folder(); empty when the file cannot be found.
std::string folder_of(const std::string& file) {
    char resolved[PATH_MAX];
    if (!realpath(file.c_str(), resolved)) return {};
    std::string path = resolved;
    size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };

int dispatch(const Command& command) {
    return std::visit(
        Overloaded{
            [](const command::Help&) {
                output::write(kHelpText);
                return 0;
            },
            [](const command::Version&) {
                output::write(kVersionText);
                return 0;
            },
            [](const command::Repl&) {
                run_repl();
                return 0;
            },
            [](const command::Run& run) {
                set_program_arguments(run.script_args);
                set_script_folder(folder_of(run.file));
                return run_file(run.file, run.debug, run.extra_debug);
            },
            [](const command::Build& build) {
                std::optional<std::string> failure = build_standalone(build.file, build.output);
                if (failure) output::error_line(*failure);
                return failure ? 1 : 0;
            },
            [](const command::Install& c) {
                return finish_module_command(install_module(c.module));
            },
            [](const command::Upgrade& c) {
                return finish_module_command(upgrade_module(c.module));
            },
            [](const command::Uninstall& c) {
                return finish_module_command(uninstall_module(c.module));
            },
            [](const command::ListModules&) { return finish_module_command(list_modules()); },
            [](const command::Check& c) { return check_files(c.files); },
            [](const command::UsageError& e) -> int { report_fatal_error(e.message); },
        },
        command);
}

// Memory that cannot be had ends the run with a fatal error instead of an
// abort. Nothing here allocates; what the script printed before is flushed.
[[noreturn]] void out_of_memory() {
    output::error_line("\x1b[31mError: Out of memory\x1b[0m\n");
    _exit(1);
}

struct Start {
    int argc;
    char** argv;
    int status = 0;
};

void run_command(Start& start) {
    if (std::optional<std::string> script = load_embedded_script()) {
        set_program_arguments({start.argv + std::min(start.argc, 1), start.argv + start.argc});
        set_script_folder(folder_of("/proc/self/exe"));
        run_script(*script, false, false);
        start.status = 0;
        return;
    }
    std::vector<std::string> args;
    for (int i = 1; i < start.argc; ++i) {
        args.emplace_back(start.argv[i]);
        if (!is_valid_utf8(args.back())) {
            output::error_line("Error: argument " + std::to_string(i) + " is not valid UTF-8\n");
            start.status = 2;
            return;
        }
    }
    start.status = dispatch(parse_command_line(args));
}

void* run_command_thread(void* data) {
    try {
        run_command(*static_cast<Start*>(data));
    } catch (const std::bad_alloc&) {
        out_of_memory();
    } catch (const std::length_error&) {
        out_of_memory(); // a size beyond what any allocation can hold
    }
    return nullptr;
}

// Room for the interpreter's deepest call chain. Where so much address space
// cannot be had, smaller stacks are tried and the call depth limit shrinks
// with them (a call of the evaluator needs well under 16 KiB of stack).
constexpr size_t kStackSizes[] = {size_t(4) << 30, size_t(1) << 30, size_t(256) << 20};
constexpr size_t kStackPerCall = 16 << 10;

bool start_on_large_stack(Start& start) {
    for (size_t size : kStackSizes) {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_t thread;
        bool started = pthread_attr_setstacksize(&attributes, size) == 0 &&
                       pthread_create(&thread, &attributes, run_command_thread, &start) == 0;
        pthread_attr_destroy(&attributes);
        if (!started) continue;
        // Signals meant for the program reach the thread that runs it (the
        // REPL's Ctrl-C must interrupt its read, not this join).
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
        max_call_depth = uint32_t(std::min<size_t>(kMaxCallDepth, size / kStackPerCall));
        pthread_join(thread, nullptr);
        return true;
    }
    return false;
}

} // namespace

} // namespace drevel

int main(int argc, char** argv) {
    using namespace drevel;
    // Writes to a closed pipe or socket fail with EPIPE, and writes past the
    // file-size limit with EFBIG, instead of killing the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    std::set_new_handler(out_of_memory);
    install_native_modules();
    // For comparing the evaluator's fast paths with the general rules.
    const char* general_only = std::getenv("DREVEL_NO_FAST_PATHS");
    if (general_only && *general_only && std::string_view(general_only) != "0")
        fast_paths_enabled = false;
    Start start{argc, argv};
    if (!start_on_large_stack(start)) {
        max_call_depth = 500; // the process's own stack
        run_command_thread(&start);
    }
    output::flush();
    return start.status;
}
