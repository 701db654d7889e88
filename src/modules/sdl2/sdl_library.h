// Process-wide reference counts of the SDL library and of its subsystems.
// SDL is initialised when the first holder appears and shut down when the
// last one goes, so several graphics contexts in one process (a script and
// the modules it loads, or successive REPL sessions) share one library.
#pragma once

#include <cstdint>

namespace drevel::sdl_library {

// SDL_Init with no subsystems on the first acquisition; false when it failed
// (the count is then unchanged).
bool acquire();
// SDL_Quit when the last holder releases.
void release();

// SDL_InitSubSystem / SDL_QuitSubSystem of one subsystem flag (video,
// events or audio), counted per flag in the same way.
bool acquire_subsystem(uint32_t flag);
void release_subsystem(uint32_t flag);

// SDL keeps a single event queue per process: whoever holds it owns the
// keyboard. try_claim_event_queue is false while another context holds it.
bool try_claim_event_queue();
void release_event_queue();

} // namespace drevel::sdl_library
