#include "modules/sdl2/sdl2_module.h"

#include <string>

#include "interpreter/builtins/argument_text.h"
#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media_functions.h"
#include "modules/sdl2/raster.h"

namespace drevel {

namespace {

using graphics::all_numeric;
using graphics::to_color_component;
using graphics::to_coordinate;

Value key_query(const Value& name, bool (GraphicsContext::*query)(std::string_view) const noexcept,
                const GraphicsContext& g) {
    std::string storage;
    return Value::boolean((g.*query)(argument_text(name, storage)));
}

// The mode names are ASCII and the only non-ASCII character whose lower
// case is plain ASCII (the Kelvin sign) forms none of them, so an ASCII
// lower-casing decides the match exactly as a full Unicode one would.
std::string ascii_lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

Value create_window(Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String) || !all_numeric(a, 1, 2))
        return Value::error("Invalid arguments for create_window");
    g.open_window(a[0].text(), to_coordinate(a[1]), to_coordinate(a[2]));
    return Value::number(1);
}

Value set_window_title(Value* a, size_t, GraphicsContext& g) {
    if (!a[1].is(ValueKind::String)) return Value::error("Title must be a string");
    g.set_title(a[1].text());
    return Value::null();
}

Value set_window_mode(Value* a, size_t, GraphicsContext& g) {
    std::string mode = ascii_lower(argument_text(a[0]));
    if (mode != "windowed" && mode != "fullscreen" && mode != "windowed_fullscreen")
        return Value::error(
            "Invalid window mode. Use 'windowed', 'fullscreen', or 'windowed_fullscreen'");
    g.apply_window_mode(mode);
    return Value::null();
}

Value set_draw_color(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 3)) return Value::error("Color values must be numbers");
    g.set_color(to_color_component(a[0]), to_color_component(a[1]), to_color_component(a[2]));
    return Value::null();
}

Value set_max_fps(Value* a, size_t, GraphicsContext& g) {
    if (!a[0].is_numeric()) return Value::error("FPS must be a number");
    int64_t fps = numeric_to_int(a[0]);
    if (fps <= 0) return Value::error("FPS must be greater than 0");
    // Caps that do not fit 32 bits mean "as fast as 32 bits can say".
    g.set_max_fps(fps > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(fps));
    return Value::null();
}

Value draw_point(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 2)) return Value::error("Coordinates must be numbers");
    g.plot_point(to_coordinate(a[0]), to_coordinate(a[1]));
    return Value::null();
}

Value draw_line(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 4)) return Value::error("Coordinates must be numbers");
    g.plot_line(to_coordinate(a[0]), to_coordinate(a[1]), to_coordinate(a[2]), to_coordinate(a[3]));
    return Value::null();
}

template <bool Filled> Value rectangle(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 4)) return Value::error("Rectangle parameters must be numbers");
    int32_t x = to_coordinate(a[0]), y = to_coordinate(a[1]);
    uint32_t w = uint32_t(to_coordinate(a[2])), h = uint32_t(to_coordinate(a[3]));
    if (Filled)
        g.plot_filled_rect(x, y, w, h);
    else
        g.plot_rect(x, y, w, h);
    return Value::null();
}

template <bool Filled> Value circle(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 3)) return Value::error("Circle parameters must be numbers");
    int32_t x = to_coordinate(a[0]), y = to_coordinate(a[1]), r = to_coordinate(a[2]);
    if (Filled)
        draw_circle_filled(g, x, y, r);
    else
        draw_circle_outline(g, x, y, r);
    return Value::null();
}

template <bool Filled> Value triangle(Value* a, size_t, GraphicsContext& g) {
    if (!all_numeric(a, 0, 6)) return Value::error("Triangle parameters must be numbers");
    int32_t c[6];
    for (int i = 0; i < 6; ++i)
        c[i] = to_coordinate(a[i]);
    if (Filled)
        draw_triangle_filled(g, c[0], c[1], c[2], c[3], c[4], c[5]);
    else
        draw_triangle_outline(g, c[0], c[1], c[2], c[3], c[4], c[5]);
    return Value::null();
}

Value init(Value*, size_t, GraphicsContext&) {
    return Value::boolean(true);
}

Value destroy_window(Value*, size_t, GraphicsContext& g) {
    g.set_open(false);
    return Value::null();
}

