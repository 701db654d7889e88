// The native modules by name, with the functions each one exports.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace drevel {

struct NativeModule {
    std::string_view name;
    std::vector<std::string_view> exports;
};

std::span<const NativeModule> native_modules();
// nullptr when no native module has that name.
const NativeModule* find_native_module(std::string_view name);

// Where a script module's source may be, in search order. An installed module
// is named author.module and lives in .drevel/modules/author/module.
std::vector<std::string> module_paths(const std::string& name);

} // namespace drevel
