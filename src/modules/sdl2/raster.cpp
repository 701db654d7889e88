#include "modules/sdl2/raster.h"

#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"

namespace drevel {

namespace {

// True when the square of side 2*radius + 1 around the centre misses the
// window: no step of the circle can then reach a visible pixel.
bool circle_outside(int32_t cx, int32_t cy, int32_t radius, int width, int height) {
    int64_t r = radius;
    return int64_t(cx) + r < 0 || int64_t(cx) - r >= width || int64_t(cy) + r < 0 ||
           int64_t(cy) - r >= height;
}

} // namespace

// Sums are taken in 64 bits, so a point beyond the 32-bit range stays far
// off screen instead of wrapping onto it; points outside the window change
// no pixel and are not sent.
void draw_circle_outline(GraphicsContext& graphics, int32_t cx, int32_t cy, int32_t radius) {
    if (!graphics.has_window() || radius <= 0) return;
    const int w = graphics.visible_width(), h = graphics.visible_height();
    if (circle_outside(cx, cy, radius, w, h)) return;
    auto point = [&](int64_t x, int64_t y) {
        if (raster::inside(x, w) && raster::inside(y, h))
            graphics.plot_point(int32_t(x), int32_t(y));
    };
    const int64_t ox = cx, oy = cy;
    raster::circle_steps(radius, [&](int64_t x, int64_t y) {
        point(ox + x, oy + y);
        point(ox - x, oy + y);
        point(ox + x, oy - y);
        point(ox - x, oy - y);
        point(ox + y, oy + x);
        point(ox - y, oy + x);
        point(ox + y, oy - x);
        point(ox - y, oy - x);
    });
}

void draw_circle_filled(GraphicsContext& graphics, int32_t cx, int32_t cy, int32_t radius) {
    if (!graphics.has_window() || radius <= 0) return;
    const int w = graphics.visible_width(), h = graphics.visible_height();
    if (circle_outside(cx, cy, radius, w, h)) return;
    // One row from cx - half to cx + half; rows and spans off the window are
    // left out (plot_line cuts the rest to the window).
    auto row = [&](int64_t half, int64_t y) {
        if (!raster::inside(y, h)) return;
        int64_t left = int64_t(cx) - half, right = int64_t(cx) + half;
        if (right < 0 || left >= w) return;
        graphics.plot_line(graphics::clamp_coordinate(left), int32_t(y),
                           graphics::clamp_coordinate(right), int32_t(y));
    };
    const int64_t oy = cy;
    raster::circle_steps(radius, [&](int64_t x, int64_t y) {
        row(x, oy + y);
        row(y, oy + x);
        row(x, oy - y);
        row(y, oy - x);
    });
}

void draw_triangle_outline(GraphicsContext& graphics, int32_t x1, int32_t y1, int32_t x2,
                           int32_t y2, int32_t x3, int32_t y3) {
    if (!graphics.has_window()) return;
    const int w = graphics.visible_width(), h = graphics.visible_height();
    auto plot = [&](int32_t x, int32_t y) { graphics.plot_point(x, y); };
    raster::line_points(x1, y1, x2, y2, w, h, plot);
    raster::line_points(x2, y2, x3, y3, w, h, plot);
    raster::line_points(x3, y3, x1, y1, w, h, plot);
}

void draw_triangle_filled(GraphicsContext& graphics, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t x3, int32_t y3) {
    if (!graphics.has_window()) return;
    raster::triangle_rows(
        x1, y1, x2, y2, x3, y3, graphics.visible_height(),
        [&](int32_t left, int32_t y, int32_t right) { graphics.plot_line(left, y, right, y); });
}

} // namespace drevel