Value get_window_mode(Value*, size_t, GraphicsContext& g) {
    return Value::string(g.window_mode());
}

Value delta_time(Value*, size_t, GraphicsContext& g) {
    return Value::floating(g.delta_time());
}

template <bool (GraphicsContext::*Query)(std::string_view) const noexcept>
Value key_state(Value* a, size_t, GraphicsContext& g) {
    return key_query(a[0], Query, g);
}

constexpr BuiltinEntry kFunctions[] = {
    {"init", on_graphics<init>, takes(0)},
    {"create_window", on_graphics<create_window>, {3, "create_window requires 3 arguments"}},
    {"destroy_window", on_graphics<destroy_window>, takes(0)},
    {"set_window_title",
     on_graphics<set_window_title>,
     {2, "set_window_title requires 2 arguments"}},
    {"set_window_mode",
     on_graphics<set_window_mode>,
     {1, "set_window_mode requires a mode string"}},
    {"get_window_mode", on_graphics<get_window_mode>, takes(0)},
    {"clear_screen", on_graphics<window_calls::clear>, takes(0)},
    {"render_present", on_graphics<window_calls::present>, takes(0)},
    {"set_draw_color", on_graphics<set_draw_color>, {3, "set_draw_color requires 3 arguments"}},
    {"set_max_fps", on_graphics<set_max_fps>, {1, "set_max_fps requires an FPS value"}},
    {"delta_time", on_graphics<delta_time>, takes(0)},
    {"draw_point", on_graphics<draw_point>, {2, "draw_point requires 2 arguments"}},
    {"draw_line", on_graphics<draw_line>, {4, "draw_line requires 4 arguments"}},
    {"draw_rect", on_graphics<rectangle<false>>, {4, "draw_rect requires 4 arguments"}},
    {"fill_rect", on_graphics<rectangle<true>>, {4, "fill_rect requires 4 arguments"}},
    {"draw_circle", on_graphics<circle<false>>, {3, "draw_circle requires 3 arguments"}},
    {"fill_circle", on_graphics<circle<true>>, {3, "fill_circle requires 3 arguments"}},
    {"draw_triangle", on_graphics<triangle<false>>, {6, "draw_triangle requires 6 arguments"}},
    {"fill_triangle", on_graphics<triangle<true>>, {6, "fill_triangle requires 6 arguments"}},
    {"get_window_width", on_graphics<window_calls::width>, takes(0)},
    {"get_window_height", on_graphics<window_calls::height>, takes(0)},
    {"is_window_open", on_graphics<window_calls::is_open>, takes(0)},
    {"get_input_pressed",
     on_graphics<key_state<&GraphicsContext::key_pressed>>,
     {1, "get_input_pressed requires a key name"}},
    {"get_input_released",
     on_graphics<key_state<&GraphicsContext::key_released>>,
     {1, "get_input_released requires a key name"}},
    {"get_input_held",
     on_graphics<key_state<&GraphicsContext::key_held>>,
     {1, "get_input_held requires a key name"}},
    {"draw_text", on_graphics<media::draw_text>, {3, "draw_text requires 3 or 4 arguments", 3, 4}},
    {"set_font", on_graphics<media::set_font>, {1, "set_font requires a font path"}},
    {"text_width",
     on_graphics<media::text_width>,
     {1, "text_width requires 1 or 2 arguments", 1, 2}},
    {"get_mouse_x", on_graphics<media::mouse_x>, takes(0)},
    {"get_mouse_y", on_graphics<media::mouse_y>, takes(0)},
    {"draw_image",
     on_graphics<media::draw_image>,
     {3, "draw_image requires 3 or 5 arguments", 3, 5}},
    {"image_size", on_graphics<media::image_size>, {1, "image_size requires an image path"}},
    {"play_sound", on_graphics<media::play_sound>, {1, "play_sound requires a file path"}},
    {"play_music", on_graphics<media::play_music>, {1, "play_music requires a file path"}},
    {"stop_music", on_graphics<media::stop_music>, takes(0)},
};

} // namespace

const NativeModule& sdl2_module() {
    static const NativeModule module{"sdl2", "SDL2", false, kFunctions, graphics_builtins()};
    return module;
}

} // namespace drevel
