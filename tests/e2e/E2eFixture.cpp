#include "tests/e2e/E2eFixture.h"

#include <cstdlib>
#include <memory>

namespace e2e {

std::filesystem::path DemoScript()
{
    return std::filesystem::path(QV_SOURCE_DIR) / "data" / "demo" / "make-demo";
}

std::vector<pid_t> DevicePrograms(const std::filesystem::path& deviceDir)
{
    using namespace std::string_literals;
    const std::string dir = "\0QUORVANE_DEVICE_DIR="s + deviceDir.string() + '\0';
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string env = '\0' + ReadHostFile(entry.path() / "environ");
        if (env.find(dir) != std::string::npos && env.find("\0QUORVANE_CE_PROCESS_ID="s) != std::string::npos)
            pids.push_back(pid_t(std::atoi(entry.path().filename().c_str())));
    }
    return pids;
}

const std::filesystem::path& DemoTemplate()
{
    static std::unique_ptr<TempDir> home;
    static std::string failure;
    if (!home) {
        home = std::make_unique<TempDir>("qve");
        testsupport::TestDevice device({ .home = home->path() });
        RunResult start = device.Start();
        if (start.status != 0) {
            failure = "cedevice would not start: " + start.err;
        } else {
            RunResult demo
                = RunProgram({ DemoScript().string(), "--cli", Cli().string() }, home->path(), {}, 300);
            if (demo.status != 0)
                failure = "the demo script failed:\n" + demo.out + demo.err;
            RunResult stop = device.Stop();
            if (stop.status != 0 && failure.empty())
                failure = "cedevice would not stop: " + stop.err;
        }
    }
    EXPECT_TRUE(failure.empty()) << failure;
    return home->path();
}

void DemoDevice::SetUp()
{
    const std::filesystem::path& demo = DemoTemplate();
    if (HasFailure())
        return;
    // cp -a keeps what the device keeps in extended attributes (attributes,
    // times, what is a ROM program) and the file times deployment compares.
    for (const char* part : { "desktop", "device" }) {
        RunResult copy = RunProgram({ "/bin/cp", "-a", (demo / part).string(), home().string() }, home());
        ASSERT_EQ(copy.status, 0) << copy.err;
    }
    StartDevice();
}

void DemoDevice::TearDown()
{
    StopDevice();
}

void DemoDevice::StartDevice()
{
    RunResult r = m_device.Start();
    ASSERT_EQ(r.status, 0) << r.err;
}

void DemoDevice::StopDevice()
{
    RunResult r = m_device.Stop();
    EXPECT_EQ(r.status, 0) << r.err;
}

RunResult DemoDevice::Q(
    const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, double seconds)
{
    std::vector<std::string> argv = { Cli().string() };
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, home(), extraEnv, seconds);
}

} // namespace e2e
