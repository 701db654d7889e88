// The http module: a minimal HTTP/1.1 server and client on plain TCP sockets.
#pragma once

#include <cstddef>
#include <string_view>

#include "interpreter/value.h"

namespace drevel {

// Runs the http function named by qualified_name ("http.serve", ...) with the
// evaluated arguments and stores its result (possibly an Error value) in
// result. Returns false when the module has no such function.
bool http_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                   Value& result);

} // namespace drevel
