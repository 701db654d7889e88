// The files module: the local file system for scripts.
#pragma once

#include <cstddef>
#include <string_view>

#include "interpreter/value.h"

namespace drevel {

// Runs the files function named by qualified_name ("files.read", ...) with the
// evaluated arguments and stores its result (possibly an Error value) in
// result. Returns false when the module has no such function.
bool files_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                    Value& result);

} // namespace drevel
