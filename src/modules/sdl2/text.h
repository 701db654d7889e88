// Text in the window: one TrueType font at any pixel size, with the textures
// of recently drawn texts kept so that a score redrawn every frame is a
// single copy on the renderer.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "interpreter/value.h"

struct SDL_Texture;
typedef struct _TTF_Font TTF_Font;

namespace drevel {

class GraphicsContext;

class TextRenderer {
  public:
    TextRenderer() = default;
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Sizes are pixels, 1 to kMaxSize.
    static constexpr int kMaxSize = 1000;

    // Switches to the TrueType font at path; the font in use stays when it
    // cannot be loaded. Null or an Error.
    Value set_font(const std::string& path);
    // Draws each line of text in the current draw colour, the first with
    // its top-left corner at (x, y). Null or an Error.
    Value draw(GraphicsContext& g, std::string_view text, int32_t x, int32_t y, int size);
    // The width in pixels of the widest line of text. A Number or an Error.
    Value width(std::string_view text, int size);

  private:
    struct Rendered {
        SDL_Texture* texture;
        int width;
        int height;
    };
    using Recent = std::list<std::pair<std::string, Rendered>>;

    // The font at a size, opened on first use; nullptr with error set.
    TTF_Font* font(std::string_view function, int size, Value& error);
    // The texture of one line, rendered on first use; nullptr when the line
    // shows nothing, or with error set.
    const Rendered* rendered(GraphicsContext& g, TTF_Font* font, int size, std::string_view line,
                             Value& error);
    void close_fonts();
    void drop_textures();

    bool ttf_ready_ = false;
    std::string path_; // empty until a font is chosen or found
    std::map<int, TTF_Font*> fonts_;
    // Most recently drawn first; the oldest goes when the list is full.
    Recent recent_;
    std::unordered_map<std::string, Recent::iterator> by_key_;
};

} // namespace drevel
