#include "interpreter/builtins/registry.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "interpreter/builtins/core.h"

namespace drevel {

namespace {

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// The lookup maps over the tables; rebuilt whenever modules are installed.
struct Registry {
    std::vector<const NativeModule*> modules;
    std::unordered_map<std::string_view, const BuiltinEntry*> builtins;
    std::unordered_map<std::string, ModuleFunction, NameHash, std::equal_to<>> functions;

    void rebuild() {
        builtins.clear();
        functions.clear();
        for (const BuiltinEntry& entry : core_builtins())
            builtins.emplace(entry.name, &entry);
        for (const NativeModule* module : modules) {
            for (const BuiltinEntry& entry : module->builtins)
                builtins.emplace(entry.name, &entry);
            for (const BuiltinEntry& entry : module->functions) {
                std::string qualified(module->name);
                qualified += '.';
                qualified += entry.name;
                functions.emplace(std::move(qualified), ModuleFunction{module, &entry});
            }
        }
    }
};

Registry& registry() {
    static Registry r = [] {
        Registry fresh;
        fresh.rebuild();
        return fresh;
    }();
    return r;
}

} // namespace

// The groups of core builtins; each file holds its functions and their rows.
std::span<const BuiltinEntry> core_builtins() {
    static const std::vector<BuiltinEntry> rows = [] {
        std::vector<BuiltinEntry> all;
        for (auto group : {builtins::io_builtins(), builtins::text_builtins(),
                           builtins::collection_builtins(), builtins::math_builtins()})
            all.insert(all.end(), group.begin(), group.end());
        return all;
    }();
    return rows;
}

void register_native_modules(std::span<const NativeModule* const> modules) {
    Registry& r = registry();
    r.modules.assign(modules.begin(), modules.end());
    r.rebuild();
}

std::span<const NativeModule* const> native_modules() {
    return registry().modules;
}

const BuiltinEntry* find_builtin(std::string_view name) {
    const auto& builtins = registry().builtins;
    auto it = builtins.find(name);
    return it == builtins.end() ? nullptr : it->second;
}

const NativeModule* find_native_module(std::string_view name) {
    for (const NativeModule* module : registry().modules)
        if (module->name == name) return module;
    return nullptr;
}

ModuleFunction find_module_function(std::string_view qualified_name) {
    const auto& functions = registry().functions;
    auto it = functions.find(qualified_name);
    return it == functions.end() ? ModuleFunction{} : it->second;
}

} // namespace drevel
