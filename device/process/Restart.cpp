#include "device/process/Restart.h"

#include <cstdlib>

namespace device {

std::chrono::milliseconds MillisecondsFromEnvironment(
    const char* name, std::chrono::milliseconds fallback, std::chrono::milliseconds most)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    long long ms = std::strtoll(text, &end, 10);
    if (*end != '\0' || ms < 0 || ms > most.count())
        return fallback;
    return std::chrono::milliseconds(ms);
}

std::chrono::milliseconds BootDelayFromEnvironment()
{
    return MillisecondsFromEnvironment(kEnvBootDelay, kDefaultBootDelay, std::chrono::milliseconds(60000));
}

Restarter::Restarter(Steps steps)
    : m_steps(std::move(steps))
{
}

Restarter::~Restarter()
{
    Shutdown();
}

DWORD Restarter::Request(bool clean)
{
    std::lock_guard lock(m_mutex);
    if (m_shutdown)
        return ERROR_NOT_SUPPORTED;
    if (m_running)
        return ERROR_BUSY;
    if (m_thread.joinable())
        m_thread.join(); // the previous restart has finished its last step
    m_running = true;
    m_thread = std::thread([this, clean] { Run(clean); });
    return ERROR_SUCCESS;
}

bool Restarter::Running()
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

unsigned Restarter::Completed()
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

void Restarter::Shutdown()
{
    std::thread finishing;
    {
        std::unique_lock lock(m_mutex);
        m_shutdown = true;
        m_done.wait(lock, [this] { return !m_running; });
        finishing = std::move(m_thread);
    }
    if (finishing.joinable())
        finishing.join();
}

void Restarter::Run(bool clean)
{
    auto log = [this](const std::string& line) {
        if (m_steps.log)
            m_steps.log(line);
    };
    auto step = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    log(clean ? "hard reset: the device restarts from its factory image" : "soft reset: the device restarts");
    step(m_steps.closeClients);
    step(m_steps.endProcesses);
    step(m_steps.syncRegistry);
    if (clean && m_steps.restoreFactoryImage) {
        std::string error;
        if (!m_steps.restoreFactoryImage(&error))
            log("hard reset: the factory image could not be restored: " + error);
    }
    step(m_steps.disconnected);
    std::this_thread::sleep_for(m_steps.bootDelay);
    step(m_steps.openClients);
    step(m_steps.connected);
    log("the device is back");
    std::lock_guard lock(m_mutex);
    m_running = false;
    ++m_completed;
    m_done.notify_all();
}

} // namespace device
