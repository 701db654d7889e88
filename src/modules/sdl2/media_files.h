// How a font, image or sound file that cannot be used is reported.
#pragma once

#include <string>
#include <string_view>

#include "interpreter/value.h"

namespace drevel::media {

// The error of a function that could not use a file, such as
// "draw_image: cannot load 'ship.png': No such file or directory".
Value load_failure(std::string_view function, std::string_view path, std::string_view reason);

// Why the file cannot be opened for reading (the system's own text, such as
// "No such file or directory"); empty when it can.
std::string unreadable(const std::string& path);

} // namespace drevel::media
