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
        SDL_DestroyTexture(picture.texture);
}

const ImageCache::Picture* ImageCache::picture(GraphicsContext& g, const std::string& path,
                                               Value& error) {
    if (auto found = pictures_.find(path); found != pictures_.end()) return &found->second;
    std::string problem = media::unreadable(path);
    if (problem.empty()) problem = media_library::missing(media_library::Library::Images);
    if (!problem.empty()) {
        error = media::load_failure("draw_image", path, problem);
        return nullptr;
    }
    SDL_Surface* surface = IMG_Load(path.c_str());
    SDL_Texture* texture = nullptr;
    if (surface != nullptr) {
        texture = SDL_CreateTextureFromSurface(g.renderer(), surface);
        SDL_FreeSurface(surface);
    }
    if (texture == nullptr) {
        error = media::load_failure("draw_image", path, SDL_GetError());
        return nullptr;
    }
    Picture loaded{texture, 0, 0};
    SDL_QueryTexture(texture, nullptr, nullptr, &loaded.width, &loaded.height);
    return &pictures_.emplace(path, loaded).first->second;
}

Value ImageCache::draw(GraphicsContext& g, const std::string& path, int32_t x, int32_t y,
                       std::optional<std::pair<int32_t, int32_t>> size) {
    if (!g.has_window()) return Value::null();
    Value error;
    const Picture* shown = picture(g, path, error);
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
