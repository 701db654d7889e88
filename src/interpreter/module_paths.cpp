#include "interpreter/module_paths.h"

namespace drevel {

std::vector<std::string> module_paths(const std::string& name) {
    size_t dot = name.find('.');
    if (dot != std::string::npos) {
        return {".drevel/modules/" + name.substr(0, dot) + "/" + name.substr(dot + 1) +
                "/index.dv"};
    }
    return {name + ".dv", ".drevel/modules/" + name + "/index.dv"};
}

} // namespace drevel
