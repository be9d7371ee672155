// Speed of the emulated device against host references measured in the same
// run:
//   - a 200 MB file copied to and from the device in blocks of 60,000 bytes,
//     against `cp` of the same file (goal: at least half of cp's throughput)
//     and against the same blocks moved through a Unix socket with one
//     acknowledgement each (SocketCopy.h; goal: at least 80 % of it), with
//     `dd bs=60000` shown for context (the same copy through user space);
//   - CeFindAllFiles of a folder of 10,000 files with the explorer's field
//     mask, against `ls -l` of the same host folder (goal: at most 3 times).
// Each run times a contender and its reference back to back; the RATIO lines
// give the median of the per-run ratios.
// Usage: bench_device [MEGABYTES] [FILES] [RUNS]   (default 200 MB, 10,000 files, 3 runs)
#include "bench/BenchReport.h"
#include "bench/device/SocketCopy.h"
#include "platform/rapi/Rapi.h"
#include "platform/store/Store.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs a reference program with its output thrown away, never cut short; its
// exit status.
int Run(const std::vector<std::string>& args)
{
    return testsupport::RunProgram(args, { .output = "/dev/null", .seconds = 24 * 3600 }).status;
}

double Best(int runs, const std::function<double()>& once)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, once());
    return best;
}

bool CopyToDevice(const std::filesystem::path& local, const char16_t* devicePath)
{
    int fd = open(local.c_str(), O_RDONLY);
    HANDLE h = CeCreateFile(devicePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (fd < 0 || h == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(60000);
    bool ok = true;
    for (;;) {
        ssize_t n = read(fd, block.data(), block.size());
        if (n <= 0)
            break;
        DWORD written = 0;
        if (!CeWriteFile(h, block.data(), DWORD(n), &written, nullptr) || written != DWORD(n)) {
            ok = false;
            break;
        }
    }
    close(fd);
    return CeCloseHandle(h) && ok;
}

bool CopyFromDevice(const char16_t* devicePath, const std::filesystem::path& local)
{
    HANDLE h = CeCreateFile(devicePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    int fd = open(local.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || h == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(60000);
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!CeReadFile(h, block.data(), DWORD(block.size()), &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        if (write(fd, block.data(), read) != ssize_t(read)) {
            ok = false;
            break;
        }
    }
    close(fd);
    return CeCloseHandle(h) && ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const int fileCount = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    testsupport::TempDir temp("qvbench");
    const std::filesystem::path home = temp.path();
    const std::filesystem::path store = home / "device";
    const std::filesystem::path socket = home / "run" / "s";
    testsupport::TestDevice device({ .home = home, .store = store, .socket = socket });
    int status = 1;

    const testsupport::RunResult started = device.Start();
    if (started.status != 0) {
        std::fprintf(stderr, "bench_device: cedevice would not start: %s\n", started.err.c_str());
        return 1;
    }
    CeRapiSetSocketPath(socket);
    if (CeRapiInit() != S_OK) {
        std::fprintf(stderr, "bench_device: cannot connect\n");
    } else {
        // The file: bytes that do not compress or repeat trivially.
        std::filesystem::path source = home / "source.bin";
        {
            std::vector<std::uint64_t> chunk(1 << 17);
            std::uint64_t x = 88172645463325252ull;
            int fd = open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            for (std::size_t written = 0; written < megabytes << 20; written += chunk.size() * 8) {
                for (auto& v : chunk) {
                    x ^= x << 13;
                    x ^= x >> 7;
                    x ^= x << 17;
                    v = x;
                }
                (void)!write(fd, chunk.data(), chunk.size() * 8);
            }
            close(fd);
        }
        double size = double(std::filesystem::file_size(source)) / (1 << 20);
        std::filesystem::path copy = home / "copy.bin";
        // Every run writes a new file: replacing one by truncation would make the
        // file system flush the old content first, for every contender alike.
        auto timeCp = [&] {
            std::filesystem::remove(copy);
            auto t = Clock::now();
            Run({ "cp", source.string(), copy.string() });
            return Seconds(t);
        };
        // For context: the same copy through user space in the same blocks.
        double dd = Best(3, [&] {
            std::filesystem::remove(copy);
            auto t = Clock::now();
            Run({ "dd", "if=" + source.string(), "of=" + copy.string(), "bs=60000", "status=none" });
            return Seconds(t);
        });
        bool ok = true;
        std::filesystem::path back = home / "back.bin";
        double cp = 1e9, to = 1e9, from = 1e9, socketTo = 1e9, socketFrom = 1e9;
        std::vector<double> toRatios, fromRatios, toSocketRatios, fromSocketRatios;
        for (int run = 0; run < runs; ++run) {
            // The socket reference first, so that the device's copy is what
            // the check after the runs compares.
            std::filesystem::remove(copy);
            auto t = Clock::now();
            ok = bench::SocketCopy(source, copy, true) && ok;
            const double socketToRun = Seconds(t);
            std::filesystem::remove(back);
            t = Clock::now();
            ok = bench::SocketCopy(copy, back, false) && ok;
            const double socketFromRun = Seconds(t);
            ok = ok && std::filesystem::file_size(back) == std::filesystem::file_size(source);
            const double cpRun = timeCp();
            CeDeleteFile(u"\\Temp\\bench.bin");
            t = Clock::now();
            ok = CopyToDevice(source, u"\\Temp\\bench.bin") && ok;
            const double toRun = Seconds(t);
            std::filesystem::remove(back);
            t = Clock::now();
            ok = CopyFromDevice(u"\\Temp\\bench.bin", back) && ok;
            const double fromRun = Seconds(t);
            socketTo = std::min(socketTo, socketToRun);
            socketFrom = std::min(socketFrom, socketFromRun);
            toSocketRatios.push_back(socketToRun / toRun);
            fromSocketRatios.push_back(socketFromRun / fromRun);
            cp = std::min(cp, cpRun);
            to = std::min(to, toRun);
            from = std::min(from, fromRun);
            toRatios.push_back(cpRun / toRun);
            fromRatios.push_back(cpRun / fromRun);
        }
        ok = ok && std::filesystem::file_size(back) == std::filesystem::file_size(source);
        std::printf("copy of %.0f MB in 60,000-byte blocks (best of %d)%s\n", size, runs,
            ok ? "" : "  [COPY FAILED]");
        std::printf("  cp (reference)   %8.1f MB/s\n", size / cp);
        std::printf("  dd bs=60000      %8.1f MB/s   (for context)\n", size / dd);
        std::printf("  socket, to peer  %8.1f MB/s   (reference, one acknowledgement per block)\n", size / socketTo);
        std::printf("  socket, from peer %7.1f MB/s   (reference, one request per block)\n", size / socketFrom);
        std::printf("  to the device    %8.1f MB/s   ratio %.2f of cp (goal >= 0.50), %.2f of the socket (goal >= 0.80)\n",
            size / to, cp / to, socketTo / to);
        std::printf("  from the device  %8.1f MB/s   ratio %.2f of cp (goal >= 0.50), %.2f of the socket (goal >= 0.80)\n",
            size / from, cp / from, socketFrom / from);
        std::filesystem::remove(copy);
        std::filesystem::remove(back);
        CeDeleteFile(u"\\Temp\\bench.bin");

        // The folder of files, made through the store so each has its attributes.
        std::string error;
        auto st = store::Store::Open(store / "files", &error);
        ok = st && st->CreateDirectory(u"\\Bench") == 0;
        for (int i = 0; ok && i < fileCount; ++i) {
            std::u16string name = u"\\Bench\\file";
            for (char c : std::to_string(i))
                name.push_back(char16_t(c));
            name += u".sdf";
            std::unique_ptr<store::File> f;
            bool existed;
            ok = st->CreateFile(name, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &f, &existed)
                == 0;
            std::uint32_t done;
            ok = ok && f->Write("x", 1, &done) == 0;
        }
        std::filesystem::path folder = store / "files" / "Bench";
        DWORD count = 0;
        double ls = 1e9, find = 1e9;
        std::vector<double> listRatios;
        for (int run = 0; run < 5; ++run) {
            auto t = Clock::now();
            Run({ "ls", "-l", folder.string() });
            const double lsRun = Seconds(t);
            t = Clock::now();
            CE_FIND_DATA* found = nullptr;
            ok = CeFindAllFiles(u"\\Bench\\*", 0xB9, &count, &found) && ok;
            CeRapiFreeBuffer(found);
            const double findRun = Seconds(t);
            ls = std::min(ls, lsRun);
            find = std::min(find, findRun);
            listRatios.push_back(findRun / lsRun);
        }
        ok = ok && count == DWORD(fileCount);
        std::printf("listing of %d files (best of 5)%s\n", fileCount, ok ? "" : "  [LISTING FAILED]");
        std::printf("  ls -l (reference)  %8.1f ms\n", ls * 1000);
        std::printf(
            "  CeFindAllFiles     %8.1f ms   ratio %.2f of ls -l (goal <= 3.00)\n", find * 1000, find / ls);
        bench::PrintRatio("device-copy-to", toRatios);
        bench::PrintRatio("device-copy-from", fromRatios);
        bench::PrintRatio("device-copy-to-socket", toSocketRatios);
        bench::PrintRatio("device-copy-from-socket", fromSocketRatios);
        bench::PrintRatio("device-find-all-files", listRatios);
        status = ok ? 0 : 1;
    }
    CeRapiUninit();
    if (device.Stop().status != 0 || status != 0) {
        std::ifstream log(store / "cedevice.log");
        std::fprintf(stderr, "bench_device: the device's log:\n%s\n",
            std::string(std::istreambuf_iterator<char>(log), {}).c_str());
        status = 1;
    }
    return status;
}
