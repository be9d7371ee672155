// The whole road of one request against the sqlite3 shell, in the same run,
// on the same database file: `quorvane-cli sql DB "SELECT * FROM Bench"
// --format tsv` (query file, agent, status polling, results file, parsing,
// printing) on a running cedevice, and `sqlite3 -separator TAB` reading the
// file directly. Each side's output is then split into rows and fields by
// this program, so both are timed from the request to parsed rows. The table
// has 8 columns (ints, nvarchar, datetime, real, a null here and there).
//
// Usage: bench_cli_sql [rows] [runs]   (default 100000 rows, 5 runs)
#include "bench/BenchReport.h"
#include "engine/Provider.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
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

// An unencrypted engine-2.0 database, so that the engine-2.0 agent the cli
// starts first answers it itself and the shell can read it.
bool MakeTable(const std::filesystem::path& file, long rows)
{
    std::unique_ptr<engine::Provider> provider;
    auto any = [](std::u16string_view) { return true; };
    if (!Check(engine::CreateProvider(engine::kEngine20Class, any, provider), "provider")
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
            + "), printf('%04d/%d/%d %d:%02d:%02d', 2000 + id % 20, 1 + id % 12, 1 + id % 28, id % 24, "
              "id % 60, (id * 7) % 60), id * 0.5, id * 1.25, CASE WHEN id % 10 = 0 THEN NULL ELSE 'note ' || "
              "id END, id % 30000 FROM Bench WHERE id <= "
            + std::to_string(rows - have);
        if (!Check(session->Execute(U(sql), none, affected), "fill"))
            return false;
    }
    return true;
}

// Runs `argv` with `extraEnv`, standard output into `output`; its exit status.
int Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
    const std::filesystem::path& output)
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
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Splits a tab-separated file into rows of fields, as a consumer of the
// output would; the number of rows, or -1 when a row does not have `fields`.
long ParseRows(const std::filesystem::path& file, bool header, std::size_t fields)
{
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string_view> row;
    long rows = 0;
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (first && header) {
            first = false;
            continue;
        }
        row.clear();
        for (std::size_t from = 0;;) {
            std::size_t tab = line.find('\t', from);
            row.push_back(line.substr(from, tab == std::string_view::npos ? line.npos : tab - from));
            if (tab == std::string_view::npos)
                break;
            from = tab + 1;
        }
        if (row.size() != fields)
            return -1;
        ++rows;
    }
    return rows;
}

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::filesystem::path bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string cedevice = (bin / "cedevice").string(), cli = (bin / "quorvane-cli").string();

    char pattern[] = "/tmp/qvbench-e2e-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path home = pattern;
    const std::vector<std::string> env = { "QUORVANE_HOME=" + home.string() };
    const std::filesystem::path devNull = "/dev/null", out = home / "out.tsv";
    const std::filesystem::path database = home / "device" / "files" / "bench.sdf";
    int status = 1;

    // The device makes its store on the first start; the table goes into it
    // while the device is down.
    std::printf("building a table of %ld rows...\n", rows);
    if (Run({ cedevice, "start" }, env, devNull) != 0 || Run({ cedevice, "stop" }, env, devNull) != 0
        || !MakeTable(database, rows) || Run({ cedevice, "start" }, env, devNull) != 0) {
        std::fprintf(stderr, "bench_cli_sql: the device or the table could not be made\n");
    } else {
        const std::vector<std::string> request
            = { cli, "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
        const std::vector<std::string> shell
            = { "/usr/bin/sqlite3", "-separator", "\t", database.string(), "select * from Bench" };
        // The first request copies the agent onto the device.
        bool ok = Run(request, env, out) == 0 && ParseRows(out, true, 8) == rows;
        std::vector<double> ratios;
        double bestCli = 1e9, bestShell = 1e9;
        for (int run = 0; ok && run < runs; ++run) {
            auto t = Clock::now();
            ok = Run(request, env, out) == 0 && ParseRows(out, true, 8) == rows;
            const double cliRun = Seconds(t);
            t = Clock::now();
            ok = ok && Run(shell, {}, out) == 0 && ParseRows(out, false, 8) == rows;
            const double shellRun = Seconds(t);
            ratios.push_back(cliRun / shellRun);
            bestCli = std::min(bestCli, cliRun);
            bestShell = std::min(bestShell, shellRun);
            std::printf("run %d: quorvane-cli %.3f s, sqlite3 shell %.3f s\n", run + 1, cliRun, shellRun);
        }
        if (ok) {
            std::printf("best: quorvane-cli %.3f s, sqlite3 shell %.3f s, ratio %.2f\n", bestCli, bestShell,
                bestCli / bestShell);
            bench::PrintRatio("cli-sql-tsv", ratios);
            status = 0;
        } else {
            std::fprintf(stderr, "bench_cli_sql: a request failed or gave other rows than %ld\n", rows);
        }
    }
    if (Run({ cedevice, "stop" }, env, devNull) != 0)
        status = 1;
    if (std::getenv("QUORVANE_BENCH_KEEP")) {
        std::printf("kept %s\n", home.c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    return status;
}
