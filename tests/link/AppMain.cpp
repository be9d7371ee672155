// The Qt application object every link test runs under.
#include "AppEnvironment.h"

namespace {

::testing::Environment* const kApplication
    = ::testing::AddGlobalTestEnvironment(new linktest::AppEnvironment);

} // namespace
