// Connections to a running device: several clients, their own handles and
// last errors, lost connections, malformed frames and sharing.
#include "DeviceFixture.h"

#include "device/server/RapiServer.h"
#include "device/server/Session.h"
#include "platform/rapi/Protocol.h"
#include "platform/store/Store.h"
#include "tests/support/HostFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>

using testing_device::DeviceTest;
namespace proto = rapi::proto;

namespace {

// A raw socket to the device, for sending what no client would.
int RawConnect(const std::filesystem::path& socket)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, socket.c_str());
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    timeval tv { 5, 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

bool SendHello(int fd)
{
    proto::HelloMsg hello;
    auto frame = proto::Encode(hello);
    proto::FrameHeader header;
    std::vector<std::uint8_t> payload;
    return proto::SendAll(fd, frame.data(), frame.size())
        && proto::ReadFrame(fd, &header, &payload) == proto::IoResult::Ok && header.op == proto::Op::Hello;
}

// True when the server closed the connection (instead of answering); a
// close with our bytes still unread arrives as a reset.
bool ClosedByServer(int fd)
{
    char byte;
    ssize_t n = recv(fd, &byte, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

class RapiSessions : public DeviceTest { };

TEST_F(RapiSessions, TwoClientsWorkAtOnceEachWithItsOwnLastError)
{
    auto a = Connect();
    auto b = Connect();
    EXPECT_EQ(a->CeGetFileAttributes(u"\\missing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(b->CeGetFileAttributes(u"\\missing\\deeper"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(a->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(b->CeGetLastError(), ERROR_PATH_NOT_FOUND);

    auto writer = [](RapiConnection* c, const char16_t* path, char fill, bool* ok) {
        HANDLE h = c->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
        std::string block(60000, fill);
        *ok = h != INVALID_HANDLE_VALUE;
        for (int i = 0; *ok && i < 50; ++i) {
            DWORD done = 0;
            *ok = c->CeWriteFile(h, block.data(), DWORD(block.size()), &done, nullptr)
                && done == block.size();
        }
        *ok = *ok && c->CeCloseHandle(h);
    };
    bool okA = false, okB = false;
    std::thread ta(writer, a.get(), u"\\Temp\\a.bin", 'a', &okA);
    std::thread tb(writer, b.get(), u"\\Temp\\b.bin", 'b', &okB);
    ta.join();
    tb.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    EXPECT_EQ(std::filesystem::file_size(files() / "Temp" / "a.bin"), 3000000u);
    EXPECT_TRUE(testsupport::ReadHostFile(files() / "Temp" / "b.bin") == std::string(3000000, 'b'));
}

TEST_F(RapiSessions, HandlesBelongToTheirConnection)
{
    auto a = Connect();
    auto b = Connect();
    HANDLE h = a->CeCreateFile(u"\\Temp\\mine", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_FALSE(b->CeWriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(b->CeGetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(b->CeCloseHandle(h));
    EXPECT_TRUE(a->CeWriteFile(h, "x", 1, &done, nullptr));
    EXPECT_TRUE(a->CeCloseHandle(h));
}

TEST_F(RapiSessions, AClientThatGoesAwayHasItsHandlesClosed)
{
    auto holder = Connect();
    auto other = Connect();
    HANDLE h = holder->CeCreateFile(
        u"\\Temp\\held.sdf", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(other->CeCreateFile(u"\\Temp\\held.sdf", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(other->CeGetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(other->CeDeleteFile(u"\\Temp\\held.sdf"));
    EXPECT_EQ(other->CeGetLastError(), ERROR_SHARING_VIOLATION);
    holder.reset(); // the connection closes without closing its handle
    HANDLE mine = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 200 && mine == INVALID_HANDLE_VALUE; ++i) {
        mine = other->CeCreateFile(u"\\Temp\\held.sdf", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
        if (mine == INVALID_HANDLE_VALUE)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(mine, INVALID_HANDLE_VALUE);
    other->CeCloseHandle(mine);
}

TEST_F(RapiSessions, ADeviceProgramHoldingAFileExcludesRemoteClients)
{
    auto c = Connect();
    HANDLE h = c->CeCreateFile(u"\\My Documents\\db.sdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_TRUE(c->CeCloseHandle(h));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        // Stands in for a device program: it opens the store directly.
        std::string error;
        auto st = store::Store::Open(files(), &error);
        std::unique_ptr<store::File> f;
        bool existed;
        char ok = st
                && st->CreateFile(u"\\my documents\\DB.SDF", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                       0, &f, &existed)
                    == 0
            ? 'y'
            : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    ASSERT_EQ(ok, 'y');
    EXPECT_EQ(c->CeCreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_SHARING_VIOLATION);
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    h = c->CeCreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    c->CeCloseHandle(h);
}

TEST_F(RapiSessions, AStoppedDeviceShowsAsALostConnectionUntilReinitialised)
{
    auto c = Connect();
    EXPECT_EQ(c->CeRapiGetError(), S_OK);
    StopDevice();
    EXPECT_EQ(c->CeGetFileAttributes(u"\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(c->CeRapiGetError(), RAPI_E_CONNECTION_LOST);
    HKEY key = 0;
    EXPECT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key), LONG(ERROR_NOT_CONNECTED));
    // A new init finds no device.
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    EXPECT_EQ(c->CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(CeRapiWaitForInit(init.heRapiInit, 1500), WAIT_OBJECT_0);
    EXPECT_EQ(init.hrRapiInit, RAPI_E_NOT_CONNECTED);
    EXPECT_EQ(c->CeRapiGetError(), RAPI_E_NOT_CONNECTED);
    EXPECT_EQ(c->CeRapiUninit(), S_OK);
    // The device comes back: the connection stays broken until initialised again.
    StartDevice();
    c->SetSocketPath(socket());
    init = RAPIINIT { sizeof(RAPIINIT), -1, -1 };
    ASSERT_EQ(c->CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(CeRapiWaitForInit(init.heRapiInit, 1500), WAIT_OBJECT_0);
    EXPECT_EQ(init.hrRapiInit, S_OK);
    EXPECT_EQ(c->CeGetFileAttributes(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(c->CeRapiGetError(), S_OK);
}

TEST_F(RapiSessions, InitRecordsOfTheWrongSizeAreRefused)
{
    RapiConnection c;
    c.SetSocketPath(socket());
    RAPIINIT init { 24, -1, 0 };
    EXPECT_EQ(c.CeRapiInitEx(&init), E_INVALIDARG);
    EXPECT_EQ(c.CeRapiInitEx(nullptr), E_INVALIDARG);
    // Without init nothing works, and it says so.
    EXPECT_EQ(c.CeCreateFile(u"\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_NOT_CONNECTED);
}

TEST_F(RapiSessions, MalformedFramesCloseOnlyTheirConnection)
{
    auto good = Connect();
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto frame
        = [](std::uint32_t length, std::uint16_t op, std::uint16_t flags, std::vector<std::uint8_t> body) {
              std::vector<std::uint8_t> f;
              for (int i = 0; i < 4; ++i)
                  f.push_back(std::uint8_t(length >> (8 * i)));
              f.push_back(std::uint8_t(op));
              f.push_back(std::uint8_t(op >> 8));
              f.push_back(std::uint8_t(flags));
              f.push_back(std::uint8_t(flags >> 8));
              f.insert(f.end(), body.begin(), body.end());
              return f;
          };
    const std::uint16_t getAttributes = std::uint16_t(proto::Op::GetFileAttributes);
    std::vector<Case> cases = {
        { "oversized frame", frame(0x7FFFFFFF, getAttributes, 0, {}) },
        { "unknown operation", frame(0, 999, 0, {}) },
        { "unknown flags", frame(4, getAttributes, 0x80, { 0, 0, 0, 0 }) },
        { "string count beyond the payload", frame(4, getAttributes, 0, { 0xFF, 0xFF, 0, 0 }) },
        { "string count beyond the limit", frame(4, getAttributes, 0, { 0xFF, 0xFF, 0xFF, 0x7F }) },
        { "trailing bytes", frame(6, getAttributes, 0, { 0, 0, 0, 0, 1, 2 }) },
        { "odd string bytes", frame(5, getAttributes, 0, { 1, 0, 0, 0, 'x' }) },
        { "a second Hello", frame(8, 1, 0, { 'Q', 'V', 'R', 'A', 1, 0, 0, 0 }) },
        { "truncated payload", frame(100, getAttributes, 0, { 1, 0, 0, 0 }) },
    };
    for (const auto& c : cases) {
        int fd = RawConnect(socket());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendHello(fd)) << c.what;
        ASSERT_TRUE(proto::SendAll(fd, c.bytes.data(), c.bytes.size())) << c.what;
        if (std::string(c.what) == "truncated payload")
            shutdown(fd, SHUT_WR);
        EXPECT_TRUE(ClosedByServer(fd)) << c.what;
        close(fd);
        EXPECT_EQ(good->CeGetFileAttributes(u"\\Windows"), FILE_ATTRIBUTE_DIRECTORY) << c.what;
    }
    // A wrong greeting is not answered either.
    int fd = RawConnect(socket());
    auto bad = frame(8, 1, 0, { 'X', 'V', 'R', 'A', 1, 0, 0, 0 });
    ASSERT_TRUE(proto::SendAll(fd, bad.data(), bad.size()));
    EXPECT_TRUE(ClosedByServer(fd));
    close(fd);
    fd = RawConnect(socket());
    auto future = frame(8, 1, 0, { 'Q', 'V', 'R', 'A', 99, 0, 0, 0 });
    ASSERT_TRUE(proto::SendAll(fd, future.data(), future.size()));
    EXPECT_TRUE(ClosedByServer(fd));
    close(fd);
    EXPECT_EQ(good->CeRapiGetError(), S_OK);
}

TEST_F(RapiSessions, TheProcessWideConnectionServesTwoThreads)
{
    CeRapiSetSocketPath(socket());
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    ASSERT_EQ(CeRapiInitEx(&init), S_OK);
    ASSERT_EQ(CeRapiWaitForInit(init.heRapiInit, 1500), WAIT_OBJECT_0);
    ASSERT_EQ(init.hrRapiInit, S_OK);
    std::atomic<int> failures { 0 };
    auto work = [&](int id) {
        for (int i = 0; i < 200; ++i) {
            std::u16string path = u"\\Temp\\t" + std::u16string(1, char16_t(u'0' + id)) + u".txt";
            HANDLE h = CeCreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
            DWORD done = 0;
            if (h == INVALID_HANDLE_VALUE || !CeWriteFile(h, "data", 4, &done, nullptr) || !CeCloseHandle(h))
                ++failures;
            // Each thread sees the last error of its own call.
            if (CeGetFileAttributes(id == 1 ? u"\\nothing" : u"\\no\\thing") != INVALID_FILE_ATTRIBUTES
                || CeGetLastError() != (id == 1 ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND))
                ++failures;
        }
    };
    std::thread t1(work, 1), t2(work, 2);
    t1.join();
    t2.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(CeRapiUninit(), S_OK);
    EXPECT_EQ(CeGetFileAttributes(u"\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CeRapiGetError(), RAPI_E_NOT_CONNECTED);
}

// Another user can neither enter the socket's folder nor, with the folder and
// socket opened up on purpose, be served: the server checks its peer.
TEST_F(RapiSessions, OtherUsersAreKeptOut)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    auto tryAsNobody = [&]() {
        pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(10);
            int fd = RawConnect(socket());
            if (fd < 0)
                _exit(errno == EACCES ? 1 : 11);
            proto::HelloMsg hello;
            auto frame = proto::Encode(hello);
            proto::SendAll(fd, frame.data(), frame.size());
            _exit(ClosedByServer(fd) ? 2 : 3);
        }
        int status = -1;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(tryAsNobody(), 1) << "the folder keeps other users out";
    chmod(home().c_str(), 0711);
    chmod(socket().parent_path().c_str(), 0711);
    chmod(socket().c_str(), 0666);
    EXPECT_EQ(tryAsNobody(), 2) << "the server closes on a peer of another user";
    auto c = Connect();
    EXPECT_EQ(c->CeGetFileAttributes(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
}

// One connection may hold only so many handles; at the limit it is refused
// before anything is created or truncated, and other connections go on.
TEST_F(RapiSessions, HandleLimitsOfOneConnectionLeaveTheOthersWorking)
{
    auto hog = Connect();
    auto other = Connect();
    HANDLE h = other->CeCreateFile(u"\\Temp\\kept.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    DWORD done = 0;
    ASSERT_TRUE(other->CeWriteFile(h, "kept", 4, &done, nullptr));
    ASSERT_TRUE(other->CeCloseHandle(h));

    std::vector<HANDLE> opened;
    for (std::size_t i = 0; i < device::Session::kMaxOpenFiles; ++i) {
        opened.push_back(hog->CeCreateFile(
            u"\\Temp\\kept.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0x80, 0));
        ASSERT_NE(opened.back(), INVALID_HANDLE_VALUE) << i;
    }
    EXPECT_EQ(hog->CeCreateFile(
                  u"\\Temp\\kept.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(hog->CeGetLastError(), ERROR_TOO_MANY_OPEN_FILES);
    EXPECT_EQ(hog->CeCreateFile(u"\\Temp\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(hog->CeGetLastError(), ERROR_TOO_MANY_OPEN_FILES);
    EXPECT_EQ(testsupport::ReadHostFile(files() / "Temp" / "kept.txt"), "kept");
    EXPECT_FALSE(std::filesystem::exists(files() / "Temp" / "new.txt"));

    // Keys and searches fill the rest of the connection's handles.
    std::size_t keys = 0;
    HKEY key = 0;
    while (keys < device::Session::kMaxHandles
        && hog->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key) == ERROR_SUCCESS)
        ++keys;
    EXPECT_EQ(keys, device::Session::kMaxHandles - device::Session::kMaxOpenFiles);
    EXPECT_EQ(hog->CeRegCreateKeyEx(
                  HKEY_LOCAL_MACHINE, u"Software\\Hoarded", 0, nullptr, 0, 0, nullptr, &key, nullptr),
        LONG(ERROR_TOO_MANY_OPEN_FILES));
    CE_FIND_DATA found {};
    EXPECT_EQ(hog->CeFindFirstFile(u"\\Temp\\*", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(hog->CeGetLastError(), ERROR_TOO_MANY_OPEN_FILES);

    EXPECT_EQ(other->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Hoarded", 0, 0, &key),
        LONG(ERROR_FILE_NOT_FOUND));
    DWORD count = 0;
    CE_FIND_DATA* listing = nullptr;
    EXPECT_TRUE(other->CeFindAllFiles(u"\\Temp\\*", FAF_NAME, &count, &listing));
    EXPECT_EQ(count, 1u);
    CeRapiFreeBuffer(listing);
    h = other->CeCreateFile(
        u"\\Temp\\kept.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0x80, 0);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    other->CeCloseHandle(h);
    // A handle given back makes room again.
    ASSERT_TRUE(hog->CeCloseHandle(opened.back()));
    EXPECT_NE(hog->CeCreateFile(
                  u"\\Temp\\kept.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0x80, 0),
        INVALID_HANDLE_VALUE);
}

// The device closes connections that sit idle without a handle, a greeting
// never sent included; a connection that holds a handle may wait.
class IdleDevice : public DeviceTest {
protected:
    // The device gets its short time-out on its own environment: a test's
    // programs inherit none of the QUORVANE_ variables of the test itself.
    void SetUp() override { StartDevice({}, { std::string(device::kEnvIdleTimeout) + "=300" }); }
};

TEST_F(IdleDevice, AnIdleConnectionIsClosedButOneHoldingAHandleStays)
{
    auto holder = Connect();
    HANDLE h = holder->CeCreateFile(u"\\Temp\\held.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int silent = RawConnect(socket());
    int idle = RawConnect(socket());
    ASSERT_GE(silent, 0);
    ASSERT_TRUE(SendHello(idle));
    EXPECT_TRUE(ClosedByServer(silent)) << "a connection that never greeted stays";
    EXPECT_TRUE(ClosedByServer(idle)) << "an idle connection stays";
    close(silent);
    close(idle);
    // Several time-outs later the holder is still served.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    DWORD done = 0;
    EXPECT_TRUE(holder->CeWriteFile(h, "x", 1, &done, nullptr));
    EXPECT_TRUE(holder->CeCloseHandle(h));
    EXPECT_EQ(holder->CeRapiGetError(), S_OK);
}

// A process that already has its share of connections hears that the device
// is busy, not that there is none; other processes are still served.
TEST_F(RapiSessions, ConnectionsBeyondTheLimitHearThatTheDeviceIsBusy)
{
    std::vector<std::unique_ptr<RapiConnection>> mine;
    for (std::size_t i = 0; i < device::RapiServer::kMaxClientsPerPeer; ++i)
        mine.push_back(Connect());
    RapiConnection extra;
    extra.SetSocketPath(socket());
    EXPECT_EQ(extra.CeRapiInit(), RAPI_E_DEVICE_BUSY);
    EXPECT_EQ(extra.CeRapiGetError(), RAPI_E_DEVICE_BUSY);
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    ASSERT_EQ(extra.CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(init.hrRapiInit, RAPI_E_DEVICE_BUSY);

    pid_t child = fork();
    if (child == 0) {
        RapiConnection c;
        c.SetSocketPath(socket());
        _exit(c.CeRapiInit() == S_OK && c.CeGetFileAttributes(u"\\Windows") == FILE_ATTRIBUTE_DIRECTORY ? 0
                                                                                                        : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process was refused";

    mine.pop_back();
    bool served = false;
    for (int i = 0; i < 500 && !served; ++i) {
        served = extra.CeRapiInit() == S_OK;
        if (!served)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(served) << "a connection that ended left no room";
}

TEST_F(RapiSessions, IdentityVersionAndProcessStart)
{
    auto c = Connect();
    CEOSVERSIONINFO version {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(c->CeGetVersionEx(&version));
    EXPECT_EQ(version.dwMajorVersion, 5u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_CE);
    CEDEVICEIDENTITY identity;
    ASSERT_TRUE(c->CeGetDeviceIdentity(&identity));
    EXPECT_EQ(identity.platformType, u"PocketPC");
    EXPECT_EQ(identity.profileName, u"pocketpc");
    WCHAR text[128];
    ASSERT_TRUE(c->CeSystemParametersInfo(SPI_GETOEMINFO, sizeof text, text, 0));
    EXPECT_EQ(std::u16string(text), identity.oemInfo);
    EXPECT_FALSE(c->CeSystemParametersInfo(SPI_GETPLATFORMTYPE, 4, text, 0));
    EXPECT_EQ(c->CeGetLastError(), ERROR_INSUFFICIENT_BUFFER);
    PROCESS_INFORMATION pi {};
    EXPECT_FALSE(c->CeCreateProcess(u"\\Quorvane\\Quorvane2003.exe", u"-test", nullptr, nullptr, FALSE, 0,
        nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
    // A ROM program runs (as a simulated process); a file that is no program does not.
    EXPECT_TRUE(c->CeCreateProcess(
        u"\\Windows\\pword.exe", u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_NE(pi.dwProcessId, 0u);
    EXPECT_FALSE(
        c->CeCreateProcess(u"\\Windows", u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
}

} // namespace
