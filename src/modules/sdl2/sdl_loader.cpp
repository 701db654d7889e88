// The SDL2 library is loaded when a script first asks for a window, not at
// start-up: linking it directly would load some fifty shared libraries into
// every run. These definitions stand in for the library's own entry points
// and forward to it once it is loaded.
#include <SDL.h>

#include "modules/sdl2/dynamic_library.h"

namespace drevel::dynamic_library {

void* sdl2() {
    static void* handle = open_first({"libSDL2-2.0.so.0", "libSDL2.so"});
    return handle;
}

} // namespace drevel::dynamic_library

namespace {
using drevel::dynamic_library::sdl2;
} // namespace

// Each entry forwards to the loaded library; without it, calls fail the way
// SDL reports failure (a negative status, a null handle) or do nothing.
#define FORWARD(ret, name, params, args, fallback)                                                 \
    DREVEL_FORWARD(sdl2, ret, name, params, args, fallback)

FORWARD(int, SDL_Init, (Uint32 flags), (flags), -1)
FORWARD(int, SDL_InitSubSystem, (Uint32 flags), (flags), -1)
FORWARD(void, SDL_QuitSubSystem, (Uint32 flags), (flags), void())
FORWARD(void, SDL_Quit, (void), (), void())
FORWARD(SDL_Window*, SDL_CreateWindow,
        (const char* title, int x, int y, int w, int h, Uint32 flags), (title, x, y, w, h, flags),
        nullptr)
FORWARD(void, SDL_DestroyWindow, (SDL_Window * window), (window), void())
FORWARD(SDL_Renderer*, SDL_CreateRenderer, (SDL_Window * window, int index, Uint32 flags),
        (window, index, flags), nullptr)
FORWARD(void, SDL_DestroyRenderer, (SDL_Renderer * renderer), (renderer), void())
FORWARD(Uint32, SDL_GetWindowPixelFormat, (SDL_Window * window), (window), SDL_PIXELFORMAT_UNKNOWN)
FORWARD(void, SDL_GetWindowSize, (SDL_Window * window, int* w, int* h), (window, w, h), void())
FORWARD(int, SDL_SetWindowFullscreen, (SDL_Window * window, Uint32 flags), (window, flags), -1)
FORWARD(void, SDL_SetWindowTitle, (SDL_Window * window, const char* title), (window, title), void())
FORWARD(int, SDL_SetRenderDrawColor, (SDL_Renderer * renderer, Uint8 r, Uint8 g, Uint8 b, Uint8 a),
        (renderer, r, g, b, a), -1)
FORWARD(int, SDL_RenderClear, (SDL_Renderer * renderer), (renderer), -1)
FORWARD(void, SDL_RenderPresent, (SDL_Renderer * renderer), (renderer), void())
FORWARD(int, SDL_RenderDrawPoint, (SDL_Renderer * renderer, int x, int y), (renderer, x, y), -1)
FORWARD(int, SDL_RenderDrawLine, (SDL_Renderer * renderer, int x1, int y1, int x2, int y2),
        (renderer, x1, y1, x2, y2), -1)
FORWARD(int, SDL_RenderDrawRect, (SDL_Renderer * renderer, const SDL_Rect* rect), (renderer, rect),
        -1)
FORWARD(int, SDL_RenderFillRect, (SDL_Renderer * renderer, const SDL_Rect* rect), (renderer, rect),
        -1)
FORWARD(int, SDL_RenderDrawPoints, (SDL_Renderer * renderer, const SDL_Point* points, int count),
        (renderer, points, count), -1)
FORWARD(int, SDL_RenderFillRects, (SDL_Renderer * renderer, const SDL_Rect* rects, int count),
        (renderer, rects, count), -1)
FORWARD(const char*, SDL_GetCurrentVideoDriver, (void), (), nullptr)
FORWARD(int, SDL_GetRendererInfo, (SDL_Renderer * renderer, SDL_RendererInfo* info),
        (renderer, info), -1)
FORWARD(int, SDL_GetNumRenderDrivers, (void), (), 0)
FORWARD(int, SDL_GetRenderDriverInfo, (int index, SDL_RendererInfo* info), (index, info), -1)
FORWARD(void*, SDL_GL_GetProcAddress, (const char* name), (name), nullptr)
FORWARD(SDL_bool, SDL_SetHint, (const char* name, const char* value), (name, value), SDL_FALSE)
FORWARD(SDL_Texture*, SDL_CreateTexture,
        (SDL_Renderer * renderer, Uint32 format, int access, int w, int h),
        (renderer, format, access, w, h), nullptr)
FORWARD(int, SDL_UpdateTexture,
        (SDL_Texture * texture, const SDL_Rect* rect, const void* pixels, int pitch),
        (texture, rect, pixels, pitch), -1)
FORWARD(int, SDL_SetTextureBlendMode, (SDL_Texture * texture, SDL_BlendMode mode), (texture, mode),
        -1)

// SDL_RenderCopy and SDL_DestroyTexture are forwarded beside the texture
// functions of text and pictures (media_loader.cpp).
FORWARD(int, SDL_PollEvent, (SDL_Event * event), (event), 0)
FORWARD(int, SDL_GetRendererOutputSize, (SDL_Renderer * renderer, int* w, int* h), (renderer, w, h),
        -1)
FORWARD(int, SDL_RenderReadPixels,
        (SDL_Renderer * renderer, const SDL_Rect* rect, Uint32 format, void* pixels, int pitch),
        (renderer, rect, format, pixels, pitch), -1)
FORWARD(void, SDL_free, (void* memory), (memory), void())

extern "C" const char* SDL_GetError(void) {
    using Function = const char*(SDLCALL*)(void);
    static Function function = drevel::dynamic_library::entry<Function>(sdl2(), "SDL_GetError");
    if (!function) return "the SDL2 library (libSDL2-2.0.so.0) could not be loaded";
    return function();
}
