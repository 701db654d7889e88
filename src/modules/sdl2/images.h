// Pictures in the window: each file is loaded once, on first use, and kept
// as a texture for as long as the window lasts. A picture whose size is
// asked before the window exists is read for its size alone, and made a
// texture when it is first drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "interpreter/value.h"

struct SDL_Texture;

namespace drevel {

class GraphicsContext;

class ImageCache {
  public:
    ImageCache() = default;
    ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // Draws the picture in path with its top-left corner at (x, y), at its
    // own size or scaled to size. Null or an Error.
    Value draw(GraphicsContext& g, const std::string& path, int32_t x, int32_t y,
               std::optional<std::pair<int32_t, int32_t>> size);

    // [width, height] of the picture in path, or an Error naming the file.
    Value size(GraphicsContext& g, const std::string& path);

  private:
    struct Picture {
        SDL_Texture* texture; // nullptr until drawn in a window
        int width;
        int height;
    };
    // The picture of path, loaded on first use (with a texture when a
    // window exists); nullptr with error set, the message led by function.
    const Picture* picture(GraphicsContext& g, const std::string& path, std::string_view function,
                           Value& error);

    std::unordered_map<std::string, Picture> pictures_;
};

} // namespace drevel
