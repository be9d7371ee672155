// A cedevice of a test's (or a benchmark's) own: started on its own store and
// socket, reached by programs that get its QUORVANE_HOME in a clean
// environment (see Program.h), and stopped when the object goes.
//
// One object belongs to one thread.
#pragma once

#include "tests/support/Program.h"

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TestDevice {
public:
    struct Paths {
        // QUORVANE_HOME of cedevice and of every program run for the device.
        std::filesystem::path home;
        // The device folder (--store); empty: cedevice's own beneath home.
        std::filesystem::path store;
        // The socket (--socket); empty: cedevice's own beneath home. Keep it
        // short: a socket path holds at most 107 bytes.
        std::filesystem::path socket;
    };

    // Nothing starts until Start.
    explicit TestDevice(Paths paths);
    // Stops the device when this object started it and it still runs.
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    // Runs "cedevice start [--store S] [--socket K] `extraArgs`..." with
    // `extraEnv` added to the clean environment, and returns how it went.
    // It runs even when the device already runs (a test may want the refusal);
    // running() is true once a start succeeded.
    RunResult Start(
        const std::vector<std::string>& extraArgs = {}, const std::vector<std::string>& extraEnv = {});

    // Runs "cedevice stop [--store S]" when running(); a result with status 0
    // and nothing run otherwise. running() is false afterwards.
    RunResult Stop();

    // For a test that ended the device itself (stopped or killed it): the
    // destructor and Stop leave it alone from now on.
    void Forget() { m_running = false; }

    bool running() const { return m_running; }
    const Paths& paths() const { return m_paths; }
    const std::filesystem::path& home() const { return m_paths.home; }
    const std::filesystem::path& store() const { return m_paths.store; }
    const std::filesystem::path& socket() const { return m_paths.socket; }

private:
    Paths m_paths;
    bool m_running = false;
};

} // namespace testsupport
