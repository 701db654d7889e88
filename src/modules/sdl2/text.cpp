#include "modules/sdl2/text.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>

#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media_files.h"
#include "modules/sdl2/media_library.h"
#include "modules/sdl2/sdl_library.h"

namespace drevel {

namespace {

// Where the font packages of common distributions put a plain sans-serif
// face; the first that exists is the default font.
constexpr std::array<const char*, 5> kDefaultFonts{
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
};

// Enough for every text on a busy screen; a text that changes each frame
// pushes out only texts not drawn for a long time.
constexpr size_t kRecentTexts = 256;

// Calls f with each line of text (split at newlines) and its index.
template <typename F> void for_each_line(std::string_view text, F f) {
    int index = 0;
    while (true) {
        size_t end = text.find('\n');
        f(text.substr(0, end), index++);
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

} // namespace

TextRenderer::~TextRenderer() {
    drop_textures();
    close_fonts();
    if (!ttf_ready_) return;
    TTF_Quit();
    sdl_library::release();
}

void TextRenderer::close_fonts() {
    for (auto& [size, font] : fonts_)
        TTF_CloseFont(font);
    fonts_.clear();
}

void TextRenderer::drop_textures() {
    for (auto& [key, text] : recent_)
        SDL_DestroyTexture(text.texture);
    recent_.clear();
    by_key_.clear();
}

Value TextRenderer::set_font(const std::string& path) {
    if (std::string problem = media::unreadable(path); !problem.empty())
        return media::load_failure("set_font", path, problem);
    std::string previous = std::exchange(path_, path);
    auto previous_fonts = std::exchange(fonts_, {});
    Value error;
    if (font("set_font", 16, error) == nullptr) {
        path_ = std::move(previous);
        fonts_ = std::move(previous_fonts);
        return error;
    }
    for (auto& [size, old] : previous_fonts)
        TTF_CloseFont(old);
    drop_textures();
    return Value::null();
}

TTF_Font* TextRenderer::font(std::string_view function, int size, Value& error) {
    if (auto found = fonts_.find(size); found != fonts_.end()) return found->second;
    if (path_.empty()) {
        for (const char* candidate : kDefaultFonts)
            if (media::unreadable(candidate).empty()) {
                path_ = candidate;
                break;
            }
        if (path_.empty()) {
            error = Value::error(std::string(function) +
                                 ": no font found; install fonts-dejavu-core or choose a "
                                 "TrueType file with sdl2.set_font");
            return nullptr;
        }
    }
    if (std::string missing = media_library::missing(media_library::Library::Fonts);
        !missing.empty()) {
        error = media::load_failure(function, path_, missing);
        return nullptr;
    }
    if (!ttf_ready_) {
        // Held for SDL's own clean-up at the end, even where no window opens.
        if (!sdl_library::acquire()) {
            error = media::load_failure(function, path_, SDL_GetError());
            return nullptr;
        }
        if (TTF_Init() != 0) {
            error = media::load_failure(function, path_, SDL_GetError());
            sdl_library::release();
            return nullptr;
        }
        ttf_ready_ = true;
    }
    TTF_Font* opened = TTF_OpenFont(path_.c_str(), size);
    if (opened == nullptr) {
        error = media::load_failure(function, path_, SDL_GetError());
        return nullptr;
    }
    fonts_.emplace(size, opened);
    return opened;
}

const TextRenderer::Rendered* TextRenderer::rendered(GraphicsContext& g, TTF_Font* font, int size,
                                                     std::string_view line, Value& error) {
    std::string key(reinterpret_cast<const char*>(&size), sizeof size);
    key += line;
    if (auto found = by_key_.find(key); found != by_key_.end()) {
        recent_.splice(recent_.begin(), recent_, found->second);
        return &found->second->second;
    }
    const char* c_line = key.c_str() + sizeof size;
    // Characters that take no room (or none before a zero byte) show nothing.
    int w = 0, h = 0;
    if (TTF_SizeUTF8(font, c_line, &w, &h) == 0 && w == 0) return nullptr;
    // Rendered white, so that a colour modulation gives any draw colour.
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, c_line, SDL_Color{255, 255, 255, 255});
    SDL_Texture* texture = nullptr;
    if (surface != nullptr) {
        texture = SDL_CreateTextureFromSurface(g.renderer(), surface);
        SDL_FreeSurface(surface);
    }
    if (texture == nullptr) {
        error = Value::error(std::string("draw_text: cannot draw the text: ") + SDL_GetError());
        return nullptr;
    }
    Rendered text{texture, 0, 0};
    SDL_QueryTexture(texture, nullptr, nullptr, &text.width, &text.height);
    if (recent_.size() >= kRecentTexts) {
        SDL_DestroyTexture(recent_.back().second.texture);
        by_key_.erase(recent_.back().first);
        recent_.pop_back();
    }
    recent_.emplace_front(std::move(key), text);
    by_key_.emplace(recent_.front().first, recent_.begin());
    return &recent_.front().second;
}

Value TextRenderer::draw(GraphicsContext& g, std::string_view text, int32_t x, int32_t y,
                         int size) {
    if (!g.has_window()) return Value::null();
    Value error;
    TTF_Font* face = font("draw_text", size, error);
    if (face == nullptr) return error;
    uint32_t color = g.draw_color();
    int line_height = TTF_FontLineSkip(face);
    for_each_line(text, [&](std::string_view line, int index) {
        if (line.empty() || error.is(ValueKind::Error)) return;
        const Rendered* shown = rendered(g, face, size, line, error);
        if (shown == nullptr) return;
        SDL_Rect target{graphics::clamp_coordinate(x),
                        graphics::clamp_coordinate(int64_t(y) + int64_t(index) * line_height),
                        shown->width, shown->height};
        g.flush_pending_draws();
        SDL_SetTextureColorMod(shown->texture, uint8_t(color), uint8_t(color >> 8),
                               uint8_t(color >> 16));
        SDL_RenderCopy(g.renderer(), shown->texture, nullptr, &target);
    });
    return error.is(ValueKind::Error) ? error : Value::null();
}

Value TextRenderer::width(std::string_view text, int size) {
    Value error;
    TTF_Font* face = font("text_width", size, error);
    if (face == nullptr) return error;
    int widest = 0;
    for_each_line(text, [&](std::string_view line, int) {
        int w = 0, h = 0;
        if (!line.empty() && TTF_SizeUTF8(face, std::string(line).c_str(), &w, &h) == 0 &&
            w > widest)
            widest = w;
    });
    return Value::number(widest);
}

} // namespace drevel
