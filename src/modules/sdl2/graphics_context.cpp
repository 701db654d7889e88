#include "modules/sdl2/graphics_context.h"

#include <SDL.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "interpreter/native_context.h"
#include "interpreter/output.h"
#include "modules/sdl2/conversions.h"
#include "modules/sdl2/media.h"
#include "modules/sdl2/quiet_stderr.h"
#include "modules/sdl2/raster.h"
#include "modules/sdl2/renderer_choice.h"
#include "modules/sdl2/sdl_library.h"

namespace drevel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t pack_color(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | 0xFF000000u;
}

// The layer's opaque 0xAARRGGBB of a packed colour. A new renderer draws in
// black until it is given a colour.
constexpr uint32_t layer_pixel(std::optional<uint32_t> packed) {
    if (!packed) return 0xFF000000u;
    return 0xFF000000u | (*packed & 0xFF) << 16 | (*packed & 0xFF00) | (*packed >> 16 & 0xFF);
}

// Seconds as whole seconds plus nanoseconds / 1e9; a negative span counts as 0.
double to_seconds(Clock::duration span) {
    int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
    if (ns < 0) ns = 0;
    return double(ns / 1000000000) + double(ns % 1000000000) / 1e9;
}

// Sleeps the whole span, resuming after signal interruptions.
void sleep_for(std::chrono::nanoseconds span) {
    int64_t ns = span.count();
    timespec request{time_t(ns / 1000000000), long(ns % 1000000000)};
    timespec remaining{};
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR)
        request = remaining;
}

// A renderer that cannot set its colour or clear is broken beyond repair.
[[noreturn]] void renderer_failed() {
    output::error_line(std::string("SDL error: ") + SDL_GetError() + "\n");
    std::exit(1);
}

// Clips the axis-aligned segment [a, b] (in either order) to [0, limit - 1].
// False when nothing of it is inside.
bool clip_span(int32_t& a, int32_t& b, int limit) {
    int32_t lo = a < b ? a : b, hi = a < b ? b : a;
    if (hi < 0 || lo >= limit) return false;
    a = lo < 0 ? 0 : lo;
    b = hi >= limit ? limit - 1 : hi;
    return true;
}

// Without a display SDL falls back on a driver that shows nothing, and a
// game would run on unseen: such a driver is taken only when asked for by
// name.
bool video_driver_shows_nothing() {
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (requested != nullptr && *requested != '\0') return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr &&
           (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Why no window can open, for the one warning a script without a display
// gets.
std::string missing_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0'))
        return "DISPLAY is not set";
    if (x11 != nullptr && *x11 != '\0')
        return std::string("the display ") + x11 + " cannot be reached";
    return std::string("the display ") + wayland + " cannot be reached";
}

// Said once per process: a script that keeps asking for its window learns
// nothing new the second time.
void warn_no_display() {
    static bool warned = false;
    if (warned) return;
    warned = true;
    output::error_line("\x1b[33m[\x1b[93mWARNING\x1b[33m]\x1b[0m no window: there is no display to "
                       "open it on (" +
                       missing_display() + "); the script runs on without one\n");
}

// Held-back primitives go out in batches of at most this many; the memory
// stays small and SDL's own buffers short.
constexpr size_t kBatchLimit = 4096;

} // namespace

GraphicsContext::GraphicsContext() : last_frame_(Clock::now()) {}

GraphicsContext::GraphicsContext(const NativeContext& context) : last_frame_(context.started()) {}

GraphicsContext::~GraphicsContext() {
    flush_pending_draws();
    media_.reset(); // holds textures of the renderer
    layer_.release();
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) {
        SDL_DestroyWindow(window_);
        sdl_library::release_subsystem(SDL_INIT_VIDEO);
    }
    if (event_queue_) {
        sdl_library::release_subsystem(SDL_INIT_EVENTS);
        sdl_library::release_event_queue();
    }
    if (sdl_ready_) sdl_library::release();
}

