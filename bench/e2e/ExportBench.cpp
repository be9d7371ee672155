// The export of one table to a desktop database file against the same
// table printed by `quorvane-cli sql --format tsv`, in the same run, on the
// same device: `quorvane-cli export DB Bench --to FILE` (the schema request,
// the rows through the agent, the inserts into a new SQLite file) and the
// sql command's whole road (request to printed rows). The table has 8
// columns (ints, nvarchar, datetime, real, a null here and there).
//
// Usage: bench_export [rows] [runs]   (default 100000 rows, 5 runs)
#include "bench/BenchReport.h"
#include "bench/e2e/E2eBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The rows of the exported table, counted by the sqlite3 shell.
long ExportedRows(const std::filesystem::path& file)
{
    const testsupport::RunResult count = testsupport::RunProgram(
        { "/usr/bin/sqlite3", file.string(), "select count(*) from Bench" }, std::filesystem::path());
    return count.status == 0 ? std::atol(count.out.c_str()) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string cli = testsupport::Cli().string();
    bench::BenchDevice device("bench_export", rows);
    if (!device.ok())
        return 1;
    const std::filesystem::path out = device.home() / "out.txt";
    const std::filesystem::path file = device.home() / "export.db";
    const std::vector<std::string> reference
        = { cli, "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
    const std::vector<std::string> exportRun = { cli, "export", "\\bench.sdf", "Bench", "--to", file.string() };
    // The first request copies the agent onto the device.
    bool ok = device.Run(reference, out) == 0;
    std::vector<double> ratios;
    for (int run = 0; ok && run < runs; ++run) {
        std::filesystem::remove(file);
        auto t = bench::Clock::now();
        ok = device.Run(exportRun, out) == 0;
        const double exportTime = bench::Seconds(t);
        ok = ok && ExportedRows(file) == rows;
        t = bench::Clock::now();
        ok = ok && device.Run(reference, out) == 0;
        const double referenceTime = bench::Seconds(t);
        // A speed ratio: above 1 the export is the faster of the two.
        ratios.push_back(referenceTime / exportTime);
        std::printf("run %d: export %.3f s, quorvane-cli sql tsv %.3f s\n", run + 1, exportTime, referenceTime);
    }
    if (!ok) {
        std::fprintf(stderr, "bench_export: a run failed or the file holds other rows than %ld\n", rows);
        return 1;
    }
    bench::PrintRatio("export-file", ratios);
    return 0;
}
