// Entry points of SDL2_ttf, SDL2_image and SDL2_mixer, and the SDL functions
// that only text, images and sound need, all forwarding to libraries opened
// on first use.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include "modules/sdl2/dynamic_library.h"
#include "modules/sdl2/media_library.h"

namespace {

using drevel::dynamic_library::open_first;

using drevel::dynamic_library::sdl2;
void* ttf() {
    static void* handle = open_first({"libSDL2_ttf-2.0.so.0", "libSDL2_ttf.so"});
    return handle;
}
void* image() {
    static void* handle = open_first({"libSDL2_image-2.0.so.0", "libSDL2_image.so"});
    return handle;
}
void* mixer() {
    static void* handle = open_first({"libSDL2_mixer-2.0.so.0", "libSDL2_mixer.so"});
    return handle;
}

} // namespace

namespace drevel::media_library {

std::string missing(Library library) {
    switch (library) {
    case Library::Fonts:
        return ttf() ? "" : "the SDL2_ttf library (libSDL2_ttf-2.0.so.0) could not be loaded";
    case Library::Images:
        return image() ? "" : "the SDL2_image library (libSDL2_image-2.0.so.0) could not be loaded";
    case Library::Sound:
        return mixer() ? "" : "the SDL2_mixer library (libSDL2_mixer-2.0.so.0) could not be loaded";
    }
    return "";
}

} // namespace drevel::media_library

#define FORWARD(library, ret, name, params, args, fallback)                                        \
    DREVEL_FORWARD(library, ret, name, params, args, fallback)

FORWARD(sdl2, SDL_Texture*, SDL_CreateTextureFromSurface,
        (SDL_Renderer * renderer, SDL_Surface* surface), (renderer, surface), nullptr)
FORWARD(sdl2, void, SDL_FreeSurface, (SDL_Surface * surface), (surface), void())
FORWARD(sdl2, void, SDL_DestroyTexture, (SDL_Texture * texture), (texture), void())
FORWARD(sdl2, int, SDL_QueryTexture,
        (SDL_Texture * texture, Uint32* format, int* access, int* w, int* h),
        (texture, format, access, w, h), -1)
FORWARD(sdl2, int, SDL_SetTextureColorMod, (SDL_Texture * texture, Uint8 r, Uint8 g, Uint8 b),
        (texture, r, g, b), -1)
FORWARD(sdl2, int, SDL_RenderCopy,
        (SDL_Renderer * renderer, SDL_Texture* texture, const SDL_Rect* source,
         const SDL_Rect* target),
        (renderer, texture, source, target), -1)

FORWARD(ttf, int, TTF_Init, (void), (), -1)
FORWARD(ttf, void, TTF_Quit, (void), (), void())
FORWARD(ttf, TTF_Font*, TTF_OpenFont, (const char* file, int size), (file, size), nullptr)
FORWARD(ttf, void, TTF_CloseFont, (TTF_Font * font), (font), void())
FORWARD(ttf, int, TTF_FontLineSkip, (const TTF_Font* font), (font), 0)
FORWARD(ttf, int, TTF_SizeUTF8, (TTF_Font * font, const char* text, int* w, int* h),
        (font, text, w, h), -1)
FORWARD(ttf, SDL_Surface*, TTF_RenderUTF8_Blended,
        (TTF_Font * font, const char* text, SDL_Color fg), (font, text, fg), nullptr)

FORWARD(image, SDL_Surface*, IMG_Load, (const char* file), (file), nullptr)

FORWARD(mixer, int, Mix_Init, (int flags), (flags), 0)
FORWARD(mixer, void, Mix_Quit, (void), (), void())
FORWARD(mixer, int, Mix_OpenAudio, (int frequency, Uint16 format, int channels, int chunk_size),
        (frequency, format, channels, chunk_size), -1)
FORWARD(mixer, void, Mix_CloseAudio, (void), (), void())
FORWARD(mixer, int, Mix_AllocateChannels, (int channels), (channels), 0)
FORWARD(mixer, Mix_Chunk*, Mix_LoadWAV, (const char* file), (file), nullptr)
FORWARD(mixer, void, Mix_FreeChunk, (Mix_Chunk * chunk), (chunk), void())
FORWARD(mixer, int, Mix_PlayChannel, (int channel, Mix_Chunk* chunk, int loops),
        (channel, chunk, loops), -1)
FORWARD(mixer, int, Mix_HaltChannel, (int channel), (channel), 0)
FORWARD(mixer, Mix_Music*, Mix_LoadMUS, (const char* file), (file), nullptr)
FORWARD(mixer, void, Mix_FreeMusic, (Mix_Music * music), (music), void())
FORWARD(mixer, int, Mix_PlayMusic, (Mix_Music * music, int loops), (music, loops), -1)
FORWARD(mixer, int, Mix_HaltMusic, (void), (), 0)
