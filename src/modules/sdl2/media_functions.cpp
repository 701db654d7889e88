#include "modules/sdl2/media_functions.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media.h"

namespace drevel {

namespace {

using graphics::all_numeric;
using graphics::to_coordinate;
using Handler = Value (*)(const Value* args, size_t count, GraphicsContext& g);

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

// The display text of a value; a string's own text without a copy.
std::string_view shown_text(const Value& v, std::string& storage) {
    if (v.is(ValueKind::String)) return v.text();
    storage = display_text(v);
    return storage;
}

Value draw_text(const Value* a, size_t count, GraphicsContext& g) {
    if (!all_numeric(a, 1, count > 3 ? 3 : 2))
        return Value::error("Text position and size must be numbers");
    int size;
    if (Value bad = text_size(a, count, 3, size); bad.is(ValueKind::Error)) return bad;
    if (!g.has_window()) return Value::null();
    std::string storage;
    return g.media().text.draw(g, shown_text(a[0], storage), to_coordinate(a[1]),
                               to_coordinate(a[2]), size);
}

Value text_width(const Value* a, size_t count, GraphicsContext& g) {
    if (count > 1 && !a[1].is_numeric()) return Value::error("Text size must be a number");
    int size;
    if (Value bad = text_size(a, count, 1, size); bad.is(ValueKind::Error)) return bad;
    std::string storage;
    return g.media().text.width(shown_text(a[0], storage), size);
}

Value set_font(const Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String)) return Value::error("Font path must be a string");
    return g.media().text.set_font(std::string(a[0].text()));
}

Value draw_image(const Value* a, size_t count, GraphicsContext& g) {
    if (count == 4) return Value::error("draw_image requires 3 or 5 arguments");
    if (!a[0].is(ValueKind::String)) return Value::error("Image path must be a string");
    if (!all_numeric(a, 1, count >= 5 ? 4 : 2))
        return Value::error("Image position and size must be numbers");
    if (!g.has_window()) return Value::null();
    std::optional<std::pair<int32_t, int32_t>> size;
    if (count >= 5) size.emplace(to_coordinate(a[3]), to_coordinate(a[4]));
    return g.media().images.draw(g, std::string(a[0].text()), to_coordinate(a[1]), to_coordinate(a[2]), size);
}

Value mouse_coordinate(GraphicsContext& g, bool x) {
    auto position = g.mouse_position();
    if (!position) return Value::null();
    return Value::number(x ? position->first : position->second);
}

template <Value (Audio::*Play)(const std::string&)>
Value play(const Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String)) return Value::error("Sound path must be a string");
    return (g.media().audio.*Play)(std::string(a[0].text()));
}

struct Function {
    std::string_view name;
    size_t arguments; // fewer give count_message
    const char* count_message;
    Handler handler;
};

const std::array<Function, 9> kFunctions{{
    {"draw_text", 3, "draw_text requires 3 or 4 arguments", draw_text},
    {"text_width", 1, "text_width requires 1 or 2 arguments", text_width},
    {"set_font", 1, "set_font requires a font path", set_font},
    {"draw_image", 3, "draw_image requires 3 or 5 arguments", draw_image},
    {"get_mouse_x", 0, nullptr,
     [](const Value*, size_t, GraphicsContext& g) { return mouse_coordinate(g, true); }},
    {"get_mouse_y", 0, nullptr,
     [](const Value*, size_t, GraphicsContext& g) { return mouse_coordinate(g, false); }},
    {"play_sound", 1, "play_sound requires a file path", play<&Audio::play_sound>},
    {"play_music", 1, "play_music requires a file path", play<&Audio::play_music>},
    {"stop_music", 0, nullptr,
     [](const Value*, size_t, GraphicsContext& g) { return g.media().audio.stop_music(); }},
}};

} // namespace

bool media_dispatch(std::string_view name, const Value* args, size_t count,
                    GraphicsContext& graphics, Value& result) {
    for (const Function& f : kFunctions) {
        if (f.name != name) continue;
        result =
            count < f.arguments ? Value::error(f.count_message) : f.handler(args, count, graphics);
        return true;
    }
    return false;
}

} // namespace drevel
