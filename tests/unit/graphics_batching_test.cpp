// Drawing through the context, which holds primitives back and sends them
// together, must leave the same pixels as sending every primitive to SDL on
// its own, the moment it is drawn. Each scene is drawn both ways (the
// reference straight into a second SDL window) and the frames compared
// pixel by pixel: once with the frame in batches, once after enough
// primitives that the rest of the frame goes through the pixel layer.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/raster.h"

namespace drevel {
namespace {

constexpr int kWidth = 64, kHeight = 48;

// One scene, drawable through either target.
class Painter {
  public:
    virtual ~Painter() = default;
    virtual void color(uint8_t r, uint8_t g, uint8_t b) = 0;
    virtual void clear() = 0;
    virtual void point(int x, int y) = 0;
    virtual void line(int x1, int y1, int x2, int y2) = 0;
    virtual void fill_rect(int x, int y, int w, int h) = 0;
    virtual void rect(int x, int y, int w, int h) = 0;
    virtual void fill_circle(int x, int y, int r) = 0;
    virtual void circle(int x, int y, int r) = 0;
    virtual void fill_triangle(int x1, int y1, int x2, int y2, int x3, int y3) = 0;
    virtual void triangle(int x1, int y1, int x2, int y2, int x3, int y3) = 0;
};

class ContextPainter : public Painter {
  public:
    explicit ContextPainter(GraphicsContext& g) : g_(g) {}
    void color(uint8_t r, uint8_t g, uint8_t b) override { g_.set_color(r, g, b); }
    void clear() override { g_.clear_frame(); }
    void point(int x, int y) override { g_.plot_point(x, y); }
    void line(int x1, int y1, int x2, int y2) override { g_.plot_line(x1, y1, x2, y2); }
    void fill_rect(int x, int y, int w, int h) override { g_.plot_filled_rect(x, y, w, h); }
    void rect(int x, int y, int w, int h) override { g_.plot_rect(x, y, w, h); }
    void fill_circle(int x, int y, int r) override { draw_circle_filled(g_, x, y, r); }
    void circle(int x, int y, int r) override { draw_circle_outline(g_, x, y, r); }
    void fill_triangle(int x1, int y1, int x2, int y2, int x3, int y3) override {
        draw_triangle_filled(g_, x1, y1, x2, y2, x3, y3);
    }
    void triangle(int x1, int y1, int x2, int y2, int x3, int y3) override {
        draw_triangle_outline(g_, x1, y1, x2, y2, x3, y3);
    }

  private:
    GraphicsContext& g_;
};

// Every primitive one SDL call, as the shapes are defined: circle rows and
// triangle spans as lines, outlines as points.
class DirectPainter : public Painter {
  public:
    explicit DirectPainter(SDL_Renderer* r) : r_(r) {}
    void color(uint8_t r, uint8_t g, uint8_t b) override {
        SDL_SetRenderDrawColor(r_, r, g, b, 255);
    }
    void clear() override {
        SDL_SetRenderDrawColor(r_, 0, 0, 0, 255);
        SDL_RenderClear(r_);
    }
    void point(int x, int y) override { SDL_RenderDrawPoint(r_, x, y); }
    void line(int x1, int y1, int x2, int y2) override { SDL_RenderDrawLine(r_, x1, y1, x2, y2); }
    void fill_rect(int x, int y, int w, int h) override {
        SDL_Rect area{x, y, w, h};
        SDL_RenderFillRect(r_, &area);
    }
    void rect(int x, int y, int w, int h) override {
        SDL_Rect area{x, y, w, h};
        SDL_RenderDrawRect(r_, &area);
    }
    void fill_circle(int cx, int cy, int radius) override {
        raster::circle_steps(radius, [&](int x, int y) {
            line(cx - x, cy + y, cx + x, cy + y);
            line(cx - y, cy + x, cx + y, cy + x);
            line(cx - x, cy - y, cx + x, cy - y);
            line(cx - y, cy - x, cx + y, cy - x);
        });
    }
    void circle(int cx, int cy, int radius) override {
        raster::circle_steps(radius, [&](int x, int y) {
            for (auto [px, py] : {std::pair{x, y}, {y, x}})
                for (int sy : {1, -1})
                    for (int sx : {1, -1})
                        point(cx + sx * px, cy + sy * py);
        });
    }
    void fill_triangle(int x1, int y1, int x2, int y2, int x3, int y3) override {
        raster::triangle_rows(x1, y1, x2, y2, x3, y3, 1 << 20,
                              [&](int left, int y, int right) { line(left, y, right, y); });
    }
    void triangle(int x1, int y1, int x2, int y2, int x3, int y3) override {
        auto plot = [&](int x, int y) { point(x, y); };
        constexpr int kEverywhere = 1 << 20;
        // Shifted so that the walk's window holds every point of the edge.
        auto edge = [&](int ax, int ay, int bx, int by) {
            raster::line_points(ax + kEverywhere, ay + kEverywhere, bx + kEverywhere,
                                by + kEverywhere, 2 * kEverywhere, 2 * kEverywhere,
                                [&](int x, int y) { plot(x - kEverywhere, y - kEverywhere); });
        };
        edge(x1, y1, x2, y2);
        edge(x2, y2, x3, y3);
        edge(x3, y3, x1, y1);
    }

