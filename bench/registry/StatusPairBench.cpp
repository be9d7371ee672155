// What the device agent does once per output row: write the string value
// "Status" and read the DWORD value "Cancel" under HKLM\Software\Quorvane.
// Measured on a device hive (lazy sync), and in the same run on SQLite doing
// the same pair (a write transaction and a read), as the reference.
//
//   bench_registry_pair [iterations] [runs]   (default 200000 pairs, 3 runs)
#include "bench/BenchReport.h"
#include "platform/registry/Hive.h"
#include "tests/support/TempDir.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// "Row %d of %d" as UTF-16 into `out`, without allocating; returns the byte count.
std::uint32_t RowText(char16_t* out, int row, int total)
{
    char narrow[64];
    int n = std::snprintf(narrow, sizeof narrow, "Row %d of %d", row, total);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<char16_t>(narrow[i]);
    return static_cast<std::uint32_t>(n * 2);
}

// A fresh folder for one measurement; the run ends when none can be made.
std::unique_ptr<testsupport::TempDir> NewTempDir(const std::string& tag)
{
    auto dir = std::make_unique<testsupport::TempDir>("qvbench-" + tag);
    if (!dir->ok()) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return dir;
}

double HivePairs(int iterations)
{
    auto temp = NewTempDir("hive");
    std::string error;
    auto hive = reg::Hive::Open(temp->path(), reg::Sync::Lazy, &error);
    if (!hive) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(2);
    }
    const std::u16string_view key = u"Software\\Quorvane";
    std::uint32_t zero = 0;
    hive->CreateKey(reg::HKEY_LOCAL_MACHINE, key);
    hive->SetValue(reg::HKEY_LOCAL_MACHINE, key, u"Cancel", reg::REG_DWORD, &zero, 4);
    char16_t text[64];
    std::uint32_t cancel = 0;
    int failures = 0;
    auto start = Clock::now();
    for (int i = 1; i <= iterations; ++i) {
        std::uint32_t bytes = RowText(text, i, iterations);
        if (hive->SetValue(reg::HKEY_LOCAL_MACHINE, key, u"Status", reg::REG_SZ, text, bytes))
            ++failures;
        std::uint32_t type = 0, size = 4;
        if (hive->QueryValue(reg::HKEY_LOCAL_MACHINE, key, u"Cancel", &type, &cancel, &size) || cancel != 0)
            ++failures;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    hive.reset();
    temp.reset();
    if (failures) {
        std::fprintf(stderr, "hive: %d failed operations\n", failures);
        std::exit(1);
    }
    return seconds * 1e6 / iterations;
}

void Check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(2);
    }
}

// The same pair on SQLite: one table of (key, name, type, data), a prepared
// upsert in its own transaction and a prepared select.
double SqlitePairs(int iterations, const char* pragmas)
{
    auto temp = NewTempDir("sqlite");
    sqlite3* db = nullptr;
    Check(sqlite3_open((temp->path() / "reg.db").c_str(), &db), db, "open");
    Check(sqlite3_exec(db, pragmas, nullptr, nullptr, nullptr), db, "pragmas");
    Check(sqlite3_exec(db,
              "CREATE TABLE v(k TEXT, n TEXT, t INTEGER, d BLOB, PRIMARY KEY(k, n));"
              "INSERT INTO v VALUES('HKLM\\SOFTWARE\\QUORVANE', 'CANCEL', 4, x'00000000');",
              nullptr, nullptr, nullptr),
        db, "schema");
    sqlite3_stmt* put = nullptr;
    sqlite3_stmt* get = nullptr;
    Check(sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO v VALUES(?1, ?2, 1, ?3)", -1, &put, nullptr), db,
        "prepare");
    Check(sqlite3_prepare_v2(db, "SELECT t, d FROM v WHERE k = ?1 AND n = ?2", -1, &get, nullptr), db,
        "prepare");
    const char* key = "HKLM\\SOFTWARE\\QUORVANE";
    char16_t text[64];
    auto start = Clock::now();
    for (int i = 1; i <= iterations; ++i) {
        std::uint32_t bytes = RowText(text, i, iterations);
        sqlite3_bind_text(put, 1, key, -1, SQLITE_STATIC);
        sqlite3_bind_text(put, 2, "STATUS", -1, SQLITE_STATIC);
        sqlite3_bind_blob(put, 3, text, static_cast<int>(bytes), SQLITE_STATIC);
        Check(sqlite3_step(put), db, "upsert");
        sqlite3_reset(put);
        sqlite3_bind_text(get, 1, key, -1, SQLITE_STATIC);
        sqlite3_bind_text(get, 2, "CANCEL", -1, SQLITE_STATIC);
        if (sqlite3_step(get) != SQLITE_ROW || sqlite3_column_bytes(get, 1) != 4) {
            std::fprintf(stderr, "sqlite: Cancel not read\n");
            std::exit(1);
        }
        sqlite3_reset(get);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sqlite3_finalize(put);
    sqlite3_finalize(get);
    sqlite3_close(db);
    return seconds * 1e6 / iterations;
}

} // namespace

int main(int argc, char** argv)
{
    int iterations = argc > 1 ? std::atoi(argv[1]) : 200000;
    if (iterations <= 0)
        iterations = 200000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (runs <= 0)
        runs = 3;
    HivePairs(iterations / 10); // warm-up
    // Each run measures the hive and its reference back to back.
    std::vector<double> hiveRuns, noSyncRuns, ratios;
    for (int run = 0; run < runs; ++run) {
        hiveRuns.push_back(HivePairs(iterations));
        noSyncRuns.push_back(SqlitePairs(iterations, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;"));
        ratios.push_back(noSyncRuns.back() / hiveRuns.back());
    }
    double hive = bench::Median(hiveRuns);
    double sqliteNoSync = bench::Median(noSyncRuns);
    double sqliteDefault = SqlitePairs(std::max(1, iterations / 100), "PRAGMA journal_mode=WAL;");
    std::printf("write \"Status\" + read \"Cancel\", %d pairs (median of %d runs)\n", iterations, runs);
    std::printf("  hive (LMDB, lazy sync)            %8.2f us per pair\n", hive);
    std::printf("  SQLite (WAL, synchronous=OFF)     %8.2f us per pair   ratio SQLite/hive %.1f\n",
        sqliteNoSync, sqliteNoSync / hive);
    std::printf("  SQLite (WAL, synchronous=FULL)    %8.2f us per pair   ratio SQLite/hive %.1f\n",
        sqliteDefault, sqliteDefault / hive);
    bench::PrintRatio("registry-status-pair", ratios);
    bench::PrintFigure("registry-status-pair-us", hiveRuns);
    return 0;
}
