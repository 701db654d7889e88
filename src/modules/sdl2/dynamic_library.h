// Shared libraries opened at run time, the first time a script needs them,
// and C entry points that forward to them. A program that never draws text,
// an image or a sound never loads the library behind it.
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

// SDL2 itself, opened on first call; nullptr when it is not installed.
void* sdl2();

template <typename Function> Function entry(void* handle, const char* name) {
    return handle ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

} // namespace drevel::dynamic_library

// Defines the C function `name` to forward to the same name in the library
// that `library()` returns; without the library or the entry it returns
// `fallback`, the way the library itself reports failure.
#define DREVEL_FORWARD(library, ret, name, params, args, fallback)                                 \
    extern "C" ret name params {                                                                   \
        using Function = ret(SDLCALL*) params;                                                     \
        static Function function = drevel::dynamic_library::entry<Function>(library(), #name);     \
        if (!function) return fallback;                                                            \
        return function args;                                                                      \
    }