void GraphicsContext::open_window(std::string_view title, int32_t width, int32_t height) {
    if (sdl_ready_) return;
    if (!sdl_library::acquire()) return;
    bool video = false;
    {
        // Back ends that find no display say so on standard error, each
        // in its own words; the warning below says it once.
        QuietStderr quiet;
        video = sdl_library::acquire_subsystem(SDL_INIT_VIDEO);
    }
    if (!video) {
        warn_no_display();
        sdl_library::release();
        return;
    }
    auto abandon = [](SDL_Window* window, SDL_Renderer* renderer) {
        if (renderer != nullptr) SDL_DestroyRenderer(renderer);
        if (window != nullptr) SDL_DestroyWindow(window);
        sdl_library::release_subsystem(SDL_INIT_VIDEO);
        sdl_library::release();
    };
    if (video_driver_shows_nothing()) {
        warn_no_display();
        abandon(nullptr, nullptr);
        return;
    }
    if (title.find('\0') != std::string_view::npos || width < 0 || height < 0) {
        abandon(nullptr, nullptr);
        return;
    }
    std::string c_title(title);
    SDL_Window* window = SDL_CreateWindow(c_title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, width, height, 0);
    if (window == nullptr) {
        abandon(nullptr, nullptr);
        return;
    }
    SDL_Renderer* renderer = create_renderer(window);
    if (renderer == nullptr) {
        abandon(window, nullptr);
        return;
    }
    uint32_t format = SDL_GetWindowPixelFormat(window);
    if (!sdl_library::try_claim_event_queue()) {
        abandon(window, renderer);
        return;
    }
    if (!sdl_library::acquire_subsystem(SDL_INIT_EVENTS)) {
        sdl_library::release_event_queue();
        abandon(window, renderer);
        return;
    }
    sdl_ready_ = true;
    window_ = window;
    renderer_ = renderer;
    pixel_format_ = format;
    event_queue_ = true;
    is_open_ = true;
    last_frame_ = Clock::now();
    delta_time_ = 0.0;
    draw_color_.reset();
    sent_color_.reset();
    refresh_visible_area();
}

void GraphicsContext::set_title(std::string_view title) {
    if (window_ == nullptr || title.find('\0') != std::string_view::npos) return;
    SDL_SetWindowTitle(window_, std::string(title).c_str());
}

void GraphicsContext::apply_window_mode(std::string_view mode) {
    window_mode_.assign(mode);
    if (window_ == nullptr) return;
    uint32_t flags;
    if (mode == "windowed")
        flags = 0;
    else if (mode == "fullscreen")
        flags = SDL_WINDOW_FULLSCREEN;
    else if (mode == "windowed_fullscreen")
        flags = SDL_WINDOW_FULLSCREEN_DESKTOP;
    else
        return;
    flush_pending_draws();
    SDL_SetWindowFullscreen(window_, flags);
    refresh_visible_area();
}

void GraphicsContext::set_color(uint8_t r, uint8_t g, uint8_t b) {
    uint32_t packed = pack_color(r, g, b);
    if (draw_color_ == packed) return;
    // What is batched was drawn in the colour before.
    if (renderer_ != nullptr) send_batches();
    draw_color_ = packed;
}

void GraphicsContext::sync_color() {
    if (sent_color_ == draw_color_ || !draw_color_) return;
    uint32_t c = *draw_color_;
    if (SDL_SetRenderDrawColor(renderer_, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 255) != 0)
        renderer_failed();
    sent_color_ = draw_color_;
}

void GraphicsContext::clear_frame() {
    if (renderer_ == nullptr) return;
    draw_color_ = sent_color_ = pack_color(0, 0, 0);
    // The clear covers everything held back, in batches or in the layer.
    // In a busy frame the layer becomes opaque black, to be copied over the
    // frame without blending; the renderer is still cleared in case its
    // output has grown beyond the layer since the last present.
    if (drawing_to_layer_)
        layer_.cover(layer_pixel(draw_color_));
    else
        layer_.discard();
    pending_rects_.clear();
    pending_points_.clear();
    if (SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255) != 0 || SDL_RenderClear(renderer_) != 0)
        renderer_failed();
}

