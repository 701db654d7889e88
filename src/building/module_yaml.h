// The file list of a module's "module.yaml": a line-based subset of YAML.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace drevel {

// The entries of the "files:" section in order. Lines are trimmed; empty
// lines and "#" comments are skipped; before the section everything else is
// ignored; in it a line starting with "-" is an entry (leading dashes, white
// space, then double and single quotes stripped from both ends) and a line
// with ":" ends the list. Empty when there is no entry.
std::vector<std::string> read_module_file_list(std::string_view yaml);

// A name that is absolute or has a ".." component would write outside the
// module directory; a control character would reach the terminal in
// messages. True when the name is usable as a relative path.
bool is_safe_module_file_name(std::string_view name);

} // namespace drevel
