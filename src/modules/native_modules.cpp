#include "modules/native_modules.h"

#include "modules/files/files.h"
#include "modules/http/http.h"
#include "modules/sdl2/sdl2_module.h"
#include "modules/std/std_module.h"

namespace drevel {

void install_native_modules() {
    // A new native module is one folder below modules/ and one line here.
    const NativeModule* const modules[] = {
        &files_module(),
        &http_module(),
        &sdl2_module(),
        &std_module(),
    };
    register_native_modules(modules);
}

} // namespace drevel
