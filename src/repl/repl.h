// The interactive prompt: one interpreter for the whole session, inputs run
// as soon as their brackets balance.
#pragma once

namespace drevel {

void run_repl();

} // namespace drevel
