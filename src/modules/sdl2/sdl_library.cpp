#include "modules/sdl2/sdl_library.h"

#include <SDL.h>

namespace drevel::sdl_library {

namespace {

// Only the interpreter's thread touches graphics, so plain counters do.
unsigned library_holders = 0;
unsigned video_holders = 0;
unsigned event_holders = 0;
unsigned audio_holders = 0;
bool event_queue_claimed = false;

unsigned* holders_of(uint32_t flag) {
    switch (flag) {
    case SDL_INIT_VIDEO: return &video_holders;
    case SDL_INIT_EVENTS: return &event_holders;
    case SDL_INIT_AUDIO: return &audio_holders;
    default: return nullptr;
    }
}

} // namespace

bool acquire() {
    if (library_holders == 0 && SDL_Init(0) != 0) return false;
    ++library_holders;
    return true;
}

void release() {
    if (library_holders == 0) return;
    if (--library_holders == 0) SDL_Quit();
}

bool acquire_subsystem(uint32_t flag) {
    unsigned* holders = holders_of(flag);
    if (holders == nullptr) return false;
    if (*holders == 0 && SDL_InitSubSystem(flag) != 0) return false;
    ++*holders;
    return true;
}

void release_subsystem(uint32_t flag) {
    unsigned* holders = holders_of(flag);
    if (holders == nullptr || *holders == 0) return;
    if (--*holders == 0) SDL_QuitSubSystem(flag);
}

bool try_claim_event_queue() {
    if (event_queue_claimed) return false;
    event_queue_claimed = true;
    return true;
}

void release_event_queue() {
    event_queue_claimed = false;
}

} // namespace drevel::sdl_library
