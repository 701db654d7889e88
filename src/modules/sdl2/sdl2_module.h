// The sdl2 module: the script's interface to the graphics window.
#pragma once

#include <cstddef>
#include <string_view>

#include "interpreter/value.h"

namespace drevel {

class GraphicsContext;

// Runs the sdl2 function named by qualified_name ("sdl2.create_window", ...)
// and stores its result (possibly an Error value) in result. Returns false
// when the module has no such function.
bool sdl2_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                   GraphicsContext& graphics, Value& result);

} // namespace drevel
