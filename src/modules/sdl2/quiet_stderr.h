// Keeps the chatter of system libraries off standard error while SDL probes
// its back ends: ALSA, Wayland and the like write their own failures there
// ("ALSA lib pcm.c: Unknown PCM default"), though a game without sound or
// without a display has one plain thing to say about it, or nothing.
#pragma once

namespace drevel {

// While alive, file descriptor 2 points at /dev/null; the old one comes
// back when it goes. Only the interpreter's thread writes diagnostics, so
// nothing of drevel's own is lost in between.
class QuietStderr {
  public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;
};

} // namespace drevel
