// The round trip of a one-row request from process start to exit,
// `quorvane-cli sql DB "SELECT * FROM Bench WHERE id = 1"`, against the
// sqlite3 shell running the same query on the same database file, in the
// same run. The request's step marks (desktop and agent write them to one
// file, on one clock) split its time into steps: the median of each step
// over the runs, in milliseconds and as a share of the median round trip.
//
// Usage: bench_round_trip [runs]   (default 30)
#include "bench/BenchReport.h"
#include "bench/e2e/E2eBench.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The steps between two marks; "spawn" and "exit" are this program's own,
// taken around the cli's run.
struct Step {
    const char* name;
    const char* from;
    const char* to;
};

const Step kSteps[] = {
    { "cli start (exec, libraries)", "spawn", "cli: started" },
    { "connection (settings, device)", "cli: started", "cli: connected" },
    { "deployment check", "cli: connected", "cli: deployment checked" },
    { "query file", "cli: deployment checked", "desktop: query file written" },
    { "agent start", "desktop: query file written", "agent: started" },
    { "database open", "agent: started", "agent: database opened" },
    { "run", "agent: database opened", "agent: statement run" },
    { "results written", "agent: statement run", "agent: results written" },
    { "agent end", "agent: results written", "agent: done written" },
    { "wake-up", "agent: done written", "desktop: done seen" },
    { "results read and parsed", "desktop: done seen", "desktop: results read" },
    { "print", "desktop: results read", "cli: ending" },
    { "exit", "cli: ending", "exit" },
};
constexpr std::size_t kStepCount = sizeof kSteps / sizeof kSteps[0];

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    testsupport::TempDir marksDir("qvbench-marks");
    const std::filesystem::path marks = marksDir.path() / "marks.txt";
    bench::BenchDevice device("bench_round_trip", 1000, { "QUORVANE_STEP_MARKS=" + marks.string() });
    if (!device.ok() || !marksDir.ok())
        return 1;
    const std::filesystem::path out = device.home() / "out.txt";
    const std::vector<std::string> request
        = { testsupport::Cli().string(), "sql", "\\bench.sdf", "SELECT * FROM Bench WHERE id = 1" };
    const std::vector<std::string> shell
        = { "/usr/bin/sqlite3", device.database().string(), "SELECT * FROM Bench WHERE id = 1" };

    // The first request copies the agent onto the device.
    if (device.Run(request, out) != 0) {
        std::fprintf(stderr, "bench_round_trip: the first request failed\n");
        return 1;
    }
    std::vector<double> ratios, cliMs, shellMs;
    std::vector<std::vector<double>> stepMs(kStepCount);
    for (int run = 0; run < runs; ++run) {
        std::filesystem::remove(marks);
        const long long spawn = bench::MonotonicMicroseconds();
        auto t = bench::Clock::now();
        const bool ran = device.Run(request, out) == 0;
        const double cliRun = bench::Seconds(t);
        const long long exited = bench::MonotonicMicroseconds();
        t = bench::Clock::now();
        const bool shellRan = device.Run(shell, out) == 0;
        const double shellRun = bench::Seconds(t);
        if (!ran || !shellRan) {
            std::fprintf(stderr, "bench_round_trip: run %d failed\n", run + 1);
            return 1;
        }
        ratios.push_back(cliRun / shellRun);
        cliMs.push_back(cliRun * 1000);
        shellMs.push_back(shellRun * 1000);
        std::map<std::string, long long> at = bench::ReadStepMarks(marks);
        at["spawn"] = spawn;
        at["exit"] = exited;
        for (std::size_t i = 0; i < kStepCount; ++i) {
            const auto from = at.find(kSteps[i].from), to = at.find(kSteps[i].to);
            if (from == at.end() || to == at.end()) {
                std::fprintf(stderr, "bench_round_trip: run %d has no mark \"%s\"\n", run + 1,
                    from == at.end() ? kSteps[i].from : kSteps[i].to);
                return 1;
            }
            stepMs[i].push_back(double(to->second - from->second) / 1000.0);
        }
    }
    const double total = bench::Median(cliMs);
    std::printf("round trip: quorvane-cli %.1f ms, sqlite3 shell %.1f ms (medians of %d runs)\n", total,
        bench::Median(shellMs), runs);
    std::printf("%-32s %9s %7s\n", "step", "ms", "share");
    for (std::size_t i = 0; i < kStepCount; ++i) {
        const double ms = bench::Median(stepMs[i]);
        std::printf("%-32s %9.2f %6.1f%%\n", kSteps[i].name, ms, 100.0 * ms / total);
    }
    bench::PrintRatio("round-trip", ratios);
    bench::PrintFigure("round-trip-ms", cliMs);
    return 0;
}
