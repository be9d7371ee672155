// The agent's table view against the sqlite3 shell, in the same run, on the
// same unencrypted database file: a table of 8 columns (ints, nvarchar,
// datetime, real, a null here and there). The agent runs as a device program
// would (its device folder in the environment), writing "Status" for every
// row; the shell prints the table with tab separators into a file. Prints
// both times, their ratio (goal: at most 1.5), and the agent's peak resident
// size (goal: under 30 MB for 1,000,000 rows).
//
// Usage: bench_agent_table_view [rows] [runs]   (default 100000 rows, 3 runs)
#include "bench/BenchReport.h"
#include "bench/BenchTable.h"
#include "engine/Provider.h"
#include "exchange/QueryFile.h"
#include "platform/ce/Ce.h"
#include "platform/store/DeviceFolder.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A run is never cut short: a slow machine only makes the numbers slow.
constexpr double kRunLimitSeconds = 24 * 3600;

long CountLines(const std::filesystem::path& file, bool utf16)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    long lines = 0;
    for (std::size_t i = 0; i < bytes.size(); i += utf16 ? 2 : 1)
        if (bytes[i] == '\n')
            ++lines;
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::filesystem::path bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::filesystem::path agent = bin / "Quorvane2005.dll";

    testsupport::TempDir temp("qvagentbench");
    if (!temp.ok())
        return 1;
    const std::filesystem::path root = temp.path();
    device::DeviceFolder folder { root / "dev" };
    std::filesystem::create_directories(folder.Files() / "Quorvane");
    const std::filesystem::path database = folder.Files() / "bench.sdf";

    std::printf("building a table of %ld rows...\n", rows);
    if (!bench::MakeBenchDatabase(database, rows, engine::kEngine30Class))
        return 1;

    // The engine runtime is installed on this device, and the request waits.
    setenv(device::kEnvDeviceDir, folder.dir.c_str(), 1);
    HKEY key = 0;
    if (ce::RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{32CE2952-2585-49A6-AEFF-1732076C2945}", 0, nullptr, 0,
            0, nullptr, &key, nullptr)
        != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot reach the device registry\n");
        return 1;
    }
    ce::RegCloseKey(key);
    ce::Detach();
    std::string query;
    exchange::BuildQueryFile(u"\\bench.sdf", u"", u"SELECT * FROM Bench", query);
    std::ofstream(folder.Files() / "Quorvane" / "SQLquery.txt", std::ios::binary) << query;

    const std::vector<std::string> agentEnv
        = { std::string(device::kEnvDeviceDir) + "=" + folder.dir.string(),
              "QUORVANE_CE_MODULE=\\Quorvane\\Quorvane2005.exe" };
    const std::filesystem::path shellOut = root / "shell.txt";
    testsupport::RunResult bestAgent, bestShell;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        testsupport::RunResult a = testsupport::RunProgram(
            { agent.string() }, { .env = agentEnv, .output = "/dev/null", .seconds = kRunLimitSeconds });
        testsupport::RunResult s = testsupport::RunProgram(
            { "/usr/bin/sqlite3", "-separator", "\t", database.string(), "select * from Bench" },
            { .output = shellOut, .seconds = kRunLimitSeconds });
        if (a.status != 0 || s.status != 0) {
            std::fprintf(stderr, "a run failed (agent %d, shell %d)\n%s%s", a.status, s.status, a.err.c_str(),
                s.err.c_str());
            return 1;
        }
        ratios.push_back(a.seconds / s.seconds);
        if (run == 0 || a.seconds < bestAgent.seconds)
            bestAgent = a;
        if (run == 0 || s.seconds < bestShell.seconds)
            bestShell = s;
        std::printf("run %d: agent %.3f s (peak %ld KiB), sqlite3 shell %.3f s\n", run + 1, a.seconds,
            a.maxRssKb, s.seconds);
    }
    const long agentLines = CountLines(folder.Files() / "Quorvane" / "SQLresults.txt", true);
    const long shellLines = CountLines(shellOut, false);
    std::printf(
        "results: agent %ld lines (%ld rows + 6), shell %ld lines\n", agentLines, agentLines - 6, shellLines);
    std::printf("best: agent %.3f s, sqlite3 shell %.3f s, ratio %.2f (goal <= 1.5)\n", bestAgent.seconds,
        bestShell.seconds, bestAgent.seconds / bestShell.seconds);
    std::printf(
        "agent peak resident size: %.1f MB (goal < 30 MB for 1,000,000 rows)\n", bestAgent.maxRssKb / 1024.0);
    bench::PrintRatio("agent-table-view", ratios);
    if (std::getenv("QUORVANE_BENCH_KEEP")) {
        temp.Keep();
        std::printf("kept %s\n", root.c_str());
    }
    return agentLines - 6 == rows ? 0 : 1;
}
