// Whole-system runs: a real cedevice on a fresh QUORVANE_HOME under /tmp
// (short, so its socket path fits), the real agent deployed by quorvane-cli,
// and the demo databases made by the real demo script.
//
// The demo is made once per test program, on a device of its own that is
// then stopped; each test gets a copy of that whole home (desktop hive and
// device folder) and starts its own device on it, so tests neither wait for
// the demo again nor see each other's changes.
#pragma once

#include "tests/support/BuiltPrograms.h"
#include "tests/support/HostFile.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// The whole-system tests run programs and folders through the test support.
using testsupport::BinDir;
using testsupport::Cedevice;
using testsupport::Cli;
using testsupport::Process;
using testsupport::ReadHostFile;
using testsupport::RunOptions;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteHostFile;

// The demo script.
std::filesystem::path DemoScript();

// The host processes of the device programs of the device folder
// `deviceDir`, found by the environment the device gives each of them.
std::vector<pid_t> DevicePrograms(const std::filesystem::path& deviceDir);

// Makes the demo home once: a device started, the demo script run, the
// device stopped. Fails the test (and every later one) when that fails.
const std::filesystem::path& DemoTemplate();

// A test with its own device on a copy of the demo home.
class DemoDevice : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // quorvane-cli with `args` on this test's home.
    RunResult Q(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
        double seconds = 120);
    void StartDevice();
    void StopDevice();

    const std::filesystem::path& home() const { return m_home.path(); }
    std::filesystem::path deviceFiles() const { return m_home.path() / "device" / "files"; }

    static constexpr const char* kOrders = "\\My Documents\\Orders.sdf";
    static constexpr const char* kSecret = "\\My Documents\\Secret.sdf";

private:
    TempDir m_home { "qve" };
    // On the home's own store and socket, as a user's device would be.
    testsupport::TestDevice m_device { { .home = m_home.path() } };
};

} // namespace e2e
