// What the device agent does once per output row, through the device
// programs' library: RegSetValueEx "Status" and RegQueryValueEx "Cancel" on
// an open HKLM\Software\Quorvane key. The reference, in the same run and on
// the same hive, is the same pair straight on reg::Hive.
//
//   bench_ce_status_pair [iterations]
#include "bench/BenchReport.h"
#include "platform/ce/Ce.h"
#include "platform/registry/Hive.h"
#include "platform/store/DeviceFolder.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

// Counts operator new calls, to show that the per-row path allocates nothing.
static std::size_t g_allocations = 0;
void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;

std::uint32_t RowText(char16_t* out, int row, int total)
{
    char narrow[64];
    int n = std::snprintf(narrow, sizeof narrow, "Row %d of %d", row, total);
    for (int i = 0; i < n; ++i)
        out[i] = char16_t(narrow[i]);
    return std::uint32_t(n * 2);
}

double HivePairs(reg::Hive& hive, int iterations)
{
    const std::u16string_view key = u"Software\\Quorvane";
    char16_t text[64];
    std::uint32_t cancel = 0;
    int failures = 0;
    auto start = Clock::now();
    for (int i = 1; i <= iterations; ++i) {
        std::uint32_t bytes = RowText(text, i, iterations);
        if (hive.SetValue(reg::HKEY_LOCAL_MACHINE, key, u"Status", reg::REG_SZ, text, bytes))
            ++failures;
        std::uint32_t type = 0, size = 4;
        if (hive.QueryValue(reg::HKEY_LOCAL_MACHINE, key, u"Cancel", &type, &cancel, &size) || cancel != 0)
            ++failures;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (failures) {
        std::fprintf(stderr, "hive: %d failed operations\n", failures);
        std::exit(1);
    }
    return seconds * 1e6 / iterations;
}

double CePairs(int iterations)
{
    HKEY key = 0;
    if (ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
            nullptr, &key, nullptr)
        != ERROR_SUCCESS) {
        std::fprintf(stderr, "ce: cannot open the key\n");
        std::exit(1);
    }
    char16_t text[64];
    DWORD cancel = 0;
    int failures = 0;
    auto start = Clock::now();
    for (int i = 1; i <= iterations; ++i) {
        std::uint32_t bytes = RowText(text, i, iterations);
        if (ce::RegSetValueEx(key, u"Status", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes))
            ++failures;
        DWORD type = 0, size = sizeof cancel;
        if (ce::RegQueryValueEx(key, u"Cancel", nullptr, &type, reinterpret_cast<BYTE*>(&cancel), &size)
            || cancel != 0)
            ++failures;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ce::RegCloseKey(key);
    if (failures) {
        std::fprintf(stderr, "ce: %d failed operations\n", failures);
        std::exit(1);
    }
    return seconds * 1e6 / iterations;
}

} // namespace

int main(int argc, char** argv)
{
    int iterations = argc > 1 ? std::atoi(argv[1]) : 200000;
    if (iterations <= 0)
        iterations = 200000;
    testsupport::TempDir temp("qvbench-ce");
    if (!temp.ok()) {
        std::perror("mkdtemp");
        return 2;
    }
    device::DeviceFolder folder { temp.path() };
    std::filesystem::create_directories(folder.Files());
    std::string error;
    auto hive = reg::Hive::Open(folder.Registry(), reg::Sync::Lazy, &error);
    if (!hive) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    std::uint32_t zero = 0;
    hive->CreateKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane");
    hive->SetValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane", u"Cancel", reg::REG_DWORD, &zero, 4);
    setenv(device::kEnvDeviceDir, temp.path().c_str(), 1);
    if (!ce::Attach(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    // Warm both paths, then alternate so that neither gains from running last.
    HivePairs(*hive, iterations / 10);
    CePairs(iterations / 10);
    double hiveUs = 0, ceUs = 0;
    std::size_t hiveAllocations = 0, ceAllocations = 0;
    std::vector<double> ratios, ceTimes;
    for (int round = 0; round < 3; ++round) {
        std::size_t before = g_allocations;
        const double hiveRound = HivePairs(*hive, iterations);
        hiveAllocations += g_allocations - before;
        before = g_allocations;
        const double ceRound = CePairs(iterations);
        ceAllocations += g_allocations - before;
        hiveUs += hiveRound;
        ceUs += ceRound;
        ratios.push_back(ceRound / hiveRound);
        ceTimes.push_back(ceRound);
    }
    hiveUs /= 3;
    ceUs /= 3;
    ce::Detach();
    hive.reset();
    std::printf("status pair (RegSetValueEx \"Status\" + RegQueryValueEx \"Cancel\"), %d iterations x 3\n",
        iterations);
    std::printf("  reg::Hive directly : %.3f us per pair\n", hiveUs);
    std::printf("  ce library         : %.3f us per pair\n", ceUs);
    std::printf("  ratio ce / hive    : %.2f (goal: at most 3 us per pair)\n", ceUs / hiveUs);
    std::printf("  allocations        : hive %zu, ce %zu (in %d pairs each)\n", hiveAllocations,
        ceAllocations, 3 * iterations);
    bench::PrintRatio("ce-status-pair", ratios);
    bench::PrintFigure("ce-status-pair-us", ceTimes);
    return 0;
}