  private:
    SDL_Renderer* r_;
};

using Scene = void (*)(Painter&);

// A span drawn red, blue over its middle, red again over part of the blue;
// the same with rectangles and points, and shapes over each other in
// colours that come back.
void colours_that_come_back(Painter& p) {
    p.color(255, 0, 0);
    p.line(5, 5, 40, 5);
    p.color(0, 0, 255);
    p.line(10, 5, 30, 5);
    p.color(255, 0, 0);
    p.line(15, 5, 20, 5);
    p.color(0, 0, 255);
    p.point(17, 5);

    p.color(255, 0, 0);
    p.fill_rect(4, 10, 20, 12);
    p.color(0, 0, 255);
    p.fill_rect(8, 12, 8, 8);
    p.color(255, 0, 0);
    p.fill_rect(10, 14, 3, 3);
    p.point(14, 18);

    p.color(0, 200, 0);
    p.fill_circle(40, 24, 9);
    p.color(255, 0, 0);
    p.fill_triangle(32, 14, 56, 20, 38, 40);
    p.color(0, 200, 0);
    p.fill_circle(44, 30, 4);
    p.color(255, 255, 0);
    p.circle(40, 24, 9);
    p.triangle(32, 14, 56, 20, 38, 40);
    // Lines and outlines SDL draws itself, between held-back shapes.
    p.color(255, 0, 255);
    p.line(2, 30, 30, 45);
    p.color(0, 255, 255);
    p.fill_rect(10, 34, 6, 6);
    p.rect(6, 28, 20, 16);
    p.color(255, 0, 255);
    p.fill_rect(12, 30, 2, 12);
}

// Shapes cut by each border and corner of the window.
void clipped_at_every_border(Painter& p) {
    const int right = kWidth - 1, bottom = kHeight - 1;
    p.color(200, 100, 0);
    p.fill_circle(0, kHeight / 2, 7);
    p.fill_circle(right, kHeight / 2, 7);
    p.fill_circle(kWidth / 2, 0, 7);
    p.fill_circle(kWidth / 2, bottom, 7);
    p.color(0, 100, 200);
    p.fill_circle(0, 0, 5);
    p.fill_circle(right, 0, 5);
    p.fill_circle(0, bottom, 5);
    p.fill_circle(right, bottom, 5);
    p.color(50, 250, 50);
    p.circle(2, 20, 6);
    p.circle(right - 2, 20, 6);
    p.circle(20, 2, 6);
    p.circle(20, bottom - 2, 6);
    p.color(250, 250, 250);
    p.fill_triangle(-20, 10, 12, 16, -5, 40);
    p.fill_triangle(right + 20, 8, right - 10, 30, right + 3, 47 + 10);
    p.fill_triangle(20, -15, 40, -3, 35, 6);
    p.fill_triangle(44, bottom + 12, 50, bottom - 6, 60, bottom + 2);
    p.triangle(-10, -10, 14, 8, 4, -20);
    p.color(128, 0, 128);
    p.fill_rect(-6, 14, 10, 4);
    p.fill_rect(right - 3, 26, 10, 4);
    p.fill_rect(28, -6, 4, 9);
    p.fill_rect(36, bottom - 2, 4, 9);
    p.fill_rect(-3, -3, 6, 6);
    p.fill_rect(-100, 40, kWidth + 200, 1);
    p.line(-30, 44, kWidth + 30, 44);
    p.line(60, -30, 60, kHeight + 30);
    p.color(255, 255, 255);
    for (auto [x, y] : {std::pair{-1, 5},
                        {kWidth, 5},
                        {5, -1},
                        {5, kHeight},
                        {0, 0},
                        {right, bottom},
                        {right, 0},
                        {0, bottom}})
        p.point(x, y);
}

// A clear in the middle of a frame covers what came before it.
void cleared_midway(Painter& p) {
    p.color(255, 0, 0);
    p.fill_rect(0, 0, 30, 30);
    p.fill_circle(40, 20, 8);
    p.clear();
    p.fill_rect(5, 5, 4, 4); // black: the clear left the colour black
    p.color(255, 0, 0);
    p.fill_rect(20, 20, 10, 3);
    p.fill_triangle(30, 30, 60, 35, 40, 47);
}

// Slanted lines of every slope and direction, steep and shallow, short and
// long, over filled shapes and each other, a few crossing the border; in
// the layer the context walks those inside the window itself.
void lines_every_way(Painter& p) {
    p.color(40, 40, 160);
    p.fill_rect(10, 8, 30, 20);
    uint32_t seed = 12345;
    auto next = [&](int limit) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % uint32_t(limit));
    };
    for (int i = 0; i < 300; ++i) {
        p.color(uint8_t(next(256)), uint8_t(next(256)), uint8_t(128 + next(128)));
        bool crossing = i % 25 == 0;
        int spread = crossing ? kWidth + 40 : kWidth;
        int x1 = next(spread) - (crossing ? 20 : 0), y1 = next(kHeight);
        int x2 = next(spread) - (crossing ? 20 : 0), y2 = next(kHeight);
        p.line(x1, y1, x2, y2);
        if (i % 50 == 0) p.fill_circle(x1, y1, 3);
    }
    // Every octant from one centre, and slopes of exactly one.
    p.color(255, 255, 255);
    for (auto [dx, dy] : {std::pair{9, 4},
                          {4, 9},
                          {-4, 9},
                          {-9, 4},
                          {-9, -4},
                          {-4, -9},
                          {4, -9},
                          {9, -4},
                          {7, 7},
                          {-7, 7},
                          {1, 2},
                          {2, 1}})
        p.line(32, 24, 32 + dx, 24 + dy);
}

