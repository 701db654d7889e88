// Sound effects and looping music. The audio device is opened on the first
// sound; without one every sound call quietly does nothing, so a game runs
// the same on a silent machine.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "interpreter/value.h"

typedef struct Mix_Chunk Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

namespace drevel {

class Audio {
  public:
    Audio() = default;
    ~Audio();
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // Plays the file once, mixed with whatever is playing. Null or an Error.
    Value play_sound(const std::string& path);
    // Loops the file as music, replacing the music playing unless it is
    // the same file. Null or an Error.
    Value play_music(const std::string& path);
    Value stop_music();

  private:
    enum class Device { Untried, Open, Unavailable };
    // Opens the device on first use; an Error when the library is missing.
    Value open(std::string_view function, const std::string& path);
    void close();

    Device device_ = Device::Untried;
    std::unordered_map<std::string, Mix_Chunk*> sounds_;
    Mix_Music* music_ = nullptr;
    std::string music_path_;
};

} // namespace drevel
