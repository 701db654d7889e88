// The state behind every graphics call of one interpreter: at most one SDL2
// window with its renderer, the event queue, key sets, remembered draw colour
// and the frame clock. Nothing touches SDL until a script opens the window.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <SDL_rect.h>

#include "modules/sdl2/draw_layer.h"
#include "modules/sdl2/key_names.h"

struct SDL_Window;
struct SDL_Renderer;

namespace drevel {

class Media;
class NativeContext;

class GraphicsContext {
  public:
    // Primitives in a frame past which the frame is drawn into the layer. A
    // frame in the layer pays for covering, sending and wiping the whole window;
    // measured under Xvfb, that pays off from some 5,000 spans a frame (a
    // hundred filled shapes of radius 10) and halves the cost at 20,000.
    static constexpr uint32_t kLayerAfter = 8192;

    GraphicsContext();
    // Frames are measured from when the interpreter's context was made.
    explicit GraphicsContext(const NativeContext& context);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // Opens the one window of this context. A second call, or any failure
    // (SDL, a title with a zero byte, a negative size, the event queue taken
    // by another context), changes nothing and says nothing.
    void open_window(std::string_view title, int32_t width, int32_t height);
    // Changes the title of an open window (a title with a zero byte is
    // ignored).
    void set_title(std::string_view title);
    // Stores the mode text; applies "windowed", "fullscreen" and
    // "windowed_fullscreen" to an open window.
    void apply_window_mode(std::string_view mode);

    // Opaque draw colour. It reaches the renderer only before the renderer
    // draws in it, so a frame drawn in the layer costs no colour calls.
    void set_color(uint8_t r, uint8_t g, uint8_t b);
    // Clears to opaque black; the draw colour is black afterwards.
    void clear_frame();
    // Shows the frame, paces it to max_fps, then reads the events into the
    // key sets.
    void present_frame();

    // The drawing primitives, in the current draw colour. Coordinates are
    // clamped to the coordinate range and sizes to the size range; nothing
    // happens without a window. Points, spans and filled rectangles (and,
    // in a busy frame, slanted lines) are held back and reach SDL together
    // (see flush_pending_draws).
    void plot_point(int32_t x, int32_t y);
    void plot_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void plot_rect(int32_t x, int32_t y, uint32_t w, uint32_t h);
    void plot_filled_rect(int32_t x, int32_t y, uint32_t w, uint32_t h);

    // Sends the primitives held back to the renderer, in the order they
    // were drawn. Any other call that draws with the renderer or reads it
    // (clear, present, a line or outline SDL draws, read-back, a window
    // change, a texture copy) must come after this call.
    void flush_pending_draws();

    bool has_window() const noexcept { return renderer_ != nullptr; }
    SDL_Renderer* renderer() const noexcept { return renderer_; }
    // The current draw colour as 0xAABBGGRR (black until a colour is set on
    // a new window, as the renderer starts out).
    uint32_t draw_color() const noexcept { return draw_color_.value_or(0xFF000000u); }
    // Text, images and sound, set up on first use and dropped with the window.
    Media& media();
    // The window's size from SDL; nullopt without a window.
    std::optional<std::pair<int, int>> window_size() const;
    // The pixel area that drawing can change, as of the last present (or
    // window creation); the raster code leaves out work beyond it.
    int visible_width() const noexcept { return visible_width_; }
    int visible_height() const noexcept { return visible_height_; }

    bool key_pressed(std::string_view name) const noexcept;
    bool key_released(std::string_view name) const noexcept;
    bool key_held(std::string_view name) const noexcept;
    // Where the mouse was in the window at the last present; nullopt
    // without a window.
    std::optional<std::pair<int, int>> mouse_position() const;

    double delta_time() const noexcept { return delta_time_; }
    bool is_open() const noexcept { return is_open_; }
    void set_open(bool open) noexcept { is_open_ = open; }
    const std::string& window_mode() const noexcept { return window_mode_; }
    void set_max_fps(uint32_t fps) noexcept { max_fps_ = fps; }

    // For tests: the renderer's pixels as 0xAARRGGBB, row by row. False
    // without a window or when SDL cannot read them.
    bool read_pixels(std::vector<uint32_t>& pixels, int& width, int& height);

  private:
    void refresh_visible_area();
    void read_events();
    bool hold_in_layer();
    bool inside_layer(int x, int y) const noexcept {
        return x >= 0 && y >= 0 && x < layer_.width() && y < layer_.height();
    }
    void hold_point(int x, int y);
    void hold_span(int left, int right, int y);
    void hold_rect(int x, int y, int w, int h);
    void send_batches();
    // Gives the renderer the draw colour before it draws in it.
    void sync_color();
    void start_frame() noexcept;

    std::string window_mode_ = "windowed";
    std::optional<uint32_t> max_fps_;
    std::chrono::steady_clock::time_point last_frame_;
    // The canvas: present exactly while a window exists.
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    uint32_t pixel_format_ = 0;
    keys::KeySet pressed_keys_ = 0;
    keys::KeySet released_keys_ = 0;
    keys::KeySet held_keys_ = 0;
    bool event_queue_ = false;
    double delta_time_ = 0.0;
    // Packed 0xAABBGGRR of the draw colour, and of the colour last sent to
    // the renderer. None on a new window: the renderer's own first colour.
    std::optional<uint32_t> draw_color_ = 0xFFFFFFFFu;
    std::optional<uint32_t> sent_color_;
    bool sdl_ready_ = false;
    bool is_open_ = false;
    int visible_width_ = 0;
    int visible_height_ = 0;
    int mouse_x_ = 0;
    int mouse_y_ = 0;
    // Holds textures of the renderer, so it goes before the renderer.
    std::unique_ptr<Media> media_;
    // Where held-back primitives wait. A frame starts with batches: points
    // and rectangles in the current draw colour (so their order among
    // themselves never matters), sent at each colour change. Past
    // kLayerAfter primitives in a frame (frames end at present), sending the
    // pixels drawn costs the renderer less than the primitives do, and the
    // rest of the frame, and the next, is drawn into the layer (where one
    // can be made), slanted lines inside the window included.
    DrawLayer layer_;
    bool drawing_to_layer_ = false;
    uint32_t held_in_frame_ = 0;
    std::vector<SDL_Point> pending_points_;
    std::vector<SDL_Rect> pending_rects_;
};

} // namespace drevel
