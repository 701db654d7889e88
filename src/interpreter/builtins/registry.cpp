#include "interpreter/builtins/registry.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "interpreter/builtins/core.h"

namespace drevel {

namespace {

constexpr BuiltinEntry kCoreBuiltins[] = {
    {"print", builtins::print, takes(0, kAnyMore)},
    {"input", builtins::input, takes(1)},
    {"len", builtins::len, takes(1)},
    {"upper", builtins::upper, takes(1)},
    {"lower", builtins::lower, takes(1)},
    {"slice", builtins::slice, takes(3)},
    {"contains", builtins::contains, takes(2)},
    {"split", builtins::split, takes(2)},
    {"concat", builtins::concat, takes(0, kAnyMore)},
    {"push", builtins::push, takes(2)},
    {"pop", builtins::pop, takes(1)},
    {"reverse", builtins::reverse, takes(1)},
    {"abs", builtins::abs, takes(1), builtins::abs_of},
    {"sqrt", builtins::sqrt, takes(1), builtins::sqrt_of},
    {"pow", builtins::pow, takes(2)},
    {"min", builtins::min, takes(2, kAnyMore)},
    {"max", builtins::max, takes(2, kAnyMore)},
    {"floor", builtins::floor, takes(1), builtins::floor_of},
    {"ceil", builtins::ceil, takes(1), builtins::ceil_of},
    {"round", builtins::round, takes(1), builtins::round_of},
    {"random", builtins::random, takes(0)},
    {"random_range", builtins::random_range, takes(2)},
    {"typeof", builtins::type_of, takes(1)},
    {"is_number", builtins::is_number, takes(1)},
    {"is_string", builtins::is_string, takes(1)},
    {"is_array", builtins::is_array, takes(1)},
    {"is_dict", builtins::is_dict, takes(1)},
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
