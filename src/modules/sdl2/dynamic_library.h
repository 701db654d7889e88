// SDL2 and its companion libraries are opened at run time, the first time a
// script needs them (platform/dynamic_library.h).
#pragma once

#include "platform/dynamic_library.h"

namespace drevel::dynamic_library {

// SDL2 itself, opened on first call; nullptr when it is not installed.
void* sdl2();

} // namespace drevel::dynamic_library
