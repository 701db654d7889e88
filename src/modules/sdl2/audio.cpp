#include "modules/sdl2/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "modules/sdl2/media_files.h"
#include "modules/sdl2/media_library.h"
#include "modules/sdl2/quiet_stderr.h"
#include "modules/sdl2/sdl_library.h"

namespace drevel {

namespace {

// The mixer drives the one audio device of the process; a second context
// (a module's interpreter) gets no sound rather than a fight over it.
bool device_claimed = false;

constexpr int kFrequency = 44100;
constexpr int kChunkSize = 1024;
// Sounds that may overlap; one more is dropped until a channel is free.
constexpr int kChannels = 16;

} // namespace

Audio::~Audio() {
    close();
}

Value Audio::open(std::string_view function, const std::string& path) {
    if (device_ != Device::Untried) return Value::null();
    if (std::string missing = media_library::missing(media_library::Library::Sound);
        !missing.empty())
        return media::load_failure(function, path, missing);
    device_ = Device::Unavailable;
    if (device_claimed || !sdl_library::acquire()) return Value::null();
    // Sound back ends that find no device (ALSA above all) write several
    // lines of their own about it; a silent machine stays silent.
    QuietStderr quiet;
    if (!sdl_library::acquire_subsystem(SDL_INIT_AUDIO)) {
        sdl_library::release();
        return Value::null();
    }
    if (Mix_OpenAudio(kFrequency, MIX_DEFAULT_FORMAT, 2, kChunkSize) != 0) {
        sdl_library::release_subsystem(SDL_INIT_AUDIO);
        sdl_library::release();
        return Value::null();
    }
    Mix_Init(MIX_INIT_OGG);
    Mix_AllocateChannels(kChannels);
    device_claimed = true;
    device_ = Device::Open;
    return Value::null();
}

void Audio::close() {
    if (device_ != Device::Open) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    stop_music();
    for (auto& [path, sound] : sounds_)
        Mix_FreeChunk(sound);
    sounds_.clear();
    Mix_CloseAudio();
    Mix_Quit();
    sdl_library::release_subsystem(SDL_INIT_AUDIO);
    sdl_library::release();
    device_claimed = false;
    device_ = Device::Untried;
}

Value Audio::play_sound(const std::string& path) {
    if (Value opened = open("play_sound", path); opened.is(ValueKind::Error)) return opened;
    if (device_ != Device::Open) return Value::null();
    auto found = sounds_.find(path);
    if (found == sounds_.end()) {
        std::string problem = media::unreadable(path);
        Mix_Chunk* sound = problem.empty() ? Mix_LoadWAV(path.c_str()) : nullptr;
        if (sound == nullptr)
            return media::load_failure("play_sound", path,
                                       problem.empty() ? SDL_GetError() : problem);
        found = sounds_.emplace(path, sound).first;
    }
    Mix_PlayChannel(-1, found->second, 0);
    return Value::null();
}

Value Audio::play_music(const std::string& path) {
    if (Value opened = open("play_music", path); opened.is(ValueKind::Error)) return opened;
    if (device_ != Device::Open) return Value::null();
    if (music_ != nullptr && music_path_ == path) return Value::null();
    std::string problem = media::unreadable(path);
    Mix_Music* music = problem.empty() ? Mix_LoadMUS(path.c_str()) : nullptr;
    if (music == nullptr)
        return media::load_failure("play_music", path, problem.empty() ? SDL_GetError() : problem);
    stop_music();
    music_ = music;
    music_path_ = path;
    Mix_PlayMusic(music_, -1);
    return Value::null();
}

Value Audio::stop_music() {
    if (music_ == nullptr) return Value::null();
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
    music_path_.clear();
    return Value::null();
}

} // namespace drevel
