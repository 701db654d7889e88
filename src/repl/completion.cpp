#include "repl/completion.h"

#include <algorithm>

#include "interpreter/builtins/registry.h"
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
            for (const BuiltinEntry& f : module->functions)
                offer(std::string(module->name) + "." + std::string(f.name));
        }
    } else {
        for (const Keyword& k : keywords())
            offer(k.text);
        for (const BuiltinEntry& f : core_builtins())
            offer(f.name);
        for (const NativeModule* module : native_modules()) {
            offer(module->name);
            for (const BuiltinEntry& f : module->builtins)
                offer(f.name);
        }
        for (const std::string& name : names)
            offer(name);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace drevel
