// Turns a script into a standalone executable: the running interpreter with
// the script appended behind a trailer that start-up looks for.
#pragma once

#include <optional>
#include <string>

namespace drevel {

// Builds .drevel/build/<output>. A failure stops the build and gives the
// line to report.
std::optional<std::string> build_standalone(const std::string& file, const std::string& output);

} // namespace drevel
