// The raster algorithms without a window: circle steps, the windowed line
// walk against a plain walk, and triangle rows on exactly computable shapes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "modules/sdl2/raster.h"

namespace drevel {
namespace {

using Points = std::vector<std::pair<int, int>>;

Points steps_of(int32_t radius) {
    Points steps;
    raster::circle_steps(radius, [&](int32_t x, int32_t y) { steps.emplace_back(x, y); });
    return steps;
}

TEST(GraphicsRaster, CircleStepsFollowTheStepRule) {
    EXPECT_EQ(steps_of(10), (Points{{10, 0}, {10, 1}, {10, 2}, {9, 3}, {9, 4}, {8, 5}, {7, 6}}));
    EXPECT_EQ(steps_of(3), (Points{{3, 0}, {2, 1}}));
    EXPECT_EQ(steps_of(1), (Points{{1, 0}}));
    EXPECT_TRUE(steps_of(0).empty());
    EXPECT_TRUE(steps_of(-5).empty());
    EXPECT_TRUE(steps_of(INT32_MIN).empty());
}

TEST(GraphicsRaster, CircleStepsEndForTheLargestRadii) {
    // Radii at and above 2^29 take the bit-30 path; every one must end with
    // y past x and x never growing.
    for (int32_t radius : {536870912, INT32_MAX}) {
        int64_t count = 0;
        int32_t last_x = radius, last_y = -1;
        bool monotone = true;
        raster::circle_steps(radius, [&](int32_t x, int32_t y) {
            monotone = monotone && x <= last_x && y == last_y + 1 && x >= y;
            last_x = x;
            last_y = y;
            ++count;
        });
        EXPECT_TRUE(monotone) << radius;
        EXPECT_GT(count, radius / 2) << radius;
        EXPECT_LE(count, int64_t(radius) + 1) << radius;
    }
}

// The line walk as written step by step, over the whole length.
Points plain_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int w, int h) {
    Points out;
    int64_t dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx - dy;
    while (true) {
        if (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h) out.emplace_back(int(x0), int(y0));
        if (x0 == x1 && y0 == y1) break;
        int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
    return out;
}

Points windowed_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int w, int h) {
    Points out;
    raster::line_points(x0, y0, x1, y1, w, h,
                        [&](int32_t x, int32_t y) { out.emplace_back(x, y); });
    return out;
}

TEST(GraphicsRaster, WindowedLineMatchesThePlainWalk) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-300, 340);
    for (int i = 0; i < 40000; ++i) {
        int x0 = coordinate(random), y0 = coordinate(random);
        int x1 = coordinate(random), y1 = coordinate(random);
        ASSERT_EQ(windowed_line(x0, y0, x1, y1, 40, 30), plain_line(x0, y0, x1, y1, 40, 30))
            << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
    // Points, axis lines and exact diagonals.
    for (auto [x0, y0, x1, y1] : std::vector<std::array<int, 4>>{
             {5, 5, 5, 5}, {-10, 3, 60, 3}, {7, -10, 7, 50}, {-5, -5, 50, 50}, {45, -3, -8, 31}}) {
        EXPECT_EQ(windowed_line(x0, y0, x1, y1, 40, 30), plain_line(x0, y0, x1, y1, 40, 30));
    }
}

TEST(GraphicsRaster, WindowedLineHandlesTheFullCoordinateRange) {
    // Four billion steps long, crossing the window on row 5.
    Points row = windowed_line(INT32_MIN, 5, INT32_MAX, 5, 40, 30);
    ASSERT_EQ(row.size(), 40u);
    EXPECT_EQ(row.front(), (std::pair{0, 5}));
    EXPECT_EQ(row.back(), (std::pair{39, 5}));
    // A steep line from far above to far below passes through the middle
    // column once per row.
    Points column = windowed_line(20, INT32_MIN, 20, INT32_MAX, 40, 30);
    EXPECT_EQ(column.size(), 30u);
    // A shallow line far away leaves nothing.
    EXPECT_TRUE(windowed_line(INT32_MIN, -1000, INT32_MAX, -999, 40, 30).empty());
    // A long diagonal whose visible part sits at the far end agrees with a
    // shortened plain walk that starts on the same lattice point.
    EXPECT_EQ(windowed_line(-3000000, -3000000, 35, 35, 40, 30),
              plain_line(-30, -30, 35, 35, 40, 30));
}

