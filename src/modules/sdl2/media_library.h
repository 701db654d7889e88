// The SDL2 companion libraries for fonts, images and sound, each loaded the
// first time a script uses it.
#pragma once

#include <string>

namespace drevel::media_library {

enum class Library { Fonts, Images, Sound };

// Loads the library if that has not been tried yet. Empty when it is
// loaded; otherwise the reason it is not, ready for an error message.
std::string missing(Library library);

} // namespace drevel::media_library
