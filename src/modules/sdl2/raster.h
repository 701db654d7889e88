// The raster algorithms behind circles, triangles and triangle outlines.
//
// The generic forms call back with the points, rows or steps they produce,
// so tests can check them without a window; the draw_ functions send them to
// a graphics context. Work whose pixels would all fall outside the window is
// left out: that never changes a pixel, but keeps huge shapes from costing
// billions of renderer calls.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace drevel {

class GraphicsContext;

namespace raster {

// Every (x, y) step of the circle algorithm, in order: x starts at the
// radius, y at 0, and the step repeats while x >= y. The decision looks at
// bit 30 of its error term, which for radii below 2^29 is its sign. All
// arithmetic wraps in 32 bits; a radius of 0 or less visits nothing.
template <class Visit> void circle_steps(int32_t radius, Visit&& visit) {
    if (radius <= 0) return;
    uint32_t x = uint32_t(radius), y = 0, d = 0, t = 3;
    while (int32_t(x) >= int32_t(y)) {
        visit(int32_t(x), int32_t(y));
        // y never passes x, which starts below 2^31; stop rather than wrap.
        if (y == 0x7FFFFFFFu) break;
        y += 1;
        uint32_t e = d + t - x;
        if ((e & 0x40000000u) != 0) {
            d += t;
        } else {
            d = d + t + 3 - 2 * x;
            x -= 1;
        }
        t += 2;
    }
}

inline bool inside(int64_t v, int limit) noexcept {
    return v >= 0 && v < int64_t(limit);
}

// The points of the line from (x0, y0) to (x1, y1) as the step-by-step
// Bresenham walk visits them (err = dx - dy, both axes tested against the
// same 2*err), restricted to those inside [0, width) x [0, height).
//
// Each step moves the major axis by one, and after n steps the minor axis
// has moved floor((2*n*minor + major - 1) / (2*major)) times, so the walk
// can start where the major axis enters the window and stop where it
// leaves: a line costs at most about width (or height) steps however long
// it is.
template <class Plot>
void line_points(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int width, int height,
                 Plot&& plot) {
    const int64_t dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const bool x_major = dx >= dy;
    const int64_t steps = x_major ? dx : dy;
    // The step range over which the major coordinate lies in the window.
    const int64_t major0 = x_major ? x0 : y0;
    const int64_t major_sign = x_major ? sx : sy;
    const int64_t limit = x_major ? width : height;
    int64_t first, last;
    if (major_sign > 0) {
        first = -major0;
        last = limit - 1 - major0;
    } else {
        first = major0 - (limit - 1);
        last = major0;
    }
    if (first < 0) first = 0;
    if (last > steps) last = steps;
    if (first > last) return;

    const int64_t major = x_major ? dx : dy, minor = x_major ? dy : dx;
    const int64_t minor_moves =
        major == 0 ? 0 : int64_t((__int128(2) * first * minor + major - 1) / (__int128(2) * major));
    const int64_t kx = x_major ? first : minor_moves, ky = x_major ? minor_moves : first;
    int64_t x = x0 + sx * kx, y = y0 + sy * ky;
    int64_t err = int64_t(__int128(dx) - dy - __int128(kx) * dy + __int128(ky) * dx);
    for (int64_t n = first;; ++n) {
        if (inside(x, width) && inside(y, height)) plot(int32_t(x), int32_t(y));
        if (n == last) break;
        int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

// The points of a line from (x1, y1) to (x2, y2) as SDL's renderers draw
// it, both ends included: its own Bresenham walk, whose decision term starts
// at 2 * minor - major and moves the minor axis when it is not negative.
// Used only for lines that lie wholly inside the window, where SDL does not
// clip them first.
template <class Plot> void renderer_line_points(int x1, int y1, int x2, int y2, Plot&& plot) {
    const int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    const bool x_major = dx >= dy;
    const int major = x_major ? dx : dy, minor = x_major ? dy : dx;
    const int sx = x1 > x2 ? -1 : 1, sy = y1 > y2 ? -1 : 1;
    // Steps that move the major axis only, and steps that move both.
    const int only_x = x_major ? sx : 0, only_y = x_major ? 0 : sy;
    int d = 2 * minor - major;
    int x = x1, y = y1;
    for (int i = 0; i <= major; ++i) {
        plot(x, y);
        if (d < 0) {
            d += 2 * minor;
            x += only_x;
            y += only_y;
        } else {
            d += 2 * (minor - major);
            x += sx;
            y += sy;
        }
    }
}

// A float truncated (or rounded up) into 32 bits; beyond the range it
// saturates, NaN gives 0.
inline int32_t saturate_to_int32(float v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

// The rows of a filled triangle: emit(left, y, right) for every row y from
// the top vertex to the bottom one that lies in [0, height). Crossings are
// computed in single precision along the long edge (top to bottom) and the
// short edge (top to middle down to the middle row, then middle to bottom);
// the left end is truncated, the right end rounded up.
template <class Emit>
void triangle_rows(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                   int height, Emit&& emit) {
    struct Vertex {
        int32_t x, y;
    };
    Vertex a{x1, y1}, b{x2, y2}, c{x3, y3};
    if (b.y < a.y) std::swap(a, b);
    if (c.y < b.y) {
        Vertex v = c;
        c = b;
        if (v.y < a.y) {
            b = a;
            a = v;
        } else {
            b = v;
        }
    }
    if (a.y == c.y) return;

    struct Edge {
        float px, py, dx, f;
        float at(int64_t y, int32_t py_int) const { return px + dx * (float(y - py_int) * f); }
    };
    auto edge = [](Vertex p, Vertex q) {
        return Edge{float(p.x), float(p.y), float(int64_t(q.x) - p.x),
                    1.0f / float(int64_t(q.y) - p.y)};
    };
    const Edge long_edge = edge(a, c);
    const bool has_upper = a.y != b.y, has_lower = b.y != c.y;
    const Edge upper = has_upper ? edge(a, b) : Edge{};
    const Edge lower = has_lower ? edge(b, c) : Edge{};

    int64_t top = a.y < 0 ? 0 : a.y;
    int64_t bottom = int64_t(c.y) < int64_t(height) - 1 ? c.y : int64_t(height) - 1;
    for (int64_t y = top; y <= bottom; ++y) {
        float p = long_edge.at(y, a.y);
        float q = (has_upper && y <= b.y) ? upper.at(y, a.y) : lower.at(y, b.y);
        float lo = p < q ? p : q, hi = p < q ? q : p;
        emit(saturate_to_int32(std::trunc(lo)), int32_t(y), saturate_to_int32(std::ceil(hi)));
    }
}

} // namespace raster

// The shape operations on a context; each does nothing without a window.
void draw_circle_outline(GraphicsContext& graphics, int32_t cx, int32_t cy, int32_t radius);
void draw_circle_filled(GraphicsContext& graphics, int32_t cx, int32_t cy, int32_t radius);
void draw_triangle_outline(GraphicsContext& graphics, int32_t x1, int32_t y1, int32_t x2,
                           int32_t y2, int32_t x3, int32_t y3);
void draw_triangle_filled(GraphicsContext& graphics, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t x3, int32_t y3);

} // namespace drevel
