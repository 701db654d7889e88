// The module.yaml file-list reader and the check of the names it yields.
// Every entry must be non-empty and free of line ends; a name accepted as
// safe never leaves the module directory.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "building/module_yaml.h"

namespace {

bool leaves_directory(std::string_view name) {
    if (name.starts_with('/')) return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        if (name.substr(start, slash - start) == "..") return true;
        start = slash + 1;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view yaml(reinterpret_cast<const char*>(data), size);
    for (const std::string& name : drevel::read_module_file_list(yaml)) {
        if (name.empty() || name.find('\n') != std::string::npos) std::abort();
        if (drevel::is_safe_module_file_name(name) && leaves_directory(name)) std::abort();
    }
    return 0;
}
