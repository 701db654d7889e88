// The points and spans drawn since the renderer last drew, kept as pixels
// in a buffer of the renderer's size and handed to it as one texture.
//
// Drawing a few thousand shapes a frame as one renderer call per span costs
// the renderer far more than the pixels do; here a span is a fill of memory.
// Untouched pixels stay fully transparent and drawn ones fully opaque, so
// blending the texture over the frame gives exactly the pixels the spans
// would have given one by one, in the order they were drawn.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct SDL_Rect;
struct SDL_Renderer;
struct SDL_Texture;

namespace drevel {

class DrawLayer {
  public:
    DrawLayer() = default;
    ~DrawLayer();
    DrawLayer(const DrawLayer&) = delete;
    DrawLayer& operator=(const DrawLayer&) = delete;

    // Sizes the layer to the renderer's output, dropping what it holds.
    // False, and no layer, when the size is too large for one texture or
    // the renderer cannot make it.
    bool resize(SDL_Renderer* renderer, int width, int height);
    bool active() const noexcept { return texture_ != nullptr; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    bool empty() const noexcept { return !drawn_; }

    // Opaque 0xAARRGGBB pixels; callers keep x, y inside the layer.
    void put_pixel(int x, int y, uint32_t argb) {
        pixels_[size_t(y) * size_t(width_) + size_t(x)] = argb;
        touch(x, y, x, y);
    }
    // One row from left to right; callers keep 0 <= left <= right and y
    // inside the window, which the layer may be narrower than.
    void fill_span(int left, int right, int y, uint32_t argb) {
        if (right >= width_) right = width_ - 1;
        if (y >= height_ || left > right) return;
        uint32_t* row = pixels_.data() + size_t(y) * size_t(width_);
        std::fill(row + left, row + right + 1, argb);
        touch(left, y, right, y);
    }
    // Clips the rectangle [x, x + w) x [y, y + h) to the layer.
    void fill_rect(int64_t x, int64_t y, int64_t w, int64_t h, uint32_t argb);

    // Blends what was drawn over the renderer's target and starts empty.
    void send(SDL_Renderer* renderer);
    // Forgets what was drawn (the frame is about to be cleared).
    void discard();
    // Forgets what was drawn and makes the whole layer opaque in one
    // colour: the next send then replaces the frame, as a clear would
    // before the pixels drawn since, and needs no blending.
    void cover(uint32_t argb);
    // Gives back the texture and the memory; the layer is inactive until
    // the next resize. Must come before the renderer is destroyed.
    void release();

  private:
    // Marks the columns left..right of the bands of rows top..bottom.
    void touch(int left, int top, int right, int bottom) {
        drawn_ = true;
        for (int band = top >> kBandShift; band <= bottom >> kBandShift; ++band) {
            Band& b = bands_[size_t(band)];
            if (left < b.left) b.left = left;
            if (right > b.right) b.right = right;
        }
    }
    // Calls visit(area) for each run of neighbouring bands that hold drawn
    // pixels, the area spanning the columns drawn in any of them, and
    // empties those bands.
    template <class Visit> void take_areas(Visit&& visit);
    void wipe(const SDL_Rect& area);

    std::vector<uint32_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    SDL_Texture* texture_ = nullptr;
    // What was drawn since the last send, as the columns touched in each
    // band of 16 rows: the layer sends and wipes only those areas, so a
    // frame of a few small shapes costs little.
    static constexpr int kBandShift = 4;
    struct Band {
        int left = INT32_MAX, right = -1;
    };
    std::vector<Band> bands_;
    bool drawn_ = false;
    // Every pixel is opaque (since cover, until the next send).
    bool covered_ = false;
};

} // namespace drevel
