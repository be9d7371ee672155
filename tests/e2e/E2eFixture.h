// Whole-system runs: a real cedevice on a fresh QUORVANE_HOME under /tmp
// (short, so its socket path fits), the real agent deployed by quorvane-cli,
// and the demo databases made by the real demo script.
//
// The demo is made once per test program, on a device of its own that is
// then stopped; each test gets a copy of that whole home (desktop hive and
// device folder) and starts its own device on it, so tests neither wait for
// the demo again nor see each other's changes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

struct RunResult {
    int status = -1; // exit status; 128 + signal when killed
    bool timedOut = false; // it had to be killed after the time allowed
    double seconds = 0;
    std::string out, err;
};

// A folder under /tmp, removed with everything in it at the end.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A program started with QUORVANE_HOME=home (plus `extraEnv`), its output
// and errors going to files, standard input from `input` (or /dev/null).
class Process {
public:
    Process(const std::vector<std::string>& args, const std::filesystem::path& home,
        const std::vector<std::string>& extraEnv = {}, const std::filesystem::path& input = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits at most `seconds`; a program still running then is killed.
    RunResult Wait(double seconds);
    // Sends `signal` to the program while it runs.
    void Signal(int signal);

private:
    TempHome m_io;
    pid_t m_pid = -1;
    double m_started = 0;
};

RunResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv = {}, double seconds = 120);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// The built programs and the demo script.
std::filesystem::path BinDir();
std::filesystem::path Cli();
std::filesystem::path Cedevice();
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
    TempHome m_home;
    bool m_running = false;
};

} // namespace e2e
