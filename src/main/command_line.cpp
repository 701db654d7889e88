#include "main/command_line.h"

namespace drevel {

const char* const kHelpText =
    "Drevel - A performant programming language\n"
    "\n"
    "USAGE:\n"
    "    drevel [COMMAND] [OPTIONS] [FILE]\n"
    "\n"
    "COMMANDS:\n"
    "    build <FILE> [OUTPUT]        Bundle a .dv file into a binary\n"
    "    install <MODULE>             Install a module from the registry\n"
    "    uninstall <MODULE>           Uninstall an installed module\n"
    "    modules                      List installed modules\n"
    "    check <FILE>...              Report code that is ignored or looks wrong\n"
    "\n"
    "OPTIONS:\n"
    "    -h, --help                   Print this help message\n"
    "    -v, --version                Print the version\n"
    "    -d                           Enable debug output during execution\n"
    "    -D                           Enable extra debug output during runtime\n"
    "\n"
    "ARGS:\n"
    "    FILE                         Path to a .dv file to execute\n"
    "\n"
    "EXAMPLES:\n"
    "    drevel                       Start the interactive REPL\n"
    "    drevel script.dv             Run a Drevel script\n"
    "    drevel script.dv -d          Run with debug output\n"
    "    drevel build game.dv         Create a standalone binary (game)\n"
    "    drevel build game.dv myapp   Create a binary named 'myapp'\n"
    "    drevel install math          Install the math module\n"
    "    drevel modules               List all installed modules\n"
    "    drevel check game.dv         Find mistakes without running the script\n";

const char* const kVersionText = "Drevel version 1.0.7\n";

namespace {

// A command word followed by its one required argument.
template <typename Command> Command with_module(const std::vector<std::string>& args) {
    return Command{args[1]};
}

// The build's output when none is given: the file up to its first "."
// (dir/game.dv gives dir/game). Where that leaves no name of its own
// (./game.dv, .hidden.dv), the file's name without ".dv" takes its place.
std::string default_output(const std::string& file) {
    std::string output = file.substr(0, file.find('.'));
    if (!output.empty() && output.back() != '/') return output;
    std::string name = file.substr(file.rfind('/') + 1);
    if (name.ends_with(".dv")) name.resize(name.size() - 3);
    return output + name;
}

bool is_help(const std::string& arg) {
    return arg == "-h" || arg == "--help";
}
bool is_version(const std::string& arg) {
    return arg == "-v" || arg == "--version";
}

} // namespace

Command parse_command_line(const std::vector<std::string>& args) {
    if (args.empty()) return command::Repl{};
    const std::string& first = args[0];
    if (is_help(first)) return command::Help{};
    if (is_version(first)) return command::Version{};
    if (first == "build") {
        if (args.size() < 2) return command::UsageError{"build requires a file path"};
        const std::string& file = args[1];
        std::string output = args.size() >= 3 ? args[2] : default_output(file);
        return command::Build{file, output};
    }
    if (first == "install" || first == "upgrade" || first == "uninstall") {
        if (args.size() < 2) return command::UsageError{first + " requires a module name"};
        if (first == "install") return with_module<command::Install>(args);
        if (first == "upgrade") return with_module<command::Upgrade>(args);
        return with_module<command::Uninstall>(args);
    }
    if (first == "modules" || first == "list" || first == "list-modules")
        return command::ListModules{};
    if (first == "check") {
        if (args.size() < 2) return command::UsageError{"check requires a file path"};
        return command::Check{{args.begin() + 1, args.end()}};
    }

    command::Run run;
    bool file_known = false;    // an empty argument counts as the file, then as none
    bool options_ended = false; // after "--" every argument is the file or the script's
    for (const std::string& arg : args) {
        if (options_ended) {
            if (file_known) {
                run.script_args.push_back(arg);
            } else {
                run.file = arg;
                file_known = true;
            }
            continue;
        }
        if (is_help(arg)) return command::Help{};
        if (is_version(arg)) return command::Version{};
        if (arg == "--") {
            options_ended = true;
        } else if (arg == "-d") {
            run.debug = true;
        } else if (arg == "-D") {
            run.debug = true;
            run.extra_debug = true;
        } else if (!file_known && !arg.starts_with("-")) {
            run.file = arg;
            file_known = true;
        } else if (file_known) {
            run.script_args.push_back(arg);
        }
    }
    if (run.file.empty()) return command::Repl{};
    return run;
}

} // namespace drevel
