// How the interpreter fails: the operation that detects a failure reports it
// once and passes it outward as an Error value, which nothing reports again.
#pragma once

#include <string>

#include "interpreter/log.h"
#include "interpreter/value.h"

namespace drevel {

inline Value fail(std::string message) {
    report_error(message);
    return Value::error(std::move(message));
}

} // namespace drevel
