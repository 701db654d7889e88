// The sdl2 functions for text, pictures, sound and the mouse position.
#pragma once

#include <cstddef>

#include "interpreter/value.h"

namespace drevel {

class GraphicsContext;

namespace media {

Value draw_text(Value* args, size_t count, GraphicsContext& g);
Value text_width(Value* args, size_t count, GraphicsContext& g);
Value set_font(Value* args, size_t count, GraphicsContext& g);
Value draw_image(Value* args, size_t count, GraphicsContext& g);
Value image_size(Value* args, size_t count, GraphicsContext& g);
Value mouse_x(Value* args, size_t count, GraphicsContext& g);
Value mouse_y(Value* args, size_t count, GraphicsContext& g);
Value play_sound(Value* args, size_t count, GraphicsContext& g);
Value play_music(Value* args, size_t count, GraphicsContext& g);
Value stop_music(Value* args, size_t count, GraphicsContext& g);

} // namespace media

} // namespace drevel
