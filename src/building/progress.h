// The tools' progress lines on standard output. A step first shows a yellow
// "in progress" line; its done or failed line starts with a carriage return
// and so overwrites it on a terminal.
#pragma once

#include <chrono>
#include <string_view>

namespace drevel {

void progress_start(std::string_view text);
void progress_done(std::string_view text, double seconds);
void progress_failed(std::string_view text, double seconds);

// Seconds since construction, from the monotonic clock.
class Stopwatch {
  public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace drevel
