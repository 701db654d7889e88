// Reading source and data files as UTF-8 text.
#pragma once

#include <optional>
#include <string>

namespace drevel {

// Reads a whole file that must be valid UTF-8. On failure returns nothing and
// sets error to the system's description ("No such file or directory (os
// error 2)", "stream did not contain valid UTF-8", ...).
std::optional<std::string> read_text_file(const std::string& path, std::string& error);

// The system's description of an error number: its text and " (os error N)".
std::string os_error_text(int error_number);

} // namespace drevel
