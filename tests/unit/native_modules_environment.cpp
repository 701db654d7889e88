// Every unit test runs with the program's native modules installed, as the
// driver installs them at start-up: parsing binds the graphics builtins and
// `use files` finds its module whatever order the tests run in.
#include <gtest/gtest.h>

#include "modules/native_modules.h"

namespace {

class NativeModules : public testing::Environment {
  public:
    void SetUp() override { drevel::install_native_modules(); }
};

testing::Environment* const kNativeModules = testing::AddGlobalTestEnvironment(new NativeModules);

} // namespace
