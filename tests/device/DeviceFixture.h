// Test fixtures that run the real cedevice: a temporary QUORVANE_HOME under
// /tmp (short, so the socket path fits), a device started on it, and stopped
// when the test ends.
#pragma once

#include "platform/rapi/Rapi.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testing_device {

inline std::string Cedevice()
{
    return testsupport::Cedevice().string();
}

// A running device on a fresh store; the test's clients reach it through
// Connect().
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { StartDevice(); }
    void TearDown() override { StopDevice(); }

    // Starts the device with `extra` arguments and `extraEnv` entries.
    void StartDevice(
        const std::vector<std::string>& extra = {}, const std::vector<std::string>& extraEnv = {})
    {
        testsupport::RunResult r = m_device.Start(extra, extraEnv);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void StopDevice()
    {
        if (!m_device.running())
            return;
        testsupport::RunResult r = m_device.Stop();
        EXPECT_EQ(r.status, 0) << r.err;
    }

    // A new, initialised connection to the device.
    std::unique_ptr<RapiConnection> Connect()
    {
        auto c = std::make_unique<RapiConnection>();
        c->SetSocketPath(socket());
        EXPECT_EQ(c->CeRapiInit(), S_OK);
        return c;
    }

    std::filesystem::path home() const { return m_home.path(); }
    std::filesystem::path store() const { return m_device.store(); }
    std::filesystem::path files() const { return store() / "files"; }
    std::filesystem::path socket() const { return m_device.socket(); }

    testsupport::TempDir m_home { "qvst" };
    testsupport::TestDevice m_device {
        { .home = home(), .store = home() / "device", .socket = home() / "run" / "s" }
    };
};

// Device paths as UTF-16 literals are what the client takes.
inline std::u16string U(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace testing_device
