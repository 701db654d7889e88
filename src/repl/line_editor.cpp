#include "repl/line_editor.h"

#include <dlfcn.h>
#include <type_traits>

namespace drevel {

bool LineEditor::load() {
    void* library = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    auto get = [library](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
        return slot != nullptr;
    };
    return get(readline, "readline") && get(add_history, "add_history") &&
           get(using_history, "using_history") && get(read_history, "read_history") &&
           get(catch_signals, "rl_catch_signals") && get(getc_function, "rl_getc_function") &&
           get(completion_entry_function, "rl_completion_entry_function") &&
           get(basic_word_break_characters, "rl_basic_word_break_characters") &&
           get(completer_word_break_characters, "rl_completer_word_break_characters");
}

} // namespace drevel
