// Checks on relative paths that come from outside: a command line or a
// registry's module description.
#pragma once

#include <string_view>

namespace drevel {

// True when one of the path's slash-separated components is "..", so that the
// path could reach above the folder it is taken relative to.
inline bool has_parent_component(std::string_view path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (path.substr(start, slash - start) == "..") return true;
        start = slash + 1;
    }
    return false;
}

} // namespace drevel
