// The sdl2 module: the script's interface to the graphics window, and the
// graphics builtins. The window lives in a GraphicsContext, one per
// interpreter, kept in its native context.
#pragma once

#include <cstddef>
#include <span>

#include "interpreter/builtins/registry.h"
#include "modules/sdl2/graphics_context.h"

namespace drevel {

inline GraphicsContext& graphics_of(NativeContext& context) {
    return context.state<GraphicsContext>();
}

// A native function written against the graphics context.
using GraphicsFn = Value (*)(Value* args, size_t count, GraphicsContext& graphics);
template <GraphicsFn Function>
Value on_graphics(Value* args, size_t count, NativeContext& context) {
    return Function(args, count, graphics_of(context));
}

// The calls that the graphics builtins and the sdl2 functions share (window,
// frames), under both names.
namespace window_calls {
Value width(Value* args, size_t count, GraphicsContext& graphics);
Value height(Value* args, size_t count, GraphicsContext& graphics);
Value clear(Value* args, size_t count, GraphicsContext& graphics);
Value present(Value* args, size_t count, GraphicsContext& graphics);
Value is_open(Value* args, size_t count, GraphicsContext& graphics);
} // namespace window_calls

const NativeModule& sdl2_module();
// The twelve plain-named graphics builtins (window, draw, fill, ...).
std::span<const BuiltinEntry> graphics_builtins();

} // namespace drevel
