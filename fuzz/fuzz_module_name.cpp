// The module-name parser: any text either fails with the fixed message or
// gives two non-empty parts that stay below .drevel/modules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "building/module_name.h"

namespace {

bool usable_part(const std::string& part) {
    if (part.empty() || part == "." || part == "..") return false;
    return part.find('/') == std::string::npos && part.find('\0') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = drevel::parse_module_name(text);
    if (auto* message = std::get_if<std::string>(&parsed)) {
        if (*message != drevel::module_format_message) std::abort();
        return 0;
    }
    const auto& name = std::get<drevel::ModuleName>(parsed);
    if (!usable_part(name.author) || !usable_part(name.module)) std::abort();
    if (name.directory() != ".drevel/modules/" + name.author + "/" + name.module) std::abort();
    return 0;
}
