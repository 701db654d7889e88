// Installs, upgrades, removes and lists script modules below .drevel/modules.
// Each operation returns nothing on success or the failure message, which the
// driver reports as a fatal error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace drevel {

std::optional<std::string> install_module(std::string_view name);
std::optional<std::string> uninstall_module(std::string_view name);
std::optional<std::string> upgrade_module(std::string_view name);
std::optional<std::string> list_modules();

} // namespace drevel