std::vector<uint32_t> read_back(SDL_Renderer* renderer) {
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                   kWidth * 4),
              0)
        << SDL_GetError();
    return pixels;
}

// Where the two frames differ, as "x,y context reference" lines.
std::string differences(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& direct) {
    std::string text;
    int shown = 0;
    for (size_t i = 0; i < ours.size() && shown < 12; ++i)
        if ((ours[i] & 0xFFFFFF) != (direct[i] & 0xFFFFFF)) {
            char line[80];
            snprintf(line, sizeof line, "%zu,%zu %06x %06x\n", i % kWidth, i / kWidth,
                     ours[i] & 0xFFFFFF, direct[i] & 0xFFFFFF);
            text += line;
            ++shown;
        }
    return text;
}

class GraphicsBatching : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
        g.open_window("batched", kWidth, kHeight);
        ASSERT_TRUE(g.has_window()) << SDL_GetError();
        window = SDL_CreateWindow("direct", 0, 0, kWidth, kHeight, 0);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        renderer = SDL_CreateRenderer(window, -1, 0);
        ASSERT_NE(renderer, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        if (renderer != nullptr) SDL_DestroyRenderer(renderer);
        if (window != nullptr) SDL_DestroyWindow(window);
    }

    void expect_same_frame(Scene scene) {
        g.clear_frame();
        if (GetParam()) {
            // Off-window primitives change no pixel but count towards the
            // frame: past enough of them the frame goes on in the layer.
            for (uint32_t i = 0; i <= GraphicsContext::kLayerAfter; ++i)
                g.plot_point(-5, i);
        }
        ContextPainter ours(g);
        scene(ours);
        DirectPainter direct(renderer);
        direct.clear();
        scene(direct);
        std::vector<uint32_t> pixels;
        int w = 0, h = 0;
        ASSERT_TRUE(g.read_pixels(pixels, w, h));
        ASSERT_EQ(w, kWidth);
        std::vector<uint32_t> expected = read_back(renderer);
        EXPECT_EQ(differences(pixels, expected), "");
        // Not an empty frame by accident.
        size_t lit = 0;
        for (uint32_t p : expected)
            lit += (p & 0xFFFFFF) != 0;
        EXPECT_GT(lit, 100u);
    }

    GraphicsContext g;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
};

TEST_P(GraphicsBatching, ColoursThatComeBack) {
    expect_same_frame(colours_that_come_back);
}

TEST_P(GraphicsBatching, ClippedAtEveryBorder) {
    expect_same_frame(clipped_at_every_border);
}

TEST_P(GraphicsBatching, ClearedMidway) {
    expect_same_frame(cleared_midway);
}

TEST_P(GraphicsBatching, LinesEveryWay) {
    expect_same_frame(lines_every_way);
}

TEST_P(GraphicsBatching, FramesAfterPresentStartOver) {
    // What one frame held back must not leak into the next.
    expect_same_frame(colours_that_come_back);
    g.present_frame();
    expect_same_frame(clipped_at_every_border);
}

INSTANTIATE_TEST_SUITE_P(Modes, GraphicsBatching, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Layer" : "Batches"; });

} // namespace
} // namespace drevel
