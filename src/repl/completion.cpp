#include "repl/completion.h"

#include <algorithm>

#include "interpreter/builtins/registry.h"
#include "interpreter/native_modules.h"
#include "lexer/lexer.h"

namespace drevel {

std::vector<std::string> completions(std::string_view word, const CompletionNames& names) {
    std::vector<std::string> out;
    auto offer = [&](std::string_view candidate) {
        if (candidate.starts_with(word)) out.emplace_back(candidate);
    };
    size_t dot = word.find('.');
    if (dot != std::string_view::npos) {
        if (const NativeModule* module = find_native_module(word.substr(0, dot))) {
            for (std::string_view f : module->exports)
                offer(std::string(module->name) + "." + std::string(f));
        }
    } else {
        for (const Keyword& k : keywords())
            offer(k.text);
        for (BuiltinTable table : {core_builtins(), graphics_builtins()})
            for (size_t i = 0; i < table.count; ++i)
                offer(table.entries[i].name);
        for (const NativeModule& module : native_modules())
            offer(module.name);
        for (const std::string& name : names)
            offer(name);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace drevel
