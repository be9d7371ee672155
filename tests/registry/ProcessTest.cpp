// Several processes on one hive: a writer killed at any moment, readers and
// writers at once, map growth seen from another process, reader slots of
// killed processes.
#include "TempHive.h"

#include <lmdb.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace reg;
using regtest::Dword;

namespace {

// A child process running `body`; its exit code is the body's result.
class Child {
public:
    template <typename F> explicit Child(F&& body)
    {
        int fds[2];
        if (pipe(fds) != 0)
            std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int code = body(fds[1]);
            _exit(code); // no destructors of the parent's objects
        }
        close(fds[1]);
        readFd_ = fds[0];
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(readFd_);
    }
    // Reads one number the child reported; false at the end of the pipe.
    bool Next(std::uint32_t* value)
    {
        std::size_t got = 0;
        while (got < 4) {
            ssize_t n = read(readFd_, reinterpret_cast<char*>(value) + got, 4 - got);
            if (n <= 0)
                return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }
    void Kill()
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // True once the child has ended; *code receives its exit code.
    bool Ended(int* code)
    {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_)
            return false;
        pid_ = -1;
        *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int readFd_ = -1;
};

void Report(int fd, std::uint32_t value)
{
    if (write(fd, &value, 4) != 4)
        _exit(3);
}

std::u16string Name(const char* prefix, std::uint32_t i)
{
    return FromUtf8(prefix + std::to_string(i));
}

std::vector<std::uint8_t> Payload(std::uint32_t i)
{
    // Lengths vary so that a torn or mixed value would show.
    std::vector<std::uint8_t> data(8 + i % 57);
    for (std::size_t j = 0; j < data.size(); ++j)
        data[j] = static_cast<std::uint8_t>(i * 31 + j);
    return data;
}

TEST(HiveProcesses, WriterKilledMidStreamLosesNoReportedValue)
{
    testsupport::TempDir dir;
    const std::u16string_view key = u"Software\\Quorvane";
    std::mt19937 random(20240517);
    std::printf("seed 20240517\n");
    std::uint32_t next = 0; // first index the next child writes
    for (int round = 0; round < 8; ++round) {
        std::uint32_t first = next;
        std::uint32_t killDelayUs = 300 + random() % 6000;
        Child child([&](int out) {
            std::string error;
            auto hive = Hive::Open(dir.path(), round % 2 ? Sync::EveryCommit : Sync::Lazy, &error);
            if (!hive || hive->CreateKey(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS)
                return 2;
            for (std::uint32_t i = first; i < first + 10000; ++i) {
                auto data = Payload(i);
                if (hive->SetValue(HKEY_LOCAL_MACHINE, key, Name("v", i), REG_BINARY, data.data(),
                        static_cast<std::uint32_t>(data.size()))
                    != ERROR_SUCCESS)
                    return 4;
                auto status = Dword(i);
                if (hive->SetValue(HKEY_LOCAL_MACHINE, key, u"Status", REG_DWORD, status.data(), 4))
                    return 4;
                Report(out, i);
            }
            return 0;
        });
        std::uint32_t last = 0;
        ASSERT_TRUE(child.Next(&last)) << "round " << round;
        usleep(killDelayUs);
        child.Kill(); // in the middle of the writes, most likely inside a transaction
        while (child.Next(&last)) {
            // every report the child made before it died
        }
        ASSERT_LT(last, first + 9999) << "the child finished before it was killed";
        auto hive = regtest::OpenHive(dir.path());
        ASSERT_TRUE(hive);
        for (std::uint32_t i = 0; i <= last; ++i) {
            std::vector<std::uint8_t> data;
            ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, key, Name("v", i), nullptr, &data), ERROR_SUCCESS)
                << "round " << round << " value " << i;
            ASSERT_EQ(data, Payload(i)) << i;
        }
        std::vector<std::uint8_t> status;
        ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, key, u"Status", nullptr, &status), ERROR_SUCCESS);
        ASSERT_EQ(status.size(), 4u);
        std::uint32_t committed
            = status[0] | status[1] << 8 | status[2] << 16 | std::uint32_t(status[3]) << 24;
        // The child may have committed one more before it could report it.
        EXPECT_TRUE(committed == last || committed == last + 1) << committed << " vs " << last;
        // The hive still takes writes after the writer died holding its lock.
        auto d = Dword(round);
        EXPECT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, key, u"Round", REG_DWORD, d.data(), 4), ERROR_SUCCESS);
        next = committed + 1;
    }
}

