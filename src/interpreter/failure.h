// How the interpreter fails: the operation that detects a failure reports it
// once and passes it outward as an Error value, which nothing reports again.
#pragma once

#include <string>
#include <string_view>

#include "interpreter/log.h"
#include "interpreter/value.h"

namespace drevel {

inline Value fail(std::string message) {
    report_error(message);
    return Value::error(std::move(message));
}

// The second report of an Error, by the statement it reached: the
// statement's context followed by the message. Out of line, so that a
// statement's common path builds no text.
[[gnu::cold, gnu::noinline]] inline void report_with(std::string_view context, const Value& error) {
    std::string message(context);
    message += error.text();
    report_error(message);
}

} // namespace drevel
