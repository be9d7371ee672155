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
#include "bench/BenchTable.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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

// An unencrypted engine-2.0 database, so that the engine-2.0 agent the cli
// starts first answers it itself and the shell can read it.
bool MakeBenchDatabase(const std::filesystem::path& file, long rows)
{
    return bench::MakeBenchDatabase(file, rows, engine::kEngine20Class);
}

// Runs a program with QUORVANE_HOME=`home` (none when empty), its output
// into `output`, never cut short; its exit status.
int Run(const std::vector<std::string>& argv, const std::filesystem::path& home,
    const std::filesystem::path& output)
{
    return testsupport::RunProgram(argv, { .home = home, .output = output, .seconds = 24 * 3600 }).status;
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
    const std::string cli = testsupport::Cli().string();

    testsupport::TempDir temp("qvbench-e2e");
    if (!temp.ok())
        return 1;
    const std::filesystem::path home = temp.path();
    const std::filesystem::path out = home / "out.tsv";
    const std::filesystem::path database = home / "device" / "files" / "bench.sdf";
    // On the home's own store and socket, as a user's device would be.
    testsupport::TestDevice device({ .home = home });
    int status = 1;

    // The device makes its store on the first start; the table goes into it
    // while the device is down.
    std::printf("building a table of %ld rows...\n", rows);
    if (device.Start().status != 0 || device.Stop().status != 0 || !MakeBenchDatabase(database, rows)
        || device.Start().status != 0) {
        std::fprintf(stderr, "bench_cli_sql: the device or the table could not be made\n");
    } else {
        const std::vector<std::string> request
            = { cli, "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
        const std::vector<std::string> shell
            = { "/usr/bin/sqlite3", "-separator", "\t", database.string(), "select * from Bench" };
        // The first request copies the agent onto the device.
        bool ok = Run(request, home, out) == 0 && ParseRows(out, true, 8) == rows;
        std::vector<double> ratios;
        double bestCli = 1e9, bestShell = 1e9;
        for (int run = 0; ok && run < runs; ++run) {
            auto t = Clock::now();
            ok = Run(request, home, out) == 0 && ParseRows(out, true, 8) == rows;
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
    if (device.Stop().status != 0)
        status = 1;
    if (std::getenv("QUORVANE_BENCH_KEEP")) {
        temp.Keep();
        std::printf("kept %s\n", home.c_str());
    }
    return status;
}
