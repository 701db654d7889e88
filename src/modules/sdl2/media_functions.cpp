#include "modules/sdl2/media_functions.h"

#include <optional>
#include <string>
#include <utility>

#include "interpreter/builtins/argument_text.h"
#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media.h"

namespace drevel {

namespace media {

namespace {

using graphics::all_numeric;
using graphics::to_coordinate;

constexpr int kDefaultTextSize = 16;

// The text size argument at index, if given; an Error when it is not a
// number or out of range.
Value text_size(const Value* a, size_t count, size_t index, int& size) {
    size = kDefaultTextSize;
    if (count <= index) return Value::null();
    int64_t given = numeric_to_int(a[index]);
    if (given < 1 || given > TextRenderer::kMaxSize)
        return Value::error("Text size must be between 1 and 1000");
    size = int(given);
    return Value::null();
}

Value mouse_coordinate(GraphicsContext& g, bool x) {
    auto position = g.mouse_position();
    if (!position) return Value::null();
    return Value::number(x ? position->first : position->second);
}

template <Value (Audio::*Play)(const std::string&)> Value play(Value* a, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String)) return Value::error("Sound path must be a string");
    return (g.media().audio.*Play)(std::string(a[0].text()));
}

} // namespace

Value draw_text(Value* a, size_t count, GraphicsContext& g) {
    if (!all_numeric(a, 1, count > 3 ? 3 : 2))
        return Value::error("Text position and size must be numbers");
    int size;
    if (Value bad = text_size(a, count, 3, size); bad.is(ValueKind::Error)) return bad;
    if (!g.has_window()) return Value::null();
    std::string storage;
    return g.media().text.draw(g, argument_text(a[0], storage), to_coordinate(a[1]),
                               to_coordinate(a[2]), size);
}

Value text_width(Value* a, size_t count, GraphicsContext& g) {
    if (count > 1 && !a[1].is_numeric()) return Value::error("Text size must be a number");
    int size;
    if (Value bad = text_size(a, count, 1, size); bad.is(ValueKind::Error)) return bad;
    std::string storage;
    return g.media().text.width(argument_text(a[0], storage), size);
}

Value set_font(Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String)) return Value::error("Font path must be a string");
    return g.media().text.set_font(std::string(a[0].text()));
}

Value draw_image(Value* a, size_t count, GraphicsContext& g) {
    if (count == 4) return Value::error("draw_image requires 3 or 5 arguments");
    if (!a[0].is(ValueKind::String)) return Value::error("Image path must be a string");
    if (!all_numeric(a, 1, count >= 5 ? 4 : 2))
        return Value::error("Image position and size must be numbers");
    if (!g.has_window()) return Value::null();
    std::optional<std::pair<int32_t, int32_t>> size;
    if (count >= 5) size.emplace(to_coordinate(a[3]), to_coordinate(a[4]));
    return g.media().images.draw(g, std::string(a[0].text()), to_coordinate(a[1]),
                                 to_coordinate(a[2]), size);
}

Value image_size(Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String)) return Value::error("Image path must be a string");
    return g.media().images.size(g, std::string(a[0].text()));
}

Value mouse_x(Value*, size_t, GraphicsContext& g) {
    return mouse_coordinate(g, true);
}

Value mouse_y(Value*, size_t, GraphicsContext& g) {
    return mouse_coordinate(g, false);
}

Value play_sound(Value* a, size_t, GraphicsContext& g) {
    return play<&Audio::play_sound>(a, g);
}

Value play_music(Value* a, size_t, GraphicsContext& g) {
    return play<&Audio::play_music>(a, g);
}

Value stop_music(Value*, size_t, GraphicsContext& g) {
    return g.media().audio.stop_music();
}

} // namespace media

} // namespace drevel
