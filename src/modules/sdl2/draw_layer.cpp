#include "modules/sdl2/draw_layer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace drevel {

namespace {

// Beyond this many pixels (a 4096 x 4096 window) the layer would cost more
// memory than it saves time; the context then sends spans as rectangles.
constexpr int64_t kMaxPixels = int64_t(4096) * 4096;

} // namespace

DrawLayer::~DrawLayer() {
    release();
}

void DrawLayer::release() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    pixels_.clear();
    pixels_.shrink_to_fit();
    bands_.clear();
    covered_ = false;
    width_ = height_ = 0;
    drawn_ = false;
}

bool DrawLayer::resize(SDL_Renderer* renderer, int width, int height) {
    if (texture_ != nullptr && width == width_ && height == height_) {
        discard();
        return true;
    }
    release();
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels) return false;
    texture_ = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
    if (texture_ == nullptr) return false;
    if (SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_BLEND) != 0) {
        release();
        return false;
    }
    pixels_.assign(size_t(width) * size_t(height), 0);
    bands_.assign(size_t((height + (1 << kBandShift) - 1) >> kBandShift), Band{});
    width_ = width;
    height_ = height;
    return true;
}

void DrawLayer::fill_rect(int64_t x, int64_t y, int64_t w, int64_t h, uint32_t argb) {
    int64_t left = std::max<int64_t>(x, 0), right = std::min<int64_t>(x + w, width_) - 1;
    int64_t top = std::max<int64_t>(y, 0), bottom = std::min<int64_t>(y + h, height_) - 1;
    if (left > right || top > bottom) return;
    for (int64_t row = top; row <= bottom; ++row)
        std::fill_n(pixels_.data() + row * width_ + left, right - left + 1, argb);
    touch(int(left), int(top), int(right), int(bottom));
}

template <class Visit> void DrawLayer::take_areas(Visit&& visit) {
    if (!drawn_) return;
    const int count = int(bands_.size());
    for (int first = 0; first < count;) {
        if (bands_[size_t(first)].right < 0) {
            ++first;
            continue;
        }
        int left = INT32_MAX, right = -1, last = first;
        for (; last < count && bands_[size_t(last)].right >= 0; ++last) {
            left = std::min(left, bands_[size_t(last)].left);
            right = std::max(right, bands_[size_t(last)].right);
            bands_[size_t(last)] = Band{};
        }
        const int top = first << kBandShift;
        const int bottom = std::min(last << kBandShift, height_);
        visit(SDL_Rect{left, top, right - left + 1, bottom - top});
        first = last;
    }
    drawn_ = false;
}

void DrawLayer::send(SDL_Renderer* renderer) {
    // Opaque everywhere, the layer is copied, not blended: the renderer
    // then need not read the frame beneath.
    const bool covered = covered_;
    covered_ = false;
    if (covered) SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    take_areas([&](const SDL_Rect& area) {
        uint32_t* first = pixels_.data() + size_t(area.y) * size_t(width_) + size_t(area.x);
        // A failing upload or copy loses these pixels, as a failing draw
        // call would have.
        if (SDL_UpdateTexture(texture_, &area, first, width_ * int(sizeof(uint32_t))) == 0)
            SDL_RenderCopy(renderer, texture_, &area, &area);
        wipe(area);
    });
    if (covered) SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_BLEND);
}

void DrawLayer::cover(uint32_t argb) {
    std::fill(pixels_.begin(), pixels_.end(), argb);
    for (Band& band : bands_)
        band = Band{0, width_ - 1};
    drawn_ = true;
    covered_ = true;
}

void DrawLayer::discard() {
    covered_ = false;
    take_areas([&](const SDL_Rect& area) { wipe(area); });
}

void DrawLayer::wipe(const SDL_Rect& area) {
    for (int row = area.y; row < area.y + area.h; ++row)
        std::memset(pixels_.data() + size_t(row) * size_t(width_) + size_t(area.x), 0,
                    size_t(area.w) * sizeof(uint32_t));
}

} // namespace drevel
