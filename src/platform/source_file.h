// Reading source and data files as UTF-8 text, and the system's error texts
// every layer reports file and socket failures with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace drevel {

inline constexpr const char* kNotUtf8 = "stream did not contain valid UTF-8";
inline constexpr const char* kWriteZero = "failed to write whole buffer";
inline constexpr const char* kNulInPath = "file name contained an unexpected NUL byte";

// Reads a whole file that must be valid UTF-8. On failure returns nothing and
// sets error to the system's description ("No such file or directory (os
// error 2)") or to kNotUtf8 or kNulInPath.
std::optional<std::string> read_text_file(const std::string& path, std::string& error);

// The system's description of an error number: its text and " (os error N)".
std::string os_error_text(int error_number);

// True when the path's last component is a normal file name with a dot after
// its first character and exactly "dv" after its last dot.
bool check_script_path(std::string_view path);

} // namespace drevel
