#include "modules/sdl2/renderer_choice.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace drevel {

namespace {

// Words in the OpenGL renderer string of rasterizers that run on the CPU.
constexpr const char* kSoftwareRasterizers[] = {"llvmpipe", "softpipe", "Software Rasterizer",
                                                "swrast", "SWR"};

constexpr unsigned kGlRenderer = 0x1F01; // GL_RENDERER

// True when the renderer draws through OpenGL and OpenGL draws on the CPU.
// The OpenGL renderers leave their context current, so the renderer string
// can be read right after creation.
bool opengl_runs_on_cpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr ||
        std::strncmp(info.name, "opengl", 6) != 0) // opengl, opengles2
        return false;
    using GetString = const unsigned char*(SDLCALL*)(unsigned);
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (get_string == nullptr) return false;
    const char* name = reinterpret_cast<const char*>(get_string(kGlRenderer));
    if (name == nullptr) return false;
    for (const char* word : kSoftwareRasterizers)
        if (std::strstr(name, word) != nullptr) return true;
    return false;
}

int software_driver_index() {
    int count = SDL_GetNumRenderDrivers();
    for (int i = 0; i < count; ++i) {
        SDL_RendererInfo info{};
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && info.name != nullptr &&
            std::strcmp(info.name, "software") == 0)
            return i;
    }
    return -1;
}

} // namespace

SDL_Renderer* create_renderer(SDL_Window* window) {
    // The software renderer's frame reaches an X window best as it is
    // (shared memory), not uploaded into OpenGL once more, which SDL would
    // otherwise do. SDL_FRAMEBUFFER_ACCELERATION in the environment still
    // overrides this.
    if (const char* video = SDL_GetCurrentVideoDriver(); video && std::strcmp(video, "x11") == 0)
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    const char* requested = std::getenv("SDL_RENDER_DRIVER");
    if (renderer == nullptr || (requested != nullptr && *requested != '\0') ||
        !opengl_runs_on_cpu(renderer))
        return renderer;
    int software = software_driver_index();
    if (software < 0) return renderer;
    SDL_DestroyRenderer(renderer);
    if (SDL_Renderer* chosen = SDL_CreateRenderer(window, software, 0)) return chosen;
    // Should the software renderer fail on this window, SDL's choice stands.
    return SDL_CreateRenderer(window, -1, 0);
}

} // namespace drevel
