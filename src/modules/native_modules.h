// The native modules this program is built with.
#pragma once

namespace drevel {

// Makes every native module callable; the driver calls it once at start-up.
void install_native_modules();

} // namespace drevel
