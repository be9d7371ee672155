// A SQL script of single-row INSERTs run by `quorvane-cli script`, one
// request per statement, against the round trip of one `quorvane-cli sql`
// request in the same run: the time per statement divided by the round trip.
// The script's rows follow the benchmark table's own pattern, and the table
// must hold them all afterwards.
//
// Usage: bench_sql_script [statements] [round trips]   (default 15000, 10)
#include "bench/BenchReport.h"
#include "bench/e2e/E2eBench.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool WriteScript(const std::filesystem::path& file, long statements)
{
    std::ofstream out(file, std::ios::binary);
    out << "-- generated rows for the script benchmark\n";
    for (long i = 1; i <= statements; ++i) {
        char line[256];
        std::snprintf(line, sizeof line,
            "INSERT INTO Bench (qty, name, stamp, ratio, amount, note, code) VALUES (%ld, N'script %ld', "
            "'%04ld/%ld/%ld %ld:%02ld:%02ld', %.1f, %.2f, N'it''s row %ld', %ld);\n",
            (i * 7) % 1000, i, 2000 + i % 20, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60, i * 0.5,
            i * 1.25, i, i % 30000);
        out << line;
    }
    return bool(out.flush());
}

long CountRows(const bench::BenchDevice& device, const std::filesystem::path& out)
{
    if (device.Run({ testsupport::Cli().string(), "sql", "\\bench.sdf", "SELECT COUNT(*) FROM Bench", "--format",
                       "tsv", "--no-header" },
            out)
        != 0)
        return -1;
    std::ifstream in(out);
    long count = -1;
    in >> count;
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    const long statements = argc > 1 ? std::max(1L, std::atol(argv[1])) : 15000;
    const int trips = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const long rows = 1000;
    bench::BenchDevice device("bench_sql_script", rows);
    if (!device.ok())
        return 1;
    const std::filesystem::path out = device.home() / "out.txt";
    const std::filesystem::path script = device.home() / "rows.sql";
    if (!WriteScript(script, statements)) {
        std::fprintf(stderr, "bench_sql_script: the script could not be written\n");
        return 1;
    }
    const std::vector<std::string> request
        = { testsupport::Cli().string(), "sql", "\\bench.sdf", "SELECT * FROM Bench WHERE id = 1" };
    // The first request copies the agent onto the device.
    if (device.Run(request, out) != 0) {
        std::fprintf(stderr, "bench_sql_script: the first request failed\n");
        return 1;
    }
    std::vector<double> tripSeconds;
    for (int trip = 0; trip < trips; ++trip) {
        const auto t = bench::Clock::now();
        if (device.Run(request, out) != 0) {
            std::fprintf(stderr, "bench_sql_script: a round trip failed\n");
            return 1;
        }
        tripSeconds.push_back(bench::Seconds(t));
    }
    std::printf("running %ld statements...\n", statements);
    const auto t = bench::Clock::now();
    const int status = device.Run({ testsupport::Cli().string(), "script", "\\bench.sdf", script.string() }, out);
    const double scriptSeconds = bench::Seconds(t);
    const long count = CountRows(device, out);
    if (status != 0 || count != rows + statements) {
        std::fprintf(stderr, "bench_sql_script: the script ended with status %d and left %ld rows, not %ld\n",
            status, count, rows + statements);
        return 1;
    }
    const double trip = bench::Median(tripSeconds);
    const double perStatement = scriptSeconds / double(statements);
    std::printf("script: %ld statements in %.1f s, %.1f ms each (%.1f a second); round trip %.1f ms\n",
        statements, scriptSeconds, perStatement * 1000, statements / scriptSeconds, trip * 1000);
    bench::PrintRatio("script-statement", { perStatement / trip });
    bench::PrintFigure("script-statements-per-second", { statements / scriptSeconds });
    return 0;
}