TEST(HiveProcesses, EnumerationWhileAnotherProcessWrites)
{
    testsupport::TempDir dir;
    auto hive = regtest::OpenHive(dir.path());
    std::vector<std::u16string> stable;
    for (std::uint32_t i = 0; i < 100; ++i) {
        std::u16string name = Name("key", 1000 + i);
        stable.push_back(name);
        ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"stable\\" + name), ERROR_SUCCESS);
    }
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"busy"), ERROR_SUCCESS);

    Child writer([&](int out) {
        auto own = Hive::Open(dir.path(), Sync::Lazy, nullptr);
        if (!own)
            return 2;
        Report(out, 0);
        // Writes go on until the reader has enumerated a few times, so that
        // its rounds overlap the writes however the two are scheduled.
        const std::filesystem::path readerDone = dir.path() / "reader-done";
        for (std::uint32_t i = 0; i < 3000 || !std::filesystem::exists(readerDone); ++i) {
            if (i == 3'000'000)
                return 5; // the reader never finished its rounds
            std::u16string path = u"busy\\" + Name("item", i % 50);
            if (i % 3 == 2) {
                Result r = own->DeleteKey(HKEY_LOCAL_MACHINE, path);
                if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
                    return 4;
            } else {
                auto data = Payload(i);
                if (own->CreateKey(HKEY_LOCAL_MACHINE, path)
                    || own->SetValue(HKEY_LOCAL_MACHINE, u"busy", Name("val", i % 70), REG_BINARY,
                        data.data(), static_cast<std::uint32_t>(data.size())))
                    return 4;
            }
        }
        return 0;
    });
    std::uint32_t ready;
    ASSERT_TRUE(writer.Next(&ready));
    int rounds = 0;
    int writerCode = -1;
    bool writerDone = false;
    while (!writerDone || rounds < 3) {
        ++rounds;
        std::vector<std::u16string> seen;
        std::u16string name;
        for (std::uint32_t i = 0; hive->EnumKey(HKEY_LOCAL_MACHINE, u"stable", i, &name) == ERROR_SUCCESS;
             ++i)
            seen.push_back(name);
        ASSERT_EQ(seen, stable) << "round " << rounds;
        for (std::uint32_t i = 0;; ++i) {
            Result r = hive->EnumKey(HKEY_LOCAL_MACHINE, u"busy", i, &name);
            if (r == ERROR_NO_MORE_ITEMS)
                break;
            ASSERT_EQ(r, ERROR_SUCCESS);
            ASSERT_EQ(name.rfind(u"item", 0), 0u) << ToUtf8(name);
        }
        std::vector<std::uint8_t> data;
        std::uint32_t type = 0;
        for (std::uint32_t i = 0;; ++i) {
            Result r = hive->EnumValue(HKEY_LOCAL_MACHINE, u"busy", i, &name, &type, &data);
            if (r == ERROR_NO_MORE_ITEMS)
                break;
            ASSERT_EQ(r, ERROR_SUCCESS);
            ASSERT_EQ(type, REG_BINARY);
            // Whole, unmixed payloads only: bytes count up from the first.
            ASSERT_GE(data.size(), 8u);
            ASSERT_LE(data.size(), 64u);
            for (std::size_t j = 0; j < data.size(); ++j)
                ASSERT_EQ(data[j], static_cast<std::uint8_t>(data[0] + j)) << ToUtf8(name);
        }
        if (rounds == 3)
            std::ofstream(dir.path() / "reader-done").put('x');
        if (!writerDone)
            writerDone = writer.Ended(&writerCode);
    }
    EXPECT_EQ(writerCode, 0); // every write of the other process succeeded
}

