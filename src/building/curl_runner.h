// Downloads by running the external curl program as a child process.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace drevel {

struct CurlResult {
    bool ok = false;
    // The downloaded text when ok, otherwise the failure message.
    std::string text;
};

// Larger answers are refused ("Response too large") so that a registry
// cannot exhaust memory.
inline constexpr size_t max_curl_response = 100'000'000;

// A download from which nothing arrives for this long is stopped ("Registry
// stopped answering"): curl itself would wait for ever on a server that
// accepted the connection and then went silent.
inline constexpr int curl_stall_seconds = 20;

// Runs `curl -s -f url` (found through PATH, no shell) with standard input
// from /dev/null and both output streams captured. Fails with "curl is not
// installed", "Failed to execute curl: " + system text, curl's trimmed error
// output when it exits with a non-zero status, "Response too large",
// "Registry stopped answering" or "Response contains invalid UTF-8".
CurlResult run_curl(const std::string& url);

} // namespace drevel
