#include "interpreter/builtins/registry.h"

#include <unordered_map>

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
    {"abs", builtins::abs, builtins::abs_of},
    {"sqrt", builtins::sqrt, builtins::sqrt_of},
    {"pow", builtins::pow},
    {"min", builtins::min},
    {"max", builtins::max},
    {"floor", builtins::floor, builtins::floor_of},
    {"ceil", builtins::ceil, builtins::ceil_of},
    {"round", builtins::round, builtins::round_of},
    {"random", builtins::random},
    {"random_range", builtins::random_range},
    {"typeof", builtins::type_of},
    {"is_number", builtins::is_number},
    {"is_string", builtins::is_string},
    {"is_array", builtins::is_array},
    {"is_dict", builtins::is_dict},
};

} // namespace

BuiltinTable core_builtins() {
    return {kCoreBuiltins, std::size(kCoreBuiltins)};
}

const BuiltinEntry* find_builtin(std::string_view name) {
    static const auto registry = [] {
        std::unordered_map<std::string_view, const BuiltinEntry*> map;
        for (BuiltinTable table : {core_builtins(), graphics_builtins()}) {
            for (size_t i = 0; i < table.count; ++i)
                map.emplace(table.entries[i].name, &table.entries[i]);
        }
        return map;
    }();
    auto it = registry.find(name);
    return it == registry.end() ? nullptr : it->second;
}

} // namespace drevel
