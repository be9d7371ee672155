// A test's device stays in the test's home, whatever home the shell that ran
// the tests names: starting and stopping it never reaches the user's device.
#include "tests/support/TestDevice.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

// `cedevice status` of the device of `home`'s own (no store named).
RunResult Status(const std::filesystem::path& home)
{
    return RunProgram({ Cedevice().string(), "status" }, home);
}

TEST(TestDevice, StartsAndStopsInTheTestsHomeWhileTheShellNamesAnother)
{
    // The user's own device, running in the home the shell names.
    TempDir user("qvuser");
    TestDevice users({ .home = user.path() });
    RunResult r = users.Start();
    ASSERT_EQ(r.status, 0) << r.err;
    ScopedEnv shellHome("QUORVANE_HOME", user.path().string());

    TempDir home("qvhome");
    {
        TestDevice device({ .home = home.path() });
        r = device.Start();
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(device.running());
        r = Status(home.path());
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("store: " + (home.path() / "device").string() + "\n"), std::string::npos)
            << r.out;
        r = device.Stop();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(device.running());
    }
    EXPECT_EQ(Status(home.path()).status, 3);
    // The user's device still runs.
    r = Status(user.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("store: " + (user.path() / "device").string() + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(users.Stop().status, 0);
}

TEST(TestDevice, TheDestructorStopsADeviceItStarted)
{
    TempDir home("qvhome");
    {
        TestDevice device({ .home = home.path(), .store = home.path() / "dev", .socket = home.path() / "s" });
        RunResult r = device.Start({ "--profile", "smartphone" });
        ASSERT_EQ(r.status, 0) << r.err;
        r = RunProgram({ Cedevice().string(), "status", "--store", device.store().string() }, home.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("socket: " + (home.path() / "s").string() + "\nprofile: smartphone\n"),
            std::string::npos)
            << r.out;
    }
    RunResult r = RunProgram(
        { Cedevice().string(), "status", "--store", (home.path() / "dev").string() }, home.path());
    EXPECT_EQ(r.status, 3) << r.out;
}

TEST(TestDevice, StopRunsNothingWhenNoDeviceWasStarted)
{
    TempDir home("qvhome");
    TestDevice device({ .home = home.path() });
    RunResult r = device.Stop();
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.status, 0);
}

} // namespace
} // namespace testsupport