void GraphicsContext::present_frame() {
    if (renderer_ != nullptr) {
        flush_pending_draws();
        SDL_RenderPresent(renderer_);
        start_frame();
    }
    Clock::time_point now = Clock::now();
    Clock::duration elapsed = now - last_frame_;
    if (elapsed < Clock::duration::zero()) elapsed = Clock::duration::zero();
    delta_time_ = to_seconds(elapsed);
    if (max_fps_) {
        auto target = std::chrono::nanoseconds(std::llround(1.0 / double(*max_fps_) * 1e9));
        if (elapsed < target) {
            // The script's output must not wait behind the sleep.
            output::flush();
            sleep_for(target - std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed));
            delta_time_ = to_seconds(Clock::now() - last_frame_);
        }
    }
    last_frame_ = Clock::now();
    pressed_keys_ = 0;
    released_keys_ = 0;
    if (event_queue_) read_events();
    if (window_ != nullptr) refresh_visible_area();
}

void GraphicsContext::read_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_QUIT: is_open_ = false; break;
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == 0 || event.key.repeat != 0) break;
            keys::insert(pressed_keys_, keys::slot_of_code(event.key.keysym.sym));
            keys::insert(held_keys_, keys::slot_of_code(event.key.keysym.sym));
            break;
        case SDL_KEYUP:
            if (event.key.keysym.sym == 0) break;
            keys::insert(released_keys_, keys::slot_of_code(event.key.keysym.sym));
            keys::erase(held_keys_, keys::slot_of_code(event.key.keysym.sym));
            break;
        case SDL_MOUSEMOTION:
            mouse_x_ = event.motion.x;
            mouse_y_ = event.motion.y;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            mouse_x_ = event.button.x;
            mouse_y_ = event.button.y;
            int slot = keys::slot_of_mouse_button(event.button.button);
            if (slot < 0) break;
            if (event.type == SDL_MOUSEBUTTONDOWN) {
                keys::insert(pressed_keys_, slot);
                keys::insert(held_keys_, slot);
            } else {
                keys::insert(released_keys_, slot);
                keys::erase(held_keys_, slot);
            }
            break;
        }
        default: break;
        }
    }
}

void GraphicsContext::refresh_visible_area() {
    SDL_GetWindowSize(window_, &visible_width_, &visible_height_);
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0 ||
        !layer_.resize(renderer_, width, height))
        layer_.release();
    drawing_to_layer_ = drawing_to_layer_ && layer_.active();
}

// A frame after a busy one is likely busy too and goes to the layer from
// its start.
void GraphicsContext::start_frame() noexcept {
    drawing_to_layer_ = held_in_frame_ > kLayerAfter && layer_.active();
    held_in_frame_ = 0;
}

bool GraphicsContext::hold_in_layer() {
    ++held_in_frame_;
    if (drawing_to_layer_) return true;
    if (held_in_frame_ <= kLayerAfter || !layer_.active()) return false;
    // What is batched goes first, keeping the order of drawing.
    send_batches();
    drawing_to_layer_ = true;
    return true;
}

void GraphicsContext::flush_pending_draws() {
    send_batches();
    layer_.send(renderer_);
}

void GraphicsContext::send_batches() {
    if (pending_rects_.empty() && pending_points_.empty()) return;
    sync_color();
    // A failing call draws nothing; like every drawing failure, it is dropped.
    if (!pending_rects_.empty()) {
        SDL_RenderFillRects(renderer_, pending_rects_.data(), int(pending_rects_.size()));
        pending_rects_.clear();
    }
    if (!pending_points_.empty()) {
        SDL_RenderDrawPoints(renderer_, pending_points_.data(), int(pending_points_.size()));
        pending_points_.clear();
    }
}

void GraphicsContext::hold_point(int x, int y) {
    if (hold_in_layer()) {
        // The renderer clips to its output, so do we.
        if (x >= 0 && y >= 0 && x < layer_.width() && y < layer_.height())
            layer_.put_pixel(x, y, layer_pixel(draw_color_));
        return;
    }
    if (pending_points_.size() == kBatchLimit) send_batches();
    pending_points_.push_back(SDL_Point{x, y});
}

void GraphicsContext::hold_span(int left, int right, int y) {
    if (hold_in_layer()) {
        layer_.fill_span(left, right, y, layer_pixel(draw_color_));
        return;
    }
    if (pending_rects_.size() == kBatchLimit) send_batches();
    pending_rects_.push_back(SDL_Rect{left, y, right - left + 1, 1});
}

