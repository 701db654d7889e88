// What a graphics context holds beyond shapes: the font and its rendered
// texts, the loaded pictures and the sound device. Created the first time a
// script uses any of them.
#pragma once

#include "modules/sdl2/audio.h"
#include "modules/sdl2/images.h"
#include "modules/sdl2/text.h"

namespace drevel {

class Media {
  public:
    TextRenderer text;
    ImageCache images;
    Audio audio;
};

} // namespace drevel
