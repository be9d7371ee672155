#include "device/process/LaunchThread.h"

namespace device {

LaunchThread::LaunchThread()
    : m_thread([this] { Run(); })
{
}

LaunchThread::~LaunchThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

DWORD LaunchThread::Launch(const LaunchPlan& plan, Launched* launched)
{
    std::lock_guard call(m_callMutex);
    std::unique_lock lock(m_mutex);
    m_plan = &plan;
    m_launched = launched;
    m_done = false;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_done; });
    return m_result;
}

void LaunchThread::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_plan; });
        // A launch asked for is served even when the end is near: its
        // caller waits for the answer.
        if (!m_plan)
            return;
        const LaunchPlan* plan = m_plan;
        Launched* launched = m_launched;
        m_plan = nullptr;
        lock.unlock();
        DWORD result = LaunchProgram(*plan, launched);
        lock.lock();
        m_result = result;
        m_done = true;
        m_changed.notify_all();
    }
}

} // namespace device
