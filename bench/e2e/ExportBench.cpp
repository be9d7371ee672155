// The export of one table to a desktop database file against the same
// table printed by `quorvane-cli sql --format tsv`, in the same run, on the
// same device: `quorvane-cli export DB Bench --to FILE` (the schema request,
// the rows through the agent, the inserts into a new SQLite file) and the
// sql command's whole road (request to printed rows). The table has 8
// columns (ints, nvarchar, datetime, real, a null here and there).
//
// Usage: bench_export [rows] [runs]   (default 100000 rows, 5 runs)
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
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs a program with QUORVANE_HOME=`home`, its output into `output`; its
// exit status.
int Run(const std::vector<std::string>& argv, const std::filesystem::path& home,
    const std::filesystem::path& output)
{
    return testsupport::RunProgram(argv, { .home = home, .output = output, .seconds = 24 * 3600 }).status;
}

// The rows of the exported table, counted by the sqlite3 shell.
long ExportedRows(const std::filesystem::path& file, const std::filesystem::path& output)
{
    const testsupport::RunResult count = testsupport::RunProgram(
        { "/usr/bin/sqlite3", file.string(), "select count(*) from Bench" }, std::filesystem::path(output.parent_path()));
    return count.status == 0 ? std::atol(count.out.c_str()) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string cli = testsupport::Cli().string();

    testsupport::TempDir temp("qvbench-export");
    if (!temp.ok())
        return 1;
    const std::filesystem::path home = temp.path();
    const std::filesystem::path out = home / "out.txt";
    const std::filesystem::path file = home / "export.db";
    const std::filesystem::path database = home / "device" / "files" / "bench.sdf";
    testsupport::TestDevice device({ .home = home });
    int status = 1;

    std::printf("building a table of %ld rows...\n", rows);
    if (device.Start().status != 0 || device.Stop().status != 0
        || !bench::MakeBenchDatabase(database, rows, engine::kEngine20Class) || device.Start().status != 0) {
        std::fprintf(stderr, "bench_export: the device or the table could not be made\n");
    } else {
        const std::vector<std::string> reference
            = { cli, "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
        const std::vector<std::string> exportRun
            = { cli, "export", "\\bench.sdf", "Bench", "--to", file.string() };
        // The first request copies the agent onto the device.
        bool ok = Run(reference, home, out) == 0;
        std::vector<double> ratios;
        for (int run = 0; ok && run < runs; ++run) {
            std::filesystem::remove(file);
            auto t = Clock::now();
            ok = Run(exportRun, home, out) == 0;
            const double exportTime = Seconds(t);
            ok = ok && ExportedRows(file, out) == rows;
            t = Clock::now();
            ok = ok && Run(reference, home, out) == 0;
            const double referenceTime = Seconds(t);
            // A speed ratio: above 1 the export is the faster of the two.
            ratios.push_back(referenceTime / exportTime);
            std::printf(
                "run %d: export %.3f s, quorvane-cli sql tsv %.3f s\n", run + 1, exportTime, referenceTime);
        }
        if (ok) {
            bench::PrintRatio("export-file", ratios);
            status = 0;
        } else {
            std::fprintf(stderr, "bench_export: a run failed or the file holds other rows than %ld\n", rows);
        }
    }
    if (device.Stop().status != 0)
        status = 1;
    return status;
}
