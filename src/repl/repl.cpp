#include "repl/repl.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
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

// Line editing and history from libedit, loaded only for a prompt on a
// terminal: every other run is spared loading it.
struct LineEditor {
    char* (*readline)(const char*) = nullptr;
    int (*add_history)(const char*) = nullptr;
    void (*using_history)() = nullptr;
    int (*read_history)(const char*) = nullptr;
    int (*write_history)(const char*) = nullptr;

    bool load() {
        void* library = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library) return false;
        auto get = [library](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
            return slot != nullptr;
        };
        return get(readline, "readline") && get(add_history, "add_history") &&
               get(using_history, "using_history") && get(read_history, "read_history") &&
               get(write_history, "write_history");
    }
};

// Reads lines with editing and history on a terminal, plain lines otherwise.
class LineSource {
  public:
    LineSource() : terminal_(::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO) && editor_.load()) {
        if (!terminal_) return;
        if (const char* home = std::getenv("HOME"))
            history_path_ = std::string(home) + "/.drevel_history";
        editor_.using_history();
        if (!history_path_.empty()) editor_.read_history(history_path_.c_str());
    }
    ~LineSource() {
        if (terminal_ && !history_path_.empty()) editor_.write_history(history_path_.c_str());
    }

    bool read(const char* prompt, std::string& line) {
        if (!terminal_) {
            output::write(prompt);
            output::flush_prompt();
            return read_input_line(line);
        }
        output::flush();
        char* text = editor_.readline(prompt);
        if (!text) return false;
        line = text;
        if (!line.empty()) editor_.add_history(text);
        std::free(text);
        return true;
    }

  private:
    LineEditor editor_;
    bool terminal_;
    std::string history_path_;
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
        for (const StmtPtr& stmt : parsed.program)
            interpreter.execute_statement(*stmt);
        // A top-level return has no call to take its value; left pending it
        // would cut short and be returned by the next input's first call.
        if (interpreter.has_return_value()) interpreter.take_return_value();
        // Function values hold their bodies, so the statements can go.
    }
    output::flush();
}

} // namespace drevel
