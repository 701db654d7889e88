#include "repl/line_source.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "interpreter/input_reader.h"
#include "interpreter/interrupt.h"
#include "interpreter/output.h"
#include "repl/completion.h"

namespace drevel {

namespace {

// libedit asks for completions through a plain function; it reaches the
// session's names through this pointer.
const CompletionNames* session_names = nullptr;

char* next_completion(const char* word, int state) {
    static std::vector<std::string> found;
    static size_t next = 0;
    if (state == 0) {
        found = completions(word, *session_names);
        next = 0;
    }
    if (next >= found.size()) return nullptr;
    return strdup(found[next++].c_str()); // libedit frees it
}

// Reads one character typed at the prompt, decoded from UTF-8 (libedit takes
// what this returns as the character itself). Ctrl-C, whether it arrives as
// the signal or as its character, raises the flag and ends the line.
int read_typed_character(FILE*) {
    auto next_byte = []() -> int {
        unsigned char c;
        while (true) {
            if (interrupt_requested) return -2;
            ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n == 1) return c;
            if (n < 0 && errno == EINTR && !interrupt_requested) continue;
            return n < 0 && errno == EINTR ? -2 : EOF;
        }
    };
    int c = next_byte();
    if (c == 3 || c == -2) {
        interrupt_requested = 1;
        return '\n';
    }
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    int code = c & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        int b = next_byte();
        if (b < 0) return b == -2 ? '\n' : EOF;
        code = (code << 6) | (b & 0x3F);
    }
    return code;
}

// Saves an entered line at once, so a session that ends abruptly keeps it.
// The file is in libedit's format: a header line, then one line per entry
// with white space and backslashes written as escapes.
void append_to_history_file(const std::string& path, std::string_view line) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return;
    std::string record = std::ftell(file) == 0 ? "_HiStOrY_V2_\n" : "";
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\%03o", unsigned(uint8_t(c)));
            record += escape;
        } else {
            if (c == '\\') record += '\\';
            record += c;
        }
    }
    record += '\n';
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
}

// A dot is part of a word, so "sdl2.dr" completes as one.
char kWordBreaks[] = " \t\n\"()[]{},;:+-*/%=<>!#";

} // namespace

LineSource::LineSource()
    : terminal_(::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO) && editor_.load()) {
    if (!terminal_) return;
    // Line editing needs the terminal's character set to handle what is
    // typed beyond ASCII; numbers keep being printed and read the C way.
    std::setlocale(LC_CTYPE, "");
    // Ctrl-C is the prompt's own: its handler makes readline return.
    *editor_.catch_signals = 0;
    *editor_.getc_function = read_typed_character;
    session_names = &names_;
    *editor_.completion_entry_function = next_completion;
    *editor_.basic_word_break_characters = kWordBreaks;
    *editor_.completer_word_break_characters = kWordBreaks;
    if (const char* home = std::getenv("HOME"))
        history_path_ = std::string(home) + "/.drevel_history";
    editor_.using_history();
    if (!history_path_.empty()) editor_.read_history(history_path_.c_str());
}

LineSource::Result LineSource::read(const char* prompt, std::string& line) {
    interrupt_requested = 0;
    if (!terminal_) {
        output::write(prompt);
        output::flush_prompt();
        // The terminal driver itself drops what was typed of the line.
        const LineRead got = read_input_line(line);
        interrupt_requested = 0;
        if (got == LineRead::Interrupted) return Result::Interrupted;
        return got == LineRead::Line ? Result::Line : Result::End;
    }
    output::flush_prompt();
    char* text = editor_.readline(prompt);
    if (interrupt_requested) { // the line ended where Ctrl-C was typed
        interrupt_requested = 0;
        std::free(text);
        return Result::Interrupted;
    }
    if (!text) return Result::End;
    line = text;
    std::free(text);
    if (!line.empty()) {
        editor_.add_history(line.c_str());
        if (!history_path_.empty()) append_to_history_file(history_path_, line);
    }
    return Result::Line;
}

} // namespace drevel
