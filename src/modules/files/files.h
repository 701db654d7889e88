// The files module: the local file system for scripts.
#pragma once

#include "interpreter/builtins/registry.h"

namespace drevel {

const NativeModule& files_module();

} // namespace drevel
