#include "repl/line_editor.h"

#include "platform/dynamic_library.h"

namespace drevel {

bool LineEditor::load() {
    void* library = dynamic_library::open_first({"libedit.so.2"});
    if (!library) return false;
    auto get = [library](auto& slot, const char* name) {
        return dynamic_library::load(slot, library, name);
    };
    return get(readline, "readline") && get(add_history, "add_history") &&
           get(using_history, "using_history") && get(read_history, "read_history") &&
           get(catch_signals, "rl_catch_signals") && get(getc_function, "rl_getc_function") &&
           get(completion_entry_function, "rl_completion_entry_function") &&
           get(basic_word_break_characters, "rl_basic_word_break_characters") &&
           get(completer_word_break_characters, "rl_completer_word_break_characters");
}

} // namespace drevel
