// Ctrl-C at the interactive prompt: the signal handler only raises a flag;
// running code sees it where loops and calls count their steps and unwinds
// as when the step budget runs out.
#pragma once

#include <csignal>

namespace drevel {

// Process-wide; raised by the prompt's SIGINT handler, lowered by the prompt
// once the interrupted input has unwound.
extern volatile std::sig_atomic_t interrupt_requested;

} // namespace drevel
