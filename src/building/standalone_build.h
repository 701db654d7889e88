// Turns a script into a standalone executable: the running interpreter with
// the script appended behind a trailer that start-up looks for.
#pragma once

#include <string>

namespace drevel {

// Builds .drevel/build/<output>. Failures end the process with a message.
// Returns the exit status after a successful build.
int build_standalone(const std::string& file, const std::string& output);

} // namespace drevel
