// Running a program the way tests and benchmarks need it: with a clean
// environment, standard input from a file or /dev/null, standard output and
// error captured (or output sent to a file), a time limit, and the exit
// status, run time and peak memory afterwards.
//
// A clean environment is this process's own without any variable whose
// name begins with "QUORVANE_", plus the QUORVANE_HOME a test gives. So a
// user's QUORVANE_HOME or QUORVANE_TRACE in the shell can never send a
// test's program to the user's own hive, store or device.
//
// A Process belongs to the thread that made it; the free functions are safe
// from any thread.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

struct RunOptions {
    // QUORVANE_HOME of the program; empty: it gets none.
    std::filesystem::path home;
    // More "NAME=value" entries; each replaces an earlier one of its name.
    std::vector<std::string> env;
    // Standard input; empty: /dev/null.
    std::filesystem::path input;
    // Standard output goes to this file (created or truncated) instead of
    // RunResult::out; empty: captured.
    std::filesystem::path output;
    // The time limit of RunProgram, in seconds.
    double seconds = 120;
};

struct RunResult {
    bool started = false; // false: it could not be started, and err says why
    int status = -1; // exit status; 128 + signal when a signal ended it; -1 when not started
    bool timedOut = false; // it had to be killed after the time allowed
    double seconds = 0; // from its start to its end
    long maxRssKb = 0; // its peak resident size
    std::string out, err; // what it wrote to standard output and error
};

// The clean environment (above) with QUORVANE_HOME=`home` (none when empty)
// and `extra` added, as "NAME=value" entries; no name appears twice.
std::vector<std::string> CleanEnvironment(
    const std::filesystem::path& home, const std::vector<std::string>& extra = {});

// A program started by the constructor and running until Wait or the
// destructor. args[0] is a path, or a name looked up in PATH.
class Process {
public:
    Process(const std::vector<std::string>& args, const RunOptions& options);
    // Kills the program when it still runs.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Sends `signal` to the program while it runs.
    void Signal(int signal);

    // Waits until the program ends, at most until `seconds` after its start;
    // one still running then is killed (timedOut). Call once.
    RunResult Wait(double seconds);

private:
    pid_t m_pid = -1;
    int m_pidFd = -1; // readable when the program ended; -1 where unavailable
    int m_outFd = -1, m_errFd = -1; // anonymous files holding its output
    std::string m_startError;
    double m_started = 0;
};

// Starts the program and waits for it within options.seconds.
RunResult RunProgram(const std::vector<std::string>& args, const RunOptions& options);

// The same with QUORVANE_HOME=`home` and the `extraEnv` entries.
RunResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv = {}, double seconds = 120);

} // namespace testsupport
