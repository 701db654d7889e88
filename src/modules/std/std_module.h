// The std module: dicts, arrays, texts, the program and its machine, JSON.
#pragma once

#include <string>
#include <vector>

#include "interpreter/builtins/registry.h"

namespace drevel {

const NativeModule& std_module();

// What args() and script_folder() report; the driver sets them before the
// program runs.
void set_program_arguments(std::vector<std::string> arguments);
void set_script_folder(std::string folder);

} // namespace drevel
