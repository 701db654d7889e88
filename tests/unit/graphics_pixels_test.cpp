// Shapes drawn through the graphics context into a real SDL2 software
// renderer (dummy video driver), read back and compared pixel by pixel.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/raster.h"

namespace drevel {
namespace {

using PixelSet = std::set<std::pair<int, int>>;
constexpr int kWidth = 40, kHeight = 30;

class GraphicsPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
        g.open_window("pixels", kWidth, kHeight);
        ASSERT_TRUE(g.has_window()) << SDL_GetError();
        g.clear_frame();
        g.set_color(255, 255, 255);
    }

    // Every pixel that is not black.
    PixelSet lit() {
        std::vector<uint32_t> pixels;
        int w = 0, h = 0;
        EXPECT_TRUE(g.read_pixels(pixels, w, h));
        PixelSet set;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((pixels[size_t(y * w + x)] & 0xFFFFFF) != 0) set.emplace(x, y);
        return set;
    }

    uint32_t pixel(int x, int y) {
        std::vector<uint32_t> pixels;
        int w = 0, h = 0;
        EXPECT_TRUE(g.read_pixels(pixels, w, h));
        return pixels[size_t(y * w + x)] & 0xFFFFFF;
    }

    GraphicsContext g;
};

PixelSet rows(std::initializer_list<std::array<int, 3>> spans) {
    PixelSet set;
    for (auto [left, y, right] : spans)
        for (int x = left; x <= right; ++x)
            set.emplace(x, y);
    return set;
}

TEST_F(GraphicsPixels, SmallCircleOutlines) {
    draw_circle_outline(g, 10, 10, 1);
    EXPECT_EQ(lit(), (PixelSet{{11, 10}, {9, 10}, {10, 11}, {10, 9}}));
    g.clear_frame();
    g.set_color(255, 255, 255);
    draw_circle_outline(g, 10, 10, 3);
    EXPECT_EQ(lit(), (PixelSet{{13, 10},
                               {7, 10},
                               {10, 13},
                               {10, 7},
                               {12, 11},
                               {8, 11},
                               {12, 9},
                               {8, 9},
                               {11, 12},
                               {9, 12},
                               {11, 8},
                               {9, 8}}));
}

TEST_F(GraphicsPixels, SmallCircleFill) {
    draw_circle_filled(g, 10, 10, 3);
    EXPECT_EQ(lit(), rows({{10, 7, 10},
                           {9, 8, 11},
                           {8, 9, 12},
                           {7, 10, 13},
                           {8, 11, 12},
                           {9, 12, 11},
                           {10, 13, 10}}));
}

TEST_F(GraphicsPixels, RadiusTenOutlineAndDisc) {
    // The first octant of radius 10, mirrored eight ways around (20, 15).
    const int octant[][2] = {{10, 0}, {10, 1}, {10, 2}, {9, 3}, {9, 4}, {8, 5}, {7, 6}};
    PixelSet expected;
    for (auto [x, y] : octant)
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                expected.emplace(20 + sx * x, 15 + sy * y);
                expected.emplace(20 + sx * y, 15 + sy * x);
            }
    draw_circle_outline(g, 20, 15, 10);
    PixelSet outline = lit();
    EXPECT_EQ(outline, expected);
    // The disc is every row of the outline filled between its ends.
    g.clear_frame();
    g.set_color(255, 255, 255);
    draw_circle_filled(g, 20, 15, 10);
    PixelSet disc;
    for (int y = 5; y <= 25; ++y) {
        int left = 99, right = -1;
        for (auto [px, py] : outline)
            if (py == y) left = std::min(left, px), right = std::max(right, px);
        for (int x = left; x <= right; ++x)
            disc.emplace(x, y);
    }
    EXPECT_EQ(lit(), disc);
}

TEST_F(GraphicsPixels, NonPositiveRadiusDrawsNothing) {
    draw_circle_outline(g, 10, 10, 0);
    draw_circle_filled(g, 10, 10, -4);
    EXPECT_TRUE(lit().empty());
}

TEST_F(GraphicsPixels, HugeCirclesStayExactAndEnd) {
    // The window lies deep inside: every row of it is covered.
    draw_circle_filled(g, 20, 15, 1000000000);
    EXPECT_EQ(lit().size(), size_t(kWidth * kHeight));
    g.clear_frame();
    g.set_color(255, 255, 255);
    // The outline passes far outside the window.
    draw_circle_outline(g, 20, 15, 1000000000);
    EXPECT_TRUE(lit().empty());
    // A huge circle whose left edge crosses column 5: a vertical run there.
    draw_circle_outline(g, 5 + 100000, 15, 100000);
    PixelSet edge = lit();
    EXPECT_TRUE(edge.count({5, 15}));
    for (auto [x, y] : edge)
        EXPECT_LE(x, 6);
}

TEST_F(GraphicsPixels, TrianglesFilledOnBothSidesOfTheLongEdge) {
    PixelSet expected_right, expected_left;
    for (int y = 0; y <= 16; ++y) {
        for (int x = 2; x <= (y <= 8 ? 2 + 2 * y : 34 - 2 * y); ++x)
            expected_right.emplace(x, y);
        for (int x = (y <= 8 ? 18 - 2 * y : 2 * y - 14); x <= 18; ++x)
            expected_left.emplace(x, y);
    }
    draw_triangle_filled(g, 2, 0, 18, 8, 2, 16);
    EXPECT_EQ(lit(), expected_right);
    g.clear_frame();
    g.set_color(255, 255, 255);
    draw_triangle_filled(g, 18, 16, 2, 8, 18, 0);
    EXPECT_EQ(lit(), expected_left);
}

