#include "repl/repl.h"

#include <climits>
#include <cstdlib>
#include <editline/readline.h>
#include <string>
#include <unistd.h>

#include "interpreter/input_reader.h"
#include "interpreter/interpreter.h"
#include "interpreter/output.h"
#include "lexer/lexer.h"
#include "lexer/unicode.h"
#include "parser/parser.h"

namespace drevel {

namespace {

// Reads lines with editing and history on a terminal, plain lines otherwise.
class LineSource {
public:
    LineSource() : terminal_(::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)) {
        if (!terminal_) return;
        if (const char* home = std::getenv("HOME")) history_path_ = std::string(home) + "/.drevel_history";
        using_history();
        if (!history_path_.empty()) read_history(history_path_.c_str());
    }
    ~LineSource() {
        if (terminal_ && !history_path_.empty()) write_history(history_path_.c_str());
    }

    bool read(const char* prompt, std::string& line) {
        if (!terminal_) {
            output::write(prompt);
            output::flush();
            return read_input_line(line);
        }
        output::flush();
        char* text = readline(prompt);
        if (!text) return false;
        line = text;
        if (!line.empty()) add_history(text);
        std::free(text);
        return true;
    }

private:
    bool terminal_;
    std::string history_path_;
};

void count_brackets(std::string_view line, int32_t& brackets, int32_t& braces) {
    auto down = [](int32_t& counter) {
        if (counter != INT32_MIN) --counter;
    };
    for (char c : line) {
        switch (c) {
        case '(': case '[': ++brackets; break;
        case ')': case ']': down(brackets); break;
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
    int32_t brackets = 0, braces = 0;
    std::string pending; // lines typed while a bracket was open
    std::string line;
    while (true) {
        const char* prompt = brackets == 0 && braces == 0 ? ">>> " : "... ";
        if (!source.read(prompt, line)) break;
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
        interpreter.ensure_slots();
        for (const StmtPtr& stmt : parsed.program) interpreter.execute_statement(*stmt);
        // Function values hold their bodies, so the statements can go.
    }
    output::flush();
}

} // namespace drevel