TEST(HiveProcesses, MapGrownByAnotherProcessIsFollowed)
{
    testsupport::TempDir dir;
    auto hive = regtest::OpenHive(dir.path(), Sync::Lazy, 64 * 1024);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"big"), ERROR_SUCCESS);
    std::vector<std::uint8_t> chunk(256 * 1024, 0x5A);
    Child grower([&](int out) {
        auto own = Hive::Open(dir.path(), Sync::Lazy, nullptr, 64 * 1024);
        if (!own)
            return 2;
        for (std::uint32_t i = 0; i < 24; ++i) {
            chunk[0] = static_cast<std::uint8_t>(i);
            if (own->SetValue(HKEY_LOCAL_MACHINE, u"big", Name("c", i), REG_BINARY, chunk.data(),
                    static_cast<std::uint32_t>(chunk.size())))
                return 4;
        }
        Report(out, 1);
        return 0;
    });
    std::uint32_t done = 0;
    ASSERT_TRUE(grower.Next(&done));
    ASSERT_EQ(grower.Wait(), 0);
    // This process still maps 64 KiB; the data now lies far beyond it.
    std::vector<std::uint8_t> data;
    ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"big", u"c23", nullptr, &data), ERROR_SUCCESS);
    ASSERT_EQ(data.size(), chunk.size());
    EXPECT_EQ(data[0], 23);
    EXPECT_EQ(data[1], 0x5A);
    for (std::uint32_t i = 24; i < 40; ++i) {
        ASSERT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, u"big", Name("c", i), REG_BINARY, chunk.data(),
                      static_cast<std::uint32_t>(chunk.size())),
            ERROR_SUCCESS);
    }
    KeyInfo info;
    ASSERT_EQ(hive->QueryInfoKey(HKEY_LOCAL_MACHINE, u"big", &info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 40u);
}

// The reader slots in use, as LMDB lists them (opened without our library,
// which would clear stale slots on open).
int ReaderSlotsInUse(const std::filesystem::path& dir)
{
    MDB_env* env = nullptr;
    if (mdb_env_create(&env))
        return -1;
    mdb_env_set_maxreaders(env, 510);
    mdb_env_set_mapsize(env, std::filesystem::file_size(dir / "data.mdb"));
    if (mdb_env_open(env, dir.c_str(), MDB_RDONLY, 0600)) {
        mdb_env_close(env);
        return -1;
    }
    int lines = 0;
    mdb_reader_list(
        env,
        [](const char*, void* count) {
            ++*static_cast<int*>(count);
            return 0;
        },
        &lines);
    mdb_env_close(env);
    return lines - 1; // less the heading
}

TEST(HiveProcesses, ReaderSlotsOfKilledProcessesAreReclaimed)
{
    testsupport::TempDir dir;
    {
        auto hive = regtest::OpenHive(dir.path());
        ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    }
    // A live process keeps the lock file in use; the last process to leave
    // would otherwise let the next one start a fresh reader table.
    auto reading = [&](int out) {
        auto own = Hive::Open(dir.path(), Sync::Lazy, nullptr);
        if (!own || own->OpenKey(HKEY_LOCAL_MACHINE, u"k") != ERROR_SUCCESS)
            return 2;
        Report(out, 1);
        pause();
        return 0;
    };
    Child keeper(reading);
    std::uint32_t ok = 0;
    ASSERT_TRUE(keeper.Next(&ok));
    std::vector<std::unique_ptr<Child>> readers;
    for (int i = 0; i < 12; ++i) {
        readers.push_back(std::make_unique<Child>(reading));
        ASSERT_TRUE(readers.back()->Next(&ok)) << "process " << i;
    }
    for (auto& reader : readers)
        reader->Kill();
    EXPECT_EQ(ReaderSlotsInUse(dir.path()), 13); // the keeper's and those left by the killed
    {
        auto hive = regtest::OpenHive(dir.path());
        EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    }
    EXPECT_EQ(ReaderSlotsInUse(dir.path()), 1); // the keeper's
}

} // namespace
