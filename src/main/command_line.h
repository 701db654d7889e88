// The command line: the argument list becomes exactly one command.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace drevel {

namespace command {
struct Help {};
struct Version {};
struct Repl {};
struct Run {
    std::string file;
    bool debug = false;
    bool extra_debug = false;
    std::vector<std::string> script_args; // after the file, for the script's args()
};
struct Build {
    std::string file;
    std::string output;
};
struct Install {
    std::string module;
};
struct Upgrade {
    std::string module;
};
struct Uninstall {
    std::string module;
};
struct ListModules {};
struct Check {
    std::vector<std::string> files;
};
struct UsageError {
    std::string message;
};
} // namespace command

using Command = std::variant<command::Help, command::Version, command::Repl, command::Run,
                             command::Build, command::Install, command::Upgrade, command::Uninstall,
                             command::ListModules, command::Check, command::UsageError>;

// Looks at the arguments after the program's own name; prints nothing.
Command parse_command_line(const std::vector<std::string>& args);

extern const char* const kHelpText;
extern const char* const kVersionText;

} // namespace drevel
