#include "modules/sdl2/images.h"

#include <SDL.h>
#include <SDL_image.h>

#include "modules/sdl2/conversions.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/media_files.h"
#include "modules/sdl2/media_library.h"

namespace drevel {

ImageCache::~ImageCache() {
    for (auto& [path, picture] : pictures_)
        if (picture.texture != nullptr) SDL_DestroyTexture(picture.texture);
}

const ImageCache::Picture* ImageCache::picture(GraphicsContext& g, const std::string& path,
                                               std::string_view function, Value& error) {
    auto found = pictures_.find(path);
    if (found != pictures_.end() && (found->second.texture != nullptr || !g.has_window()))
        return &found->second;
    std::string problem = media::unreadable(path);
    if (problem.empty()) problem = media_library::missing(media_library::Library::Images);
    if (!problem.empty()) {
        error = media::load_failure(function, path, problem);
        return nullptr;
    }
    SDL_Surface* surface = IMG_Load(path.c_str());
    if (surface == nullptr) {
        error = media::load_failure(function, path, SDL_GetError());
        return nullptr;
    }
    Picture loaded{nullptr, surface->w, surface->h};
    if (g.has_window()) loaded.texture = SDL_CreateTextureFromSurface(g.renderer(), surface);
    SDL_FreeSurface(surface);
    if (g.has_window() && loaded.texture == nullptr) {
        error = media::load_failure(function, path, SDL_GetError());
        return nullptr;
    }
    return &(pictures_[path] = loaded);
}

Value ImageCache::size(GraphicsContext& g, const std::string& path) {
    Value error;
    const Picture* known = picture(g, path, "image_size", error);
    if (known == nullptr) return error;
    return Value::array({Value::number(known->width), Value::number(known->height)});
}

Value ImageCache::draw(GraphicsContext& g, const std::string& path, int32_t x, int32_t y,
                       std::optional<std::pair<int32_t, int32_t>> size) {
    if (!g.has_window()) return Value::null();
    Value error;
    const Picture* shown = picture(g, path, "draw_image", error);
    if (shown == nullptr) return error;
    int32_t w = size ? size->first : shown->width;
    int32_t h = size ? size->second : shown->height;
    // A picture squeezed to nothing (or turned inside out) shows nothing.
    if (w <= 0 || h <= 0) return Value::null();
    SDL_Rect target{graphics::clamp_coordinate(x), graphics::clamp_coordinate(y),
                    graphics::clamp_size(uint32_t(w)), graphics::clamp_size(uint32_t(h))};
    g.flush_pending_draws();
    SDL_RenderCopy(g.renderer(), shown->texture, nullptr, &target);
    return Value::null();
}

} // namespace drevel
