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
#include "bench/e2e/E2eBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

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

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // On the home's own store and socket, as a user's device would be.
    bench::BenchDevice device("bench_cli_sql", rows);
    if (!device.ok())
        return 1;
    const std::filesystem::path out = device.home() / "out.tsv";
    const std::vector<std::string> request
        = { testsupport::Cli().string(), "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
    const std::vector<std::string> shell
        = { "/usr/bin/sqlite3", "-separator", "\t", device.database().string(), "select * from Bench" };
    // The first request copies the agent onto the device.
    bool ok = device.Run(request, out) == 0 && ParseRows(out, true, 8) == rows;
    std::vector<double> ratios;
    double bestCli = 1e9, bestShell = 1e9;
    for (int run = 0; ok && run < runs; ++run) {
        auto t = bench::Clock::now();
        ok = device.Run(request, out) == 0 && ParseRows(out, true, 8) == rows;
        const double cliRun = bench::Seconds(t);
        t = bench::Clock::now();
        ok = ok && device.Run(shell, out) == 0 && ParseRows(out, false, 8) == rows;
        const double shellRun = bench::Seconds(t);
        ratios.push_back(cliRun / shellRun);
        bestCli = std::min(bestCli, cliRun);
        bestShell = std::min(bestShell, shellRun);
        std::printf("run %d: quorvane-cli %.3f s, sqlite3 shell %.3f s\n", run + 1, cliRun, shellRun);
    }
    if (!ok) {
        std::fprintf(stderr, "bench_cli_sql: a request failed or gave other rows than %ld\n", rows);
        return 1;
    }
    std::printf("best: quorvane-cli %.3f s, sqlite3 shell %.3f s, ratio %.2f\n", bestCli, bestShell,
        bestCli / bestShell);
    bench::PrintRatio("cli-sql-tsv", ratios);
    return 0;
}
