// The one thread that starts device programs. A program's parent-death
// signal (see LaunchProgram) follows the thread that forked it, not the
// process: a program started on a client's thread would be killed when that
// client's connection ends. This thread lives as long as the process table,
// so the programs end exactly when the device host does, however it ends.
#pragma once

#include "device/process/Launcher.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace device {

class LaunchThread {
public:
    LaunchThread();
    // Ends the thread; programs it started and that still run are killed.
    ~LaunchThread();
    LaunchThread(const LaunchThread&) = delete;
    LaunchThread& operator=(const LaunchThread&) = delete;

    // LaunchProgram(plan, launched), run on this thread; returns its result.
    // Safe from any thread (callers take turns).
    DWORD Launch(const LaunchPlan& plan, Launched* launched);

private:
    void Run();

    std::mutex m_callMutex; // one caller at a time
    std::mutex m_mutex; // guards the fields below
    std::condition_variable m_changed;
    const LaunchPlan* m_plan = nullptr; // the launch asked for, until taken
    Launched* m_launched = nullptr;
    DWORD m_result = ERROR_SUCCESS;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace device
