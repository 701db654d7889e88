// The sdl2 functions for text, pictures, sound and the mouse position.
#pragma once

#include <cstddef>
#include <string_view>

#include "interpreter/value.h"

namespace drevel {

class GraphicsContext;

// Runs the function named (without the "sdl2." prefix) and stores its result
// in result; false when it is not one of these functions.
bool media_dispatch(std::string_view name, const Value* args, size_t count,
                    GraphicsContext& graphics, Value& result);

} // namespace drevel
