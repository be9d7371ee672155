// The agent's table view against the sqlite3 shell, in the same run, on the
// same unencrypted database file: a table of 8 columns (ints, nvarchar,
// datetime, real, a null here and there). The agent runs as a device program
// would (its device folder in the environment), writing "Status" for every
// row; the shell prints the table with tab separators into a file. Prints
// both times, their ratio (goal: at most 3), and the agent's peak resident
// size (goal: under 30 MB for 1,000,000 rows).
//
// Usage: bench_agent_table_view [rows] [runs]   (default 100000 rows, 3 runs)
#include "bench/BenchReport.h"
#include "device/store/DeviceFolder.h"
#include "engine/Provider.h"
#include "exchange/QueryFile.h"
#include "platform/ce/Ce.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::u16string U(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

bool Check(engine::HRESULT hr, const char* what)
{
    if (hr >= 0)
        return true;
    std::vector<engine::ErrorRecord> records;
    engine::GetErrorInfo(records);
    std::string text;
    for (char16_t c : records.empty() ? std::u16string() : records[0].description)
        text.push_back(static_cast<char>(c < 128 ? c : '?'));
    std::fprintf(stderr, "%s failed: 0x%08x %s\n", what, static_cast<unsigned>(hr), text.c_str());
    return false;
}

bool MakeTable(const std::filesystem::path& file, long rows)
{
    std::unique_ptr<engine::Provider> provider;
    auto any = [](std::u16string_view) { return true; };
    if (!Check(engine::CreateProvider(engine::kEngine30Class, any, provider), "provider")
        || !Check(provider->SetProperties({ file, u"" }), "properties")
        || !Check(provider->CreateDataSource(), "create"))
        return false;
    std::unique_ptr<engine::Session> session;
    if (!Check(provider->CreateSession(session), "session"))
        return false;
    std::unique_ptr<engine::Rowset> none;
    std::int64_t affected = 0;
    if (!Check(
            session->Execute(u"CREATE TABLE Bench (id int IDENTITY PRIMARY KEY, qty int, name nvarchar(50), "
                             u"stamp datetime, ratio real, amount float, note nvarchar(100), code smallint)",
                none, affected),
            "create table"))
        return false;
    const std::string columns = "(qty, name, stamp, ratio, amount, note, code)";
    if (!Check(session->Execute(U("INSERT INTO Bench " + columns
                                    + " VALUES (7, 'name 1', '2005/12/25 10:00:00', 0.5, 1.25, 'note 1', 3)"),
                   none, affected),
            "insert"))
        return false;
    for (long have = 1; have < rows; have *= 2) {
        std::string sql = "INSERT INTO Bench " + columns + " SELECT (id * 7) % 1000, 'name ' || (id + "
            + std::to_string(have)
            + "), printf('%04d/%d/%d %d:%02d:%02d', 2000 + id % 20, 1 + id % 12, 1 + id % 28, id % 24, id % "
              "60, "
              "(id * 7) % 60), id * 0.5, id * 1.25, CASE WHEN id % 10 = 0 THEN NULL ELSE 'note ' || id END, "
              "id % 30000 FROM Bench WHERE id <= "
            + std::to_string(rows - have);
        if (!Check(session->Execute(U(sql), none, affected), "fill"))
            return false;
    }
    return true;
}

struct Timed {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs `argv` with `extraEnv`, standard output into `output` (or /dev/null).
Timed RunTimed(
    const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, const char* output)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp, args;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copy = argv;
    for (auto& a : copy)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 1, output ? output : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Timed timed;
    auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return timed;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    timed.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    timed.maxRssKb = usage.ru_maxrss;
    timed.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return timed;
}

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

    char pattern[] = "/tmp/qvagentbench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path root = pattern;
    device::DeviceFolder folder { root / "dev" };
    std::filesystem::create_directories(folder.Files() / "Quorvane");
    const std::filesystem::path database = folder.Files() / "bench.sdf";

    std::printf("building a table of %ld rows...\n", rows);
    if (!MakeTable(database, rows))
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
    Timed bestAgent, bestShell;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        Timed a = RunTimed({ agent.string() }, agentEnv, nullptr);
        Timed s
            = RunTimed({ "/usr/bin/sqlite3", "-separator", "\t", database.string(), "select * from Bench" },
                {}, shellOut.c_str());
        if (a.status != 0 || s.status != 0) {
            std::fprintf(stderr, "a run failed (agent %d, shell %d)\n", a.status, s.status);
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
    std::printf("best: agent %.3f s, sqlite3 shell %.3f s, ratio %.2f (goal <= 3)\n", bestAgent.seconds,
        bestShell.seconds, bestAgent.seconds / bestShell.seconds);
    std::printf(
        "agent peak resident size: %.1f MB (goal < 30 MB for 1,000,000 rows)\n", bestAgent.maxRssKb / 1024.0);
    bench::PrintRatio("agent-table-view", ratios);
    if (std::getenv("QUORVANE_BENCH_KEEP")) {
        std::printf("kept %s\n", root.c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    return agentLines - 6 == rows ? 0 : 1;
}
