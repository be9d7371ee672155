#include "tests/support/TestDevice.h"

#include "tests/support/BuiltPrograms.h"

#include <utility>

namespace testsupport {

TestDevice::TestDevice(Paths paths)
    : m_paths(std::move(paths))
{
}

TestDevice::~TestDevice()
{
    Stop();
}

RunResult TestDevice::Start(
    const std::vector<std::string>& extraArgs, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> args = { Cedevice().string(), "start" };
    if (!m_paths.store.empty())
        args.insert(args.end(), { "--store", m_paths.store.string() });
    if (!m_paths.socket.empty())
        args.insert(args.end(), { "--socket", m_paths.socket.string() });
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    RunResult result = RunProgram(args, m_paths.home, extraEnv);
    m_running = m_running || result.status == 0;
    return result;
}

RunResult TestDevice::Stop()
{
    RunResult result;
    if (!m_running) {
        result.status = 0;
        return result;
    }
    m_running = false;
    std::vector<std::string> args = { Cedevice().string(), "stop" };
    if (!m_paths.store.empty())
        args.insert(args.end(), { "--store", m_paths.store.string() });
    return RunProgram(args, m_paths.home);
}

} // namespace testsupport