TEST_F(GraphicsPixels, FlatTopAndFlatBottomTriangles) {
    draw_triangle_filled(g, 0, 0, 16, 0, 8, 8);
    PixelSet flat_top;
    for (int y = 0; y <= 8; ++y)
        for (int x = y; x <= 16 - y; ++x)
            flat_top.emplace(x, y);
    EXPECT_EQ(lit(), flat_top);
    g.clear_frame();
    g.set_color(255, 255, 255);
    draw_triangle_filled(g, 8, 0, 16, 8, 0, 8);
    PixelSet flat_bottom;
    for (int y = 0; y <= 8; ++y)
        for (int x = 8 - y; x <= 8 + y; ++x)
            flat_bottom.emplace(x, y);
    EXPECT_EQ(lit(), flat_bottom);
}

TEST_F(GraphicsPixels, TriangleOutlineIsThreeLinesOfPoints) {
    draw_triangle_outline(g, 2, 2, 12, 2, 2, 12);
    PixelSet expected = rows({{2, 2, 12}});
    for (int i = 0; i <= 10; ++i) {
        expected.emplace(2, 2 + i);      // vertex 3 back to vertex 1
        expected.emplace(12 - i, 2 + i); // the diagonal from vertex 2
    }
    EXPECT_EQ(lit(), expected);
    g.clear_frame();
    g.set_color(255, 255, 255);
    // A shallow edge puts several points on one row: 8 across, 2 down.
    draw_triangle_outline(g, 0, 0, 8, 2, 0, 0);
    EXPECT_EQ(lit(), (PixelSet{{0, 0},
                               {1, 0},
                               {2, 1},
                               {3, 1},
                               {4, 1},
                               {5, 1},
                               {6, 1},
                               {7, 2},
                               {8, 2},
                               {1, 0},
                               {2, 0},
                               {6, 2}}));
}

TEST_F(GraphicsPixels, DegenerateTriangles) {
    draw_triangle_filled(g, 1, 4, 9, 4, 30, 4);
    EXPECT_TRUE(lit().empty());
    draw_triangle_outline(g, 1, 4, 9, 4, 30, 4);
    EXPECT_EQ(lit(), rows({{1, 4, 30}}));
    g.clear_frame();
    g.set_color(255, 255, 255);
    draw_triangle_filled(g, 2, 2, 6, 6, 10, 10);
    PixelSet diagonal;
    for (int i = 2; i <= 10; ++i)
        diagonal.emplace(i, i);
    EXPECT_EQ(lit(), diagonal);
}

TEST_F(GraphicsPixels, HugeTriangleOutlineShowsOnlyItsVisibleEdge) {
    draw_triangle_outline(g, -2000000000, 5, 2000000000, 5, 0, 2000000000);
    EXPECT_EQ(lit(), rows({{0, 5, kWidth - 1}}));
}

TEST_F(GraphicsPixels, RectanglesAreClamped) {
    g.plot_filled_rect(3, 4, 0, 0); // sizes of 0 become 1
    EXPECT_EQ(lit(), (PixelSet{{3, 4}}));
    g.plot_filled_rect(-5, -5, 10, 8);
    EXPECT_EQ(lit(), rows({{0, 0, 4}, {0, 1, 4}, {0, 2, 4}, {3, 4, 3}}));
    g.clear_frame();
    g.set_color(255, 255, 255);
    // The width 2^32 - 1 is cut to 2^30 - 1: from x = -1000 it covers the row.
    g.plot_filled_rect(-1000, 2, 0xFFFFFFFFu, 2);
    EXPECT_EQ(lit(), rows({{0, 2, kWidth - 1}, {0, 3, kWidth - 1}}));
    g.clear_frame();
    g.set_color(255, 255, 255);
    // From the clamped left end -2^30 the same width stops short of x = 0.
    g.plot_filled_rect(INT32_MIN, 0, 0xFFFFFFFFu, 10);
    g.plot_rect(20, 20, 0xFFFFFFFFu, 0xFFFFFFFFu);
    PixelSet expected = rows({{20, 20, kWidth - 1}});
    for (int y = 21; y < kHeight; ++y)
        expected.emplace(20, y);
    EXPECT_EQ(lit(), expected);
}

TEST_F(GraphicsPixels, HugeAxisLinesAreDrawn) {
    g.plot_line(INT32_MIN, 7, INT32_MAX, 7);
    g.plot_line(9, INT32_MAX, 9, INT32_MIN);
    PixelSet expected = rows({{0, 7, kWidth - 1}});
    for (int y = 0; y < kHeight; ++y)
        expected.emplace(9, y);
    EXPECT_EQ(lit(), expected);
}

TEST_F(GraphicsPixels, ColourSurvivesClear) {
    g.set_color(0, 255, 0);
    g.plot_point(1, 1);
    g.clear_frame();
    g.set_color(0, 255, 0);
    g.plot_point(2, 2);
    EXPECT_EQ(pixel(1, 1), 0u);
    EXPECT_EQ(pixel(2, 2), 0x00FF00u);
}

TEST(GraphicsWindowColour, ColourChosenBeforeTheWindowIsForgotten) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    GraphicsContext g;
    g.set_color(255, 0, 0);
    g.open_window("colour", 8, 8);
    ASSERT_TRUE(g.has_window());
    // The new renderer does not draw red yet: asking for red again must
    // reach it.
    g.set_color(255, 0, 0);
    g.plot_point(0, 0);
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(g.read_pixels(pixels, w, h));
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0xFF0000u);
}

} // namespace
} // namespace drevel
