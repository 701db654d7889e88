#include "building/module_name.h"

#include <optional>

namespace drevel {

namespace {

std::optional<ModuleName> split_at(std::string_view text, char separator) {
    size_t at = text.find(separator);
    if (at == std::string_view::npos || at == 0 || at + 1 == text.size()) return std::nullopt;
    return ModuleName{std::string(text.substr(0, at)), std::string(text.substr(at + 1))};
}

// One path component that stays where it is put.
bool is_safe_part(std::string_view part) {
    if (part == "." || part == "..") return false;
    for (unsigned char c : part) {
        if (c == '/' || c == ' ' || c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

} // namespace

std::string ModuleName::directory() const {
    return ".drevel/modules/" + author + "/" + module;
}

std::variant<ModuleName, std::string> parse_module_name(std::string_view text) {
    std::optional<ModuleName> name = split_at(text, '/');
    if (!name) name = split_at(text, '.');
    if (!name || !is_safe_part(name->author) || !is_safe_part(name->module) ||
        name->author.starts_with(module_scratch_prefix)) {
        return std::string(module_format_message);
    }
    return *name;
}

} // namespace drevel
