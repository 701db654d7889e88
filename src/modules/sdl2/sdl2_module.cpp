#include "modules/sdl2/sdl2_module.h"

#include <array>
#include <string>

#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media_functions.h"
#include "modules/sdl2/raster.h"

namespace drevel {

namespace {

using graphics::all_numeric;
using graphics::to_color_component;
using graphics::to_coordinate;
using Handler = Value (*)(const Value* args, GraphicsContext& g);

// The text a key name or mode argument stands for: its display text.
std::string argument_text(const Value& v) {
    return display_text(v);
}

Value key_query(const Value& name, bool (GraphicsContext::*query)(std::string_view) const noexcept,
                const GraphicsContext& g) {
    if (name.is(ValueKind::String)) return Value::boolean((g.*query)(name.text()));
    return Value::boolean((g.*query)(display_text(name)));
}

Value window_dimension(const GraphicsContext& g, bool width) {
    auto size = g.window_size();
    if (!size) return Value::null();
    return Value::number(width ? size->first : size->second);
}

// The mode names are ASCII and the only non-ASCII character whose lower
// case is plain ASCII (the Kelvin sign) forms none of them, so an ASCII
// lower-casing decides the match exactly as a full Unicode one would.
std::string ascii_lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

Value create_window(const Value* a, GraphicsContext& g) {
    if (!a[0].is(ValueKind::String) || !all_numeric(a, 1, 2))
        return Value::error("Invalid arguments for create_window");
    g.open_window(a[0].text(), to_coordinate(a[1]), to_coordinate(a[2]));
    return Value::number(1);
}

Value set_window_title(const Value* a, GraphicsContext& g) {
    if (!a[1].is(ValueKind::String)) return Value::error("Title must be a string");
    g.set_title(a[1].text());
    return Value::null();
}

Value set_window_mode(const Value* a, GraphicsContext& g) {
    std::string mode = ascii_lower(argument_text(a[0]));
    if (mode != "windowed" && mode != "fullscreen" && mode != "windowed_fullscreen")
        return Value::error(
            "Invalid window mode. Use 'windowed', 'fullscreen', or 'windowed_fullscreen'");
    g.apply_window_mode(mode);
    return Value::null();
}

Value set_draw_color(const Value* a, GraphicsContext& g) {
    if (!all_numeric(a, 0, 3)) return Value::error("Color values must be numbers");
    g.set_color(to_color_component(a[0]), to_color_component(a[1]), to_color_component(a[2]));
    return Value::null();
}

Value set_max_fps(const Value* a, GraphicsContext& g) {
    if (!a[0].is_numeric()) return Value::error("FPS must be a number");
    int64_t fps = numeric_to_int(a[0]);
    if (fps <= 0) return Value::error("FPS must be greater than 0");
    // Caps that do not fit 32 bits mean "as fast as 32 bits can say".
    g.set_max_fps(fps > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(fps));
    return Value::null();
}

Value draw_point(const Value* a, GraphicsContext& g) {
    if (!all_numeric(a, 0, 2)) return Value::error("Coordinates must be numbers");
    g.plot_point(to_coordinate(a[0]), to_coordinate(a[1]));
    return Value::null();
}

Value draw_line(const Value* a, GraphicsContext& g) {
    if (!all_numeric(a, 0, 4)) return Value::error("Coordinates must be numbers");
    g.plot_line(to_coordinate(a[0]), to_coordinate(a[1]), to_coordinate(a[2]), to_coordinate(a[3]));
    return Value::null();
}

template <bool Filled> Value rectangle(const Value* a, GraphicsContext& g) {
    if (!all_numeric(a, 0, 4)) return Value::error("Rectangle parameters must be numbers");
    int32_t x = to_coordinate(a[0]), y = to_coordinate(a[1]);
    uint32_t w = uint32_t(to_coordinate(a[2])), h = uint32_t(to_coordinate(a[3]));
    if (Filled)
        g.plot_filled_rect(x, y, w, h);
    else
        g.plot_rect(x, y, w, h);
    return Value::null();
}

template <bool Filled> Value circle(const Value* a, GraphicsContext& g) {
    if (!all_numeric(a, 0, 3)) return Value::error("Circle parameters must be numbers");
    int32_t x = to_coordinate(a[0]), y = to_coordinate(a[1]), r = to_coordinate(a[2]);
    if (Filled)
        draw_circle_filled(g, x, y, r);
    else
        draw_circle_outline(g, x, y, r);
    return Value::null();
}

template <bool Filled> Value triangle(const Value* a, GraphicsContext& g) {
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

struct Function {
    std::string_view name; // without the "sdl2." prefix
    size_t arguments;      // fewer give count_message
    const char* count_message;
    Handler handler;
};

const std::array<Function, 25> kFunctions{{
    {"init", 0, nullptr, [](const Value*, GraphicsContext&) { return Value::boolean(true); }},
    {"create_window", 3, "create_window requires 3 arguments", create_window},
    {"destroy_window", 0, nullptr,
     [](const Value*, GraphicsContext& g) {
         g.set_open(false);
         return Value::null();
     }},
    {"is_window_open", 0, nullptr,
     [](const Value*, GraphicsContext& g) { return Value::boolean(g.is_open()); }},
    {"set_window_title", 2, "set_window_title requires 2 arguments", set_window_title},
    {"set_window_mode", 1, "set_window_mode requires a mode string", set_window_mode},
    {"get_window_mode", 0, nullptr,
     [](const Value*, GraphicsContext& g) { return Value::string(g.window_mode()); }},
    {"get_window_width", 0, nullptr,
     [](const Value*, GraphicsContext& g) { return window_dimension(g, true); }},
    {"get_window_height", 0, nullptr,
     [](const Value*, GraphicsContext& g) { return window_dimension(g, false); }},
    {"clear_screen", 0, nullptr,
     [](const Value*, GraphicsContext& g) {
         g.clear_frame();
         return Value::null();
     }},
    {"render_present", 0, nullptr,
     [](const Value*, GraphicsContext& g) {
         g.present_frame();
         return Value::null();
     }},
    {"set_draw_color", 3, "set_draw_color requires 3 arguments", set_draw_color},
    {"set_max_fps", 1, "set_max_fps requires an FPS value", set_max_fps},
    {"delta_time", 0, nullptr,
     [](const Value*, GraphicsContext& g) { return Value::floating(g.delta_time()); }},
    {"draw_point", 2, "draw_point requires 2 arguments", draw_point},
    {"draw_line", 4, "draw_line requires 4 arguments", draw_line},
    {"draw_rect", 4, "draw_rect requires 4 arguments", rectangle<false>},
    {"fill_rect", 4, "fill_rect requires 4 arguments", rectangle<true>},
    {"draw_circle", 3, "draw_circle requires 3 arguments", circle<false>},
    {"fill_circle", 3, "fill_circle requires 3 arguments", circle<true>},
    {"draw_triangle", 6, "draw_triangle requires 6 arguments", triangle<false>},
    {"fill_triangle", 6, "fill_triangle requires 6 arguments", triangle<true>},
    {"get_input_pressed", 1, "get_input_pressed requires a key name",
     [](const Value* a, GraphicsContext& g) {
         return key_query(a[0], &GraphicsContext::key_pressed, g);
     }},
    {"get_input_released", 1, "get_input_released requires a key name",
     [](const Value* a, GraphicsContext& g) {
         return key_query(a[0], &GraphicsContext::key_released, g);
     }},
    {"get_input_held", 1, "get_input_held requires a key name",
     [](const Value* a, GraphicsContext& g) {
         return key_query(a[0], &GraphicsContext::key_held, g);
     }},
}};

} // namespace

bool sdl2_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                   GraphicsContext& graphics, Value& result) {
    constexpr std::string_view prefix = "sdl2.";
    if (qualified_name.substr(0, prefix.size()) != prefix) return false;
    std::string_view name = qualified_name.substr(prefix.size());
    for (const Function& f : kFunctions) {
        if (f.name.size() != name.size() || f.name != name) continue;
        if (count < f.arguments)
            result = Value::error(f.count_message);
        else
            result = f.handler(args, graphics);
        return true;
    }
    return media_dispatch(name, args, count, graphics, result);
}

} // namespace drevel