using Rows = std::vector<std::array<int, 3>>;

Rows rows_of(std::array<int32_t, 6> v, int height) {
    Rows rows;
    raster::triangle_rows(v[0], v[1], v[2], v[3], v[4], v[5], height,
                          [&](int32_t l, int32_t y, int32_t r) {
                              rows.push_back({l, y, r});
                          });
    return rows;
}

TEST(GraphicsRaster, TriangleRowsOnBothSidesOfTheLongEdge) {
    // Long edge x = 2 on the left, middle vertex (18, 8) to its right.
    Rows right_side = rows_of({2, 0, 18, 8, 2, 16}, 100);
    ASSERT_EQ(right_side.size(), 17u);
    for (int y = 0; y <= 16; ++y)
        EXPECT_EQ(right_side[y], (std::array{2, y, y <= 8 ? 2 + 2 * y : 34 - 2 * y})) << y;
    // The mirror image: middle vertex left of the long edge x = 18; the
    // vertices given in another order sort the same way.
    Rows left_side = rows_of({2, 8, 18, 16, 18, 0}, 100);
    ASSERT_EQ(left_side.size(), 17u);
    for (int y = 0; y <= 16; ++y)
        EXPECT_EQ(left_side[y], (std::array{y <= 8 ? 18 - 2 * y : 2 * y - 14, y, 18})) << y;
    // A slanted long edge x = y / 2: the left end truncates.
    Rows slanted = rows_of({8, 16, 0, 0, 16, 8}, 100);
    ASSERT_EQ(slanted.size(), 17u);
    for (int y = 0; y <= 16; ++y)
        EXPECT_EQ(slanted[y], (std::array{y / 2, y, y <= 8 ? 2 * y : 24 - y})) << y;
}

TEST(GraphicsRaster, FlatAndDegenerateTriangles) {
    Rows flat_top = rows_of({0, 0, 16, 0, 8, 8}, 100);
    ASSERT_EQ(flat_top.size(), 9u);
    for (int y = 0; y <= 8; ++y)
        EXPECT_EQ(flat_top[y], (std::array{y, y, 16 - y}));
    Rows flat_bottom = rows_of({8, 0, 0, 8, 16, 8}, 100);
    ASSERT_EQ(flat_bottom.size(), 9u);
    for (int y = 0; y <= 8; ++y)
        EXPECT_EQ(flat_bottom[y], (std::array{8 - y, y, 8 + y}));
    // One row: nothing. A line of three points: one pixel per row.
    EXPECT_TRUE(rows_of({1, 4, 9, 4, 30, 4}, 100).empty());
    Rows line = rows_of({2, 2, 6, 6, 10, 10}, 100);
    ASSERT_EQ(line.size(), 9u);
    for (int i = 0; i <= 8; ++i)
        EXPECT_EQ(line[i], (std::array{2 + i, 2 + i, 2 + i}));
}

TEST(GraphicsRaster, TriangleRowsStayInsideTheWindowRows) {
    Rows rows = rows_of({0, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX}, 30);
    ASSERT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows.front()[1], 0);
    EXPECT_EQ(rows.back()[1], 29);
    for (auto& row : rows)
        EXPECT_LE(row[0], row[2]);
    EXPECT_TRUE(rows_of({0, -50, 10, -40, 20, -1}, 30).empty());
}

TEST(GraphicsRaster, FloatsSaturateIntoThirtyTwoBits) {
    EXPECT_EQ(raster::saturate_to_int32(3.9f), 3);
    EXPECT_EQ(raster::saturate_to_int32(-3.9f), -3);
    EXPECT_EQ(raster::saturate_to_int32(1e20f), INT32_MAX);
    EXPECT_EQ(raster::saturate_to_int32(-1e20f), INT32_MIN);
    EXPECT_EQ(raster::saturate_to_int32(std::numeric_limits<float>::quiet_NaN()), 0);
}

} // namespace
} // namespace drevel
