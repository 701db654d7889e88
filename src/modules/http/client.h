// The client half of the http module: one request per connection.
#pragma once

#include <string_view>

#include "interpreter/value.h"

namespace drevel::http {

// Sends method, path and body to the URL's host and returns the whole answer
// (status line, headers and body) as a String once the server closes the
// connection, or an Error value naming the step that failed.
Value send_request(std::string_view url, std::string_view method, std::string_view body);

} // namespace drevel::http
