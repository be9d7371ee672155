// Reads every row of a 100,000-row, 8-column table through the engine
// provider (binding every column the way the agent does, formatting nothing)
// and, in the same run, with plain sqlite3_step and sqlite3_column_* over the
// same file. Prints both times and the provider's speed as a share of the
// plain reading; the goal is at least one half.
//
// Usage: bench_engine_fetch [rows]   (default 100000)
#include "bench/BenchReport.h"
#include "bench/BenchTable.h"
#include "engine/Provider.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace engine;
using Clock = std::chrono::steady_clock;

namespace {

using bench::Check;

// Reads every row through the provider; returns a checksum.
long long ThroughProvider(Session& session, long& rowsRead)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = 0;
    if (!Check(session.Execute(u"SELECT * FROM Bench", rowset, affected), "select"))
        return -1;
    std::int64_t total = 0;
    if (!Check(rowset->GetRowCount(total), "row count"))
        return -1;
    // One value, length and status per column, each on a 4-byte boundary.
    std::vector<Binding> bindings;
    std::size_t offset = 0;
    for (const ColumnInfo& c : rowset->GetColumnInfo()) {
        if (c.ordinal == 0)
            continue;
        std::size_t size = c.type == DBTYPE_WSTR ? (c.columnSize + 1) * 2 : c.columnSize;
        Binding b;
        b.ordinal = c.ordinal;
        b.valueOffset = offset;
        b.maxLength = size;
        offset += (size + 3) / 4 * 4;
        b.lengthOffset = offset;
        b.statusOffset = offset + 4;
        offset += 8;
        bindings.push_back(b);
    }
    std::vector<std::byte> row(offset);
    long long sum = 0;
    rowsRead = 0;
    for (HRESULT hr = rowset->MoveFirst(); hr == S_OK; hr = rowset->MoveNext()) {
        rowset->GetData(bindings, row.data());
        for (const Binding& b : bindings) {
            std::uint32_t length;
            std::memcpy(&length, row.data() + b.lengthOffset, 4);
            sum += length;
        }
        ++rowsRead;
    }
    return rowsRead == total ? sum : -1;
}

// Reads every row with plain SQLite calls on an open connection; returns a checksum.
long long ThroughSqlite(sqlite3* db, long& rowsRead)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM Bench", -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    int columns = sqlite3_column_count(stmt);
    long long sum = 0;
    rowsRead = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                sum += sqlite3_column_int64(stmt, i) & 1;
                break;
            case SQLITE_FLOAT:
                sum += sqlite3_column_double(stmt, i) > 0;
                break;
            case SQLITE_TEXT:
                sqlite3_column_text16(stmt, i);
                sum += sqlite3_column_bytes16(stmt, i);
                break;
            default:
                break;
            }
        }
        ++rowsRead;
    }
    sqlite3_finalize(stmt);
    return sum;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    std::random_device rd;
    std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("qv-bench-engine-" + std::to_string(rd()));
    std::filesystem::create_directories(dir);
    std::filesystem::path path = dir / "bench.sdf";

    std::unique_ptr<Provider> provider;
    std::unique_ptr<Session> session;
    if (!Check(CreateProvider(
                   kEngine30Class, [](std::u16string_view) { return true; }, provider),
            "provider")
        || !Check(provider->SetProperties({ path, u"" }), "properties")
        || !Check(provider->CreateDataSource(), "create")
        || !Check(provider->CreateSession(session), "session") || !bench::FillBenchTable(*session, rows)) {
        std::filesystem::remove_all(dir);
        return 1;
    }

    sqlite3* plain = nullptr;
    sqlite3_open_v2(path.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr);
    double best[2] = { 1e9, 1e9 };
    long read[2] = { 0, 0 };
    std::vector<double> shares;
    for (int round = 0; round < 5; ++round) {
        auto start = Clock::now();
        long long a = ThroughProvider(*session, read[0]);
        const double provider = Seconds(Clock::now() - start);
        best[0] = std::min(best[0], provider);
        start = Clock::now();
        long long b = ThroughSqlite(plain, read[1]);
        const double direct = Seconds(Clock::now() - start);
        best[1] = std::min(best[1], direct);
        shares.push_back(direct / provider);
        if (a < 0 || b < 0 || read[0] != rows || read[1] != rows) {
            std::fprintf(stderr, "reading failed (%ld and %ld rows)\n", read[0], read[1]);
            sqlite3_close(plain);
            std::filesystem::remove_all(dir);
            return 1;
        }
    }
    sqlite3_close(plain);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("rows: %ld, 8 columns\n", rows);
    std::printf("provider (execute, row count, bind, fetch every value): %.3f s\n", best[0]);
    std::printf("plain sqlite3_step + sqlite3_column_*:                %.3f s\n", best[1]);
    std::printf("provider speed / plain speed: %.2f (goal: at least 0.50)\n", best[1] / best[0]);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    bench::PrintRatio("engine-fetch", shares);
    session.reset();
    provider.reset();
    std::filesystem::remove_all(dir);
    return best[1] / best[0] >= 0.5 ? 0 : 2;
}
