// The application object every window test runs under.
#include "WindowFixture.h"

namespace {

::testing::Environment* const kApplication
    = ::testing::AddGlobalTestEnvironment(new windowtest::WidgetAppEnvironment);

} // namespace
