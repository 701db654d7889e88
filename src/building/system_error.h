// The system's description of an error number, as the tools print it.
#pragma once

#include <string>

namespace drevel {

// "No such file or directory (os error 2)".
std::string system_error_text(int error_number);

} // namespace drevel
