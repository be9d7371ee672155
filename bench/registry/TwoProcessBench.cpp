// One process writes "Status" over and over while another reads it without
// pause, as the device agent and the desktop's poll do. Every read must give
// a whole value that was written (never a mix of two), and no operation may
// fail. Exit code 0 only when that held.
//
//   bench_registry_two_process [writes] [runs]      (default 100000 writes, 1 run)
#include "bench/BenchReport.h"
#include "platform/registry/Hive.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
const std::u16string_view kKey = u"Software\\Quorvane";

struct ReaderResult {
    long long reads = 0;
    long long errors = 0;
    long long torn = 0; // not a value the writer wrote
    long long backwards = 0; // an older row after a newer one
    long long distinct = 0; // how many different rows the reader saw
};

std::uint32_t RowText(char16_t* out, int row, int total)
{
    char narrow[64];
    int n = std::snprintf(narrow, sizeof narrow, "Row %d of %d", row, total);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<char16_t>(narrow[i]);
    return static_cast<std::uint32_t>(n * 2);
}

// The row number of a "Row %d of <total>" text, 0 for "Starting", -1 for
// "Done.", -2 for anything else.
long ParseRow(const char16_t* text, std::uint32_t bytes, int total)
{
    std::string narrow;
    for (std::uint32_t i = 0; i < bytes / 2; ++i) {
        if (text[i] > 0x7F)
            return -2;
        narrow.push_back(static_cast<char>(text[i]));
    }
    if (bytes % 2)
        return -2;
    if (narrow == "Starting")
        return 0;
    if (narrow == "Done.")
        return -1;
    int row = 0, of = 0;
    char tail = 0;
    if (std::sscanf(narrow.c_str(), "Row %d of %d%c", &row, &of, &tail) != 2 || of != total || row < 1
        || row > total)
        return -2;
    char16_t again[64];
    std::uint32_t expect = RowText(again, row, total);
    if (expect != bytes || std::char_traits<char16_t>::compare(again, text, bytes / 2) != 0)
        return -2;
    return row;
}

ReaderResult Read(const std::filesystem::path& dir, int total, int readyFd)
{
    ReaderResult result;
    std::string error;
    auto hive = reg::Hive::Open(dir, reg::Sync::Lazy, &error);
    if (!hive) {
        std::fprintf(stderr, "reader: %s\n", error.c_str());
        result.errors = 1;
        return result;
    }
    char ready = 1;
    if (write(readyFd, &ready, 1) != 1)
        result.errors = 1;
    char16_t text[64];
    long last = 0;
    while (true) {
        std::uint32_t type = 0, size = sizeof text;
        reg::Result r = hive->QueryValue(reg::HKEY_LOCAL_MACHINE, kKey, u"Status", &type, text, &size);
        ++result.reads;
        if (r != reg::ERROR_SUCCESS || type != reg::REG_SZ) {
            ++result.errors;
            continue;
        }
        long row = ParseRow(text, size, total);
        if (row == -1)
            break;
        if (row == -2) {
            ++result.torn;
        } else if (row < last) {
            ++result.backwards;
        } else if (row > last) {
            ++result.distinct;
            last = row;
        }
    }
    return result;
}

// One writer and one reader on a new hive; the writer's microseconds per
// write, or a negative number when the run could not be made.
double RunOnce(int total, bool* ok)
{
    testsupport::TempDir temp("qvbench-2proc");
    if (!temp.ok())
        return -2;
    const std::filesystem::path& dir = temp.path();
    {
        std::string error;
        auto setup = reg::Hive::Open(dir, reg::Sync::Lazy, &error);
        if (!setup) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return -2;
        }
        const char16_t start[] = u"Starting";
        setup->CreateKey(reg::HKEY_LOCAL_MACHINE, kKey);
        setup->SetValue(reg::HKEY_LOCAL_MACHINE, kKey, u"Status", reg::REG_SZ, start, 16);
    }
    int ready[2], report[2];
    if (pipe(ready) || pipe(report))
        return -2;
    pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        close(report[0]);
        ReaderResult r = Read(dir, total, ready[1]);
        _exit(write(report[1], &r, sizeof r) == sizeof r ? 0 : 3);
    }
    close(ready[1]);
    close(report[1]);
    char byte = 0;
    if (read(ready[0], &byte, 1) != 1) {
        std::fprintf(stderr, "reader did not start\n");
        return -2;
    }
    std::string error;
    auto hive = reg::Hive::Open(dir, reg::Sync::Lazy, &error);
    if (!hive) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        return -2;
    }
    long long writeErrors = 0;
    char16_t text[64];
    auto begin = Clock::now();
    for (int i = 1; i <= total; ++i) {
        std::uint32_t bytes = RowText(text, i, total);
        if (hive->SetValue(reg::HKEY_LOCAL_MACHINE, kKey, u"Status", reg::REG_SZ, text, bytes))
            ++writeErrors;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const char16_t done[] = u"Done.";
    if (hive->SetValue(reg::HKEY_LOCAL_MACHINE, kKey, u"Status", reg::REG_SZ, done, 10))
        ++writeErrors;
    ReaderResult r;
    bool reported = read(report[0], &r, sizeof r) == sizeof r;
    int status = 0;
    waitpid(child, &status, 0);
    hive.reset();
    if (!reported) {
        std::fprintf(stderr, "reader did not report\n");
        return -1;
    }
    std::printf("writer: %d writes of \"Status\", %.2f us per write, %lld errors\n", total,
        seconds * 1e6 / total, writeErrors);
    std::printf(
        "reader: %lld reads, %lld errors, %lld torn values, %lld out of order, %lld distinct rows seen\n",
        r.reads, r.errors, r.torn, r.backwards, r.distinct);
    *ok = writeErrors == 0 && r.errors == 0 && r.torn == 0 && r.backwards == 0;
    std::printf("%s\n", *ok ? "PASS" : "FAIL");
    return seconds * 1e6 / total;
}

} // namespace

int main(int argc, char** argv)
{
    int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (total <= 0)
        total = 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    std::vector<double> writesPerSecond;
    bool allOk = true;
    for (int run = 0; run < runs; ++run) {
        bool ok = false;
        const double us = RunOnce(total, &ok);
        if (us == -2)
            return 2;
        if (us < 0)
            return 1;
        allOk = allOk && ok;
        writesPerSecond.push_back(1e6 / us);
    }
    if (runs > 1)
        bench::PrintFigure("registry-writes-per-second", writesPerSecond);
    return allOk ? 0 : 1;
}
