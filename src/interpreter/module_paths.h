// Where the source of a script module may be.
#pragma once

#include <string>
#include <vector>

namespace drevel {

// The candidate files in search order. An installed module is named
// author.module and lives in .drevel/modules/author/module.
std::vector<std::string> module_paths(const std::string& name);

} // namespace drevel
