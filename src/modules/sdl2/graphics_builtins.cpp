// The twelve graphics builtins: the window, frames, shape values and the two
// painters. None of them fails: wrong arguments give Null.
#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/raster.h"
#include "modules/sdl2/sdl2_module.h"

namespace drevel {

namespace {

using graphics::all_numeric;
using graphics::to_color_component;
using graphics::to_coordinate;

Value window(Value* a, size_t count, GraphicsContext& g) {
    if (count >= 2 && all_numeric(a, 0, 2))
        g.open_window("Drevel", to_coordinate(a[0]), to_coordinate(a[1]));
    return Value::null();
}

Value rect(Value* a, size_t count, NativeContext&) {
    if (count < 4 || !all_numeric(a, 0, 4)) return Value::null();
    return Value::rect(to_coordinate(a[0]), to_coordinate(a[1]), uint32_t(to_coordinate(a[2])),
                       uint32_t(to_coordinate(a[3])));
}

Value circle(Value* a, size_t count, NativeContext&) {
    if (count < 3 || !all_numeric(a, 0, 3)) return Value::null();
    return Value::circle(to_coordinate(a[0]), to_coordinate(a[1]), uint32_t(to_coordinate(a[2])));
}

Value triangle(Value* a, size_t count, NativeContext&) {
    if (count < 6 || !all_numeric(a, 0, 6)) return Value::null();
    return Value::triangle(to_coordinate(a[0]), to_coordinate(a[1]), to_coordinate(a[2]),
                           to_coordinate(a[3]), to_coordinate(a[4]), to_coordinate(a[5]));
}

Value color(Value* a, size_t count, NativeContext&) {
    if (count < 3 || !all_numeric(a, 0, 3)) return Value::null();
    return Value::color(to_color_component(a[0]), to_color_component(a[1]),
                        to_color_component(a[2]));
}

// draw and fill: the colour is remembered even without a window; the shape
// reaches the screen only when one exists.
template <bool Filled> Value paint(Value* a, size_t count, GraphicsContext& g) {
    if (count < 2 || !a[1].is(ValueKind::Color)) return Value::null();
    const Value& shape = a[0];
    ValueKind kind = shape.kind();
    if (kind != ValueKind::Triangle && kind != ValueKind::Circle && kind != ValueKind::Rect)
        return Value::null();
    g.set_color(a[1].color_r(), a[1].color_g(), a[1].color_b());
    if (!g.has_window()) return Value::null();
    const int32_t* v = shape.shape().v;
    switch (kind) {
    case ValueKind::Triangle:
        if (Filled)
            draw_triangle_filled(g, v[0], v[1], v[2], v[3], v[4], v[5]);
        else
            draw_triangle_outline(g, v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
    case ValueKind::Circle:
        if (Filled)
            draw_circle_filled(g, v[0], v[1], v[2]);
        else
            draw_circle_outline(g, v[0], v[1], v[2]);
        break;
    default:
        if (Filled)
            g.plot_filled_rect(v[0], v[1], uint32_t(v[2]), uint32_t(v[3]));
        else
            g.plot_rect(v[0], v[1], uint32_t(v[2]), uint32_t(v[3]));
        break;
    }
    return Value::null();
}

constexpr BuiltinEntry kGraphicsBuiltins[] = {
    {"window", on_graphics<window>, takes(2)},
    {"window_width", on_graphics<window_calls::width>, takes(0)},
    {"window_height", on_graphics<window_calls::height>, takes(0)},
    {"clear", on_graphics<window_calls::clear>, takes(0)},
    {"present", on_graphics<window_calls::present>, takes(0)},
    {"is_open", on_graphics<window_calls::is_open>, takes(0)},
    {"rect", rect, takes(4)},
    {"circle", circle, takes(3)},
    {"triangle", triangle, takes(6)},
    {"color", color, takes(3)},
    {"fill", on_graphics<paint<true>>, takes(2)},
    {"draw", on_graphics<paint<false>>, takes(2)},
};

} // namespace

namespace window_calls {

Value width(Value*, size_t, GraphicsContext& g) {
    auto size = g.window_size();
    return size ? Value::number(size->first) : Value::null();
}

Value height(Value*, size_t, GraphicsContext& g) {
    auto size = g.window_size();
    return size ? Value::number(size->second) : Value::null();
}

Value clear(Value*, size_t, GraphicsContext& g) {
    g.clear_frame();
    return Value::null();
}

Value present(Value*, size_t, GraphicsContext& g) {
    g.present_frame();
    return Value::null();
}

Value is_open(Value*, size_t, GraphicsContext& g) {
    return Value::boolean(g.is_open());
}

} // namespace window_calls

std::span<const BuiltinEntry> graphics_builtins() {
    return kGraphicsBuiltins;
}

} // namespace drevel
