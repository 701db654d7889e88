// Shared libraries opened at run time, the first time something needs them
// (SDL2 and its companions for a window, ICU for a character outside ASCII,
// libedit for a prompt on a terminal), and C entry points that forward to
// them. A run that never needs a library never loads it.
#pragma once

#include <dlfcn.h>

#include <initializer_list>

namespace drevel::dynamic_library {

// The first of the names that dlopen accepts, or nullptr when none does.
inline void* open_first(std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return handle;
    return nullptr;
}

// The entry point or variable `name` of an opened library, as the type the
// caller stores it in; nullptr without the library or the name.
template <typename Pointer> Pointer entry(void* handle, const char* name) {
    return handle ? reinterpret_cast<Pointer>(dlsym(handle, name)) : nullptr;
}

// Fills slot with the entry of that name; false when there is none.
template <typename Pointer> bool load(Pointer& slot, void* handle, const char* name) {
    slot = entry<Pointer>(handle, name);
    return slot != nullptr;
}

} // namespace drevel::dynamic_library

// Defines the C function `name` to forward to the same name in the library
// that `library()` returns; without the library or the entry it returns
// `fallback`, the way the library itself reports failure.
#define DREVEL_FORWARD(library, ret, name, params, args, fallback)                                 \
    extern "C" ret name params {                                                                   \
        using Function = ret(*) params;                                                            \
        static Function function = drevel::dynamic_library::entry<Function>(library(), #name);     \
        if (!function) return fallback;                                                            \
        return function args;                                                                      \
    }
