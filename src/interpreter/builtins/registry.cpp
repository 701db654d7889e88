#include "interpreter/builtins/registry.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "interpreter/builtins/core.h"

namespace drevel {

namespace {

constexpr BuiltinEntry kCoreBuiltins[] = {
    {"print", builtins::print},
    {"input", builtins::input},
    {"len", builtins::len},
    {"upper", builtins::upper},
    {"lower", builtins::lower},
    {"slice", builtins::slice},
    {"contains", builtins::contains},
    {"split", builtins::split},
    {"concat", builtins::concat},
    {"push", builtins::push},
    {"pop", builtins::pop},
    {"reverse", builtins::reverse},
    {"abs", builtins::abs, {}, builtins::abs_of},
    {"sqrt", builtins::sqrt, {}, builtins::sqrt_of},
    {"pow", builtins::pow},
    {"min", builtins::min},
    {"max", builtins::max},
    {"floor", builtins::floor, {}, builtins::floor_of},
    {"ceil", builtins::ceil, {}, builtins::ceil_of},
    {"round", builtins::round, {}, builtins::round_of},
    {"random", builtins::random},
    {"random_range", builtins::random_range},
    {"typeof", builtins::type_of},
    {"is_number", builtins::is_number},
    {"is_string", builtins::is_string},
    {"is_array", builtins::is_array},
    {"is_dict", builtins::is_dict},
};

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
        for (const BuiltinEntry& entry : kCoreBuiltins)
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

std::span<const BuiltinEntry> core_builtins() {
    return kCoreBuiltins;
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
