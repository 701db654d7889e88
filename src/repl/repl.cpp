#include "repl/repl.h"

#include <climits>
#include <csignal>
#include <string>

#include "interpreter/interpreter.h"
#include "interpreter/interrupt.h"
#include "interpreter/output.h"
#include "lexer/lexer.h"
#include "lexer/unicode.h"
#include "parser/bindings.h"
#include "parser/parser.h"
#include "repl/line_source.h"

namespace drevel {

namespace {

// Ctrl-C while an input runs stops it; at the prompt it discards the line.
void on_interrupt(int) {
    interrupt_requested = 1;
}

// The handler is the REPL's alone: a script run keeps the default, which ends
// the process. No SA_RESTART, so a read waiting at the prompt returns.
struct InterruptHandler {
    struct sigaction previous {};
    InterruptHandler() {
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous);
    }
    ~InterruptHandler() { sigaction(SIGINT, &previous, nullptr); }
};

void count_brackets(std::string_view line, int32_t& brackets, int32_t& braces) {
    auto down = [](int32_t& counter) {
        if (counter != INT32_MIN) --counter;
    };
    for (char c : line) {
        switch (c) {
        case '(':
        case '[': ++brackets; break;
        case ')':
        case ']': down(brackets); break;
        case '{': ++braces; break;
        case '}': down(braces); break;
        default: break;
        }
    }
}

} // namespace

void run_repl() {
    output::write("Welcome to Drevel Interactive REPL!\nType 'exit' to quit.\n\n");
    Interpreter interpreter;
    LineSource source;
    InterruptHandler interrupt_handler;
    int32_t brackets = 0, braces = 0;
    std::string pending; // lines typed while a bracket was open
    std::string line;
    while (true) {
        const char* prompt = brackets == 0 && braces == 0 ? ">>> " : "... ";
        LineSource::Result got = source.read(prompt, line);
        if (got == LineSource::Result::End) break;
        if (got == LineSource::Result::Interrupted) {
            // Ctrl-C drops the whole input being typed, lines already
            // entered at the continuation prompt included.
            pending.clear();
            brackets = braces = 0;
            continue;
        }
        std::string_view input = trim_white_space(line);
        if (input.empty()) continue;
        if (input == "exit" || input == "quit") {
            output::write("Goodbye!\n");
            break;
        }
        count_brackets(input, brackets, braces);
        if (brackets > 0 || braces > 0) {
            pending += input;
            pending += '\n';
            continue;
        }
        std::string text = std::move(pending);
        pending.clear();
        text += input;
        TokenList tokens = tokenize(text);
        ParseResult parsed = parse_program(tokens);
        if (parsed.refusal) {
            output::error_line("Error: " + *parsed.refusal + "\n");
            continue;
        }
        add_bound_names(parsed.program, source.names());
        interpreter.resolve(parsed.program);
        for (const StmtPtr& stmt : parsed.program) {
            if (interrupt_requested) break;
            interpreter.run_top_level(*stmt);
        }
        // A top-level return has no call to take its value; left pending it
        // would cut short and be returned by the next input's first call.
        if (interpreter.has_return_value()) interpreter.take_return_value();
        if (interrupt_requested) {
            interrupt_requested = 0;
            output::error_line("Interrupted\n");
        }
        // Function values hold their bodies, so the statements can go.
    }
    output::flush();
}

} // namespace drevel
