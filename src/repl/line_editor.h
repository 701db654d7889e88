// libedit, loaded only for a prompt on a terminal: every other run is spared
// loading it. Its readline interface gives editing, history and completion.
#pragma once

#include <cstdio>
#include <set>
#include <string>

namespace drevel {

// Names defined so far in the session, offered by Tab.
using CompletionNames = std::set<std::string>;

struct LineEditor {
    using Generator = char* (*)(const char*, int);

    char* (*readline)(const char*) = nullptr;
    int (*add_history)(const char*) = nullptr;
    void (*using_history)() = nullptr;
    int (*read_history)(const char*) = nullptr;
    // Library variables, set before the first readline call.
    int* catch_signals = nullptr;
    int (**getc_function)(FILE*) = nullptr;
    Generator* completion_entry_function = nullptr;
    const char** basic_word_break_characters = nullptr;
    char** completer_word_break_characters = nullptr;

    bool load();
};

} // namespace drevel
