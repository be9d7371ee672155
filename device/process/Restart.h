// Restarting the emulated device: a soft reset ends every device process and
// every client connection, keeps the store and the registry, and brings the
// device back after a short boot; a hard reset (clean boot) also returns the
// store and the registry to the factory image.
//
// The steps belong to other parts of the device host, so they come in as
// functions; this class orders them, runs them on its own thread (the
// request comes from a device program that the restart itself ends, or from
// a client whose connection it drops) and lets one restart run at a time:
//
//   1. stop admitting clients, drop every connection;
//   2. end every device process;
//   3. flush the registry; for a clean boot, rebuild store and registry;
//   4. run the disconnect notification;
//   5. wait the boot delay;
//   6. admit clients again, run the connect notification.
//
// Safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace device {

// The boot delay in milliseconds, when set (for tests and demos); else
// kDefaultBootDelay.
inline constexpr const char* kEnvBootDelay = "QUORVANE_DEVICE_BOOT_MS";
inline constexpr std::chrono::milliseconds kDefaultBootDelay { 2000 };

// kDefaultBootDelay, or the value of kEnvBootDelay (0 to 60000 ms).
std::chrono::milliseconds BootDelayFromEnvironment();

// The milliseconds that environment variable `name` gives (0 to `most`), or
// `fallback` when it is unset or holds anything else.
std::chrono::milliseconds MillisecondsFromEnvironment(
    const char* name, std::chrono::milliseconds fallback, std::chrono::milliseconds most);

class Restarter {
public:
    struct Steps {
        std::function<void()> closeClients; // step 1
        std::function<void()> endProcesses; // step 2
        std::function<void()> syncRegistry; // step 3
        // Step 3 of a clean boot; false with a reason (logged; the device
        // still comes back, with what the rebuild left).
        std::function<bool(std::string* error)> restoreFactoryImage;
        std::function<void()> disconnected; // step 4
        std::function<void()> openClients; // step 6
        std::function<void()> connected; // step 6
        std::function<void(const std::string& line)> log;
        std::chrono::milliseconds bootDelay = kDefaultBootDelay;
    };

    explicit Restarter(Steps steps);
    // Waits for a restart under way.
    ~Restarter();
    Restarter(const Restarter&) = delete;
    Restarter& operator=(const Restarter&) = delete;

    // Starts a restart and returns at once: ERROR_SUCCESS; ERROR_BUSY while
    // another restart runs (it ends the caller anyway); ERROR_NOT_SUPPORTED
    // once Shutdown() was called.
    DWORD Request(bool clean);

    // True while a restart runs.
    bool Running();

    // Waits for a restart under way and refuses new ones.
    void Shutdown();

    // How many restarts have completed (for tests and status).
    unsigned Completed();

private:
    void Run(bool clean);

    Steps m_steps;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_running = false;
    bool m_shutdown = false;
    unsigned m_completed = 0;
    std::thread m_thread;
};

} // namespace device
