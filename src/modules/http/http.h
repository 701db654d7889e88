// The http module: a minimal HTTP/1.1 server and client on plain TCP sockets.
#pragma once

#include "interpreter/builtins/registry.h"

namespace drevel {

const NativeModule& http_module();

} // namespace drevel