void GraphicsContext::hold_rect(int x, int y, int w, int h) {
    if (hold_in_layer()) {
        layer_.fill_rect(x, y, w, h, layer_pixel(draw_color_));
        return;
    }
    if (pending_rects_.size() == kBatchLimit) send_batches();
    pending_rects_.push_back(SDL_Rect{x, y, w, h});
}

void GraphicsContext::plot_point(int32_t x, int32_t y) {
    if (renderer_ == nullptr) return;
    hold_point(graphics::clamp_coordinate(x), graphics::clamp_coordinate(y));
}

void GraphicsContext::plot_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (renderer_ == nullptr) return;
    x1 = graphics::clamp_coordinate(x1);
    y1 = graphics::clamp_coordinate(y1);
    x2 = graphics::clamp_coordinate(x2);
    y2 = graphics::clamp_coordinate(y2);
    // Rows and columns (every span of a filled shape) are cut to the window
    // and sent as one-pixel-thick rectangles: the same pixels, but SDL fills
    // a rectangle in one go where it would walk a line point by point, and
    // it overflows on lines longer than 2^31 pixels.
    if (y1 == y2) {
        if (y1 < 0 || y1 >= visible_height_ || !clip_span(x1, x2, visible_width_)) return;
        hold_span(x1, x2, y1);
        return;
    }
    if (x1 == x2) {
        if (x1 < 0 || x1 >= visible_width_ || !clip_span(y1, y2, visible_height_)) return;
        hold_rect(x1, y1, 1, y2 - y1 + 1);
        return;
    }
    // A slanted line inside the window costs a frame in the layer only its
    // pixels; the renderer would need the layer sent first.
    if (drawing_to_layer_ && inside_layer(x1, y1) && inside_layer(x2, y2)) {
        ++held_in_frame_;
        const uint32_t pixel = layer_pixel(draw_color_);
        raster::renderer_line_points(x1, y1, x2, y2,
                                     [&](int x, int y) { layer_.put_pixel(x, y, pixel); });
        return;
    }
    flush_pending_draws();
    sync_color();
    SDL_RenderDrawLine(renderer_, x1, y1, x2, y2);
}

void GraphicsContext::plot_rect(int32_t x, int32_t y, uint32_t w, uint32_t h) {
    if (renderer_ == nullptr) return;
    SDL_Rect rect{graphics::clamp_coordinate(x), graphics::clamp_coordinate(y),
                  graphics::clamp_size(w), graphics::clamp_size(h)};
    flush_pending_draws();
    sync_color();
    SDL_RenderDrawRect(renderer_, &rect);
}

void GraphicsContext::plot_filled_rect(int32_t x, int32_t y, uint32_t w, uint32_t h) {
    if (renderer_ == nullptr) return;
    hold_rect(graphics::clamp_coordinate(x), graphics::clamp_coordinate(y), graphics::clamp_size(w),
              graphics::clamp_size(h));
}

std::optional<std::pair<int, int>> GraphicsContext::window_size() const {
    if (window_ == nullptr) return std::nullopt;
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return std::pair{w, h};
}

bool GraphicsContext::key_pressed(std::string_view name) const noexcept {
    return keys::contains(pressed_keys_, keys::slot_of_name(name));
}

bool GraphicsContext::key_released(std::string_view name) const noexcept {
    return keys::contains(released_keys_, keys::slot_of_name(name));
}

bool GraphicsContext::key_held(std::string_view name) const noexcept {
    return keys::contains(held_keys_, keys::slot_of_name(name));
}

std::optional<std::pair<int, int>> GraphicsContext::mouse_position() const {
    if (window_ == nullptr) return std::nullopt;
    return std::pair{mouse_x_, mouse_y_};
}

Media& GraphicsContext::media() {
    if (!media_) media_ = std::make_unique<Media>();
    return *media_;
}

bool GraphicsContext::read_pixels(std::vector<uint32_t>& pixels, int& width, int& height) {
    if (renderer_ == nullptr || SDL_GetRendererOutputSize(renderer_, &width, &height) != 0)
        return false;
    flush_pending_draws();
    pixels.assign(size_t(width) * size_t(height), 0);
    return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                width * int(sizeof(uint32_t))) == 0;
}

} // namespace drevel
