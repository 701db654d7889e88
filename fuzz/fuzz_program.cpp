// Whole programs: tokenize, parse and execute, as the run pipeline does, with
// a step budget. Scripts read input from an empty stream, the files and http
// modules are unavailable, and programs that would open a window or pace
// frames are skipped, so an input has no effect outside the process and
// always ends. The working directory is a fresh temporary directory (where
// `use` looks for modules). Standard output goes to /dev/null; run with
// -close_fd_mask=2 to silence the ERROR lines on standard error.
#include <fcntl.h>
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
#include "memory_cap.h"
#include "parser/parser.h"

namespace {

// Loop iterations and calls one input may take.
constexpr uint64_t kStepBudget = 100000;

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
    for (const StmtPtr& stmt : parsed.program) {
        switch (stmt->kind) {
        case StmtKind::Let: {
            auto& let = static_cast<const AssignStmt&>(*stmt);
            Value value = interpreter.evaluate(*let.value);
            if (value.is_error()) report_error("Error in global let statement for '" + let.name + "': " + value.text());
            interpreter.set_variable(let.symbol, std::move(value));
            break;
        }
        case StmtKind::Function:
        case StmtKind::Use: interpreter.execute_statement(*stmt); break;
        default: break;
        }
    }
    Value main_function = interpreter.get_variable(intern("main"));
    if (main_function.kind() == ValueKind::Function) {
        interpreter.call_user_function(main_function, nullptr, 0);
    } else {
        for (const StmtPtr& stmt : parsed.program) {
            interpreter.execute_statement(*stmt);
            if (interpreter.has_return_value()) break;
        }
    }
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
    char directory[] = "/tmp/drevel-fuzz-XXXXXX";
    if (::mkdtemp(directory) == nullptr || ::chdir(directory) != 0) std::abort();
    drevel::native_io_enabled = false;
    drevel::extra_debug = false;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view source(reinterpret_cast<const char*>(data), size);
    if (!drevel::is_valid_utf8(source)) return -1;
    try {
        drevel::TokenList tokens = drevel::tokenize(source);
        if (uses_graphics(tokens)) return -1;
        drevel::ParseResult parsed = drevel::parse_program(tokens);
        if (parsed.refusal) return 0;
        run(parsed);
    } catch (const std::bad_alloc&) {
        // Above the memory ceiling: a costly program, not a faulty one.
        drevel::output::flush();
        return -1;
    }
    drevel::output::flush();
    return 0;
}
