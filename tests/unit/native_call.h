// Calling registered native functions by name, the way a script's call
// reaches them: through the registry, with its arity rule. The modules are
// installed for every test (native_modules_environment.cpp).
#pragma once

#include <string_view>

#include "interpreter/builtins/registry.h"

namespace drevel::testing_support {

// A "module.function" name: false when no installed module has it.
inline bool call_module_function(std::string_view qualified, Value* args, size_t count,
                                 NativeContext& context, Value& result) {
    ModuleFunction function = find_module_function(qualified);
    if (!function.entry) return false;
    result = call_native(*function.entry, args, count, context);
    return true;
}

// A plain builtin name: false when neither the core nor a module has it.
inline bool call_builtin(std::string_view name, Value* args, size_t count, NativeContext& context,
                         Value& result) {
    const BuiltinEntry* entry = find_builtin(name);
    if (!entry) return false;
    result = call_native(*entry, args, count, context);
    return true;
}

} // namespace drevel::testing_support
