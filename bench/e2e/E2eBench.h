// What the end-to-end benchmarks share: a running cedevice on a home of its
// own holding an unencrypted engine-2.0 table Bench (so that the agent the cli
// starts first answers it itself and the sqlite3 shell can read the same
// file), programs run against it, and the step marks of one request.
#pragma once

#include "bench/BenchTable.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Microseconds of CLOCK_MONOTONIC, the clock of the step marks.
inline long long MonotonicMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// A device on a temporary home whose store holds \bench.sdf with `rows` rows.
// Programs run through Run get the home and `env`; so does the device, whose
// agents inherit it.
class BenchDevice {
public:
    BenchDevice(const char* name, long rows, std::vector<std::string> env = {})
        : m_temp(name)
        , m_env(std::move(env))
        , m_device({ .home = m_temp.path() })
    {
        if (!m_temp.ok())
            return;
        std::printf("building a table of %ld rows...\n", rows);
        // The device makes its store on the first start; the table goes into
        // it while the device is down.
        m_ok = m_device.Start({}, m_env).status == 0 && m_device.Stop().status == 0
            && MakeBenchDatabase(database(), rows, engine::kEngine20Class)
            && m_device.Start({}, m_env).status == 0;
        if (!m_ok)
            std::fprintf(stderr, "%s: the device or the table could not be made\n", name);
    }
    ~BenchDevice()
    {
        m_device.Stop();
        if (std::getenv("QUORVANE_BENCH_KEEP")) {
            m_temp.Keep();
            std::printf("kept %s\n", home().c_str());
        }
    }

    bool ok() const { return m_ok; }
    const std::filesystem::path& home() const { return m_temp.path(); }
    // The database file on the desktop side, for the sqlite3 shell.
    std::filesystem::path database() const { return home() / "device" / "files" / "bench.sdf"; }

    // Runs a program, its output into `output`, never cut short; its exit status.
    int Run(const std::vector<std::string>& argv, const std::filesystem::path& output) const
    {
        return testsupport::RunProgram(
            argv, { .home = home(), .env = m_env, .output = output, .seconds = 24 * 3600 })
            .status;
    }

private:
    testsupport::TempDir m_temp;
    std::vector<std::string> m_env;
    testsupport::TestDevice m_device;
    bool m_ok = false;
};

// The marks file's lines "<microseconds> <process> <step>", as step -> time
// (the first mark of each step).
inline std::map<std::string, long long> ReadStepMarks(const std::filesystem::path& file)
{
    std::map<std::string, long long> marks;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long long at = 0;
        int process = 0;
        if (!(fields >> at >> process))
            continue;
        std::string step;
        std::getline(fields >> std::ws, step);
        marks.emplace(step, at);
    }
    return marks;
}

} // namespace bench
