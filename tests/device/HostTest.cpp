// cedevice start, stop and status, profiles, the factory image and the
// connect/disconnect notifications.
#include "DeviceFixture.h"

#include "device/host/DeviceHost.h"
#include "device/host/FactoryImage.h"
#include "device/host/Notifications.h"
#include "platform/store/DeviceFolder.h"
#include "tests/support/HostFile.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using testing_device::Cedevice;
using testing_device::DeviceTest;
using testsupport::ReadHostFile;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::WriteHostFile;

namespace {

// Waits up to five seconds for `predicate`.
template <typename P> bool Eventually(P predicate)
{
    for (int i = 0; i < 500; ++i) {
        if (predicate())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return predicate();
}

// True when `pid` is gone or a zombie (its reaper may be slow).
bool Ended(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return true;
    std::string stat = ReadHostFile("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

class Host : public DeviceTest {
protected:
    // No device runs until a test starts one.
    void SetUp() override { }

    RunResult Cmd(std::vector<std::string> args) { return RunProgram(args, home()); }
    RunResult Start(const std::vector<std::string>& extra = {}) { return m_device.Start(extra); }
};

TEST_F(Host, StartStatusStopOfOneDevice)
{
    RunResult r = Cmd({ Cedevice(), "status", "--store", store().string() });
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "not running\nstore: " + store().string() + "\n");
    r = Start();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("cedevice: device ready: store " + store().string() + ", socket "
        + socket().string() + ", profile pocketpc, pid "))
        << r.out;
    device::HostState state;
    ASSERT_TRUE(device::ReadHostState(device::DeviceFolder { store() }, &state));
    r = Cmd({ Cedevice(), "status", "--store", store().string() });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
        "running\npid: " + std::to_string(state.pid) + "\nstore: " + store().string()
            + "\nsocket: " + socket().string() + "\nprofile: pocketpc\n");
    // The socket lives in a folder only its user can enter.
    struct stat st;
    ASSERT_EQ(stat(socket().parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A second start on the same store is refused.
    r = Start();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "cedevice: a device already runs on store " + store().string() + " (pid " + std::to_string(state.pid)
            + ", socket " + socket().string() + ")\n");
    r = Cmd({ Cedevice(), "stop", "--store", store().string() });
    EXPECT_EQ(r.status, 0) << r.err;
    m_device.Forget();
    EXPECT_FALSE(std::filesystem::exists(socket()));
    EXPECT_FALSE(std::filesystem::exists(store() / "cedevice.state"));
    EXPECT_TRUE(Ended(state.pid)) << "the host has ended";
    r = Cmd({ Cedevice(), "stop", "--store", store().string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cedevice: no device runs on store " + store().string() + "\n");
}

TEST_F(Host, SocketProblemsGiveClearErrors)
{
    std::string longPath = "/tmp/" + std::string(110, 's') + "/cedevice.sock";
    RunResult r = Cmd({ Cedevice(), "start", "--store", store().string(), "--socket", longPath });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("socket path too long (" + std::to_string(longPath.size()) + " bytes, at most 107)"),
        std::string::npos)
        << r.err;
    std::filesystem::create_directory(home() / "open");
    chmod((home() / "open").c_str(), 0755);
    r = Cmd(
        { Cedevice(), "start", "--store", store().string(), "--socket", (home() / "open" / "s").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "cedevice: the socket folder " + (home() / "open").string()
            + " can be entered by other users (mode 0755); use a folder only you can enter (mode 0700)\n");
    // Another device already answers on the socket.
    ASSERT_EQ(Start().status, 0);
    r = Cmd({ Cedevice(), "start", "--store", (home() / "other").string(), "--socket", socket().string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cedevice: a device already answers on socket " + socket().string() + "\n");
}

TEST_F(Host, ADeviceThatDiedLeavesNothingInTheWay)
{
    ASSERT_EQ(Start().status, 0);
    device::HostState state;
    ASSERT_TRUE(device::ReadHostState(device::DeviceFolder { store() }, &state));
    kill(state.pid, SIGKILL);
    ASSERT_TRUE(Eventually([&] { return Ended(state.pid); }));
    m_device.Forget();
    EXPECT_TRUE(std::filesystem::exists(socket())) << "the dead host's socket is still there";
    RunResult r = Start();
    ASSERT_EQ(r.status, 0) << r.err;
    auto c = Connect();
    EXPECT_EQ(c->CeGetFileAttributes(u"\\Windows"), FILE_ATTRIBUTE_DIRECTORY);
}

// A program that outlived a killed device, planted as one: a process with
// the environment the device gives its programs.
TEST_F(Host, ProgramsAnEarlierDeviceLeftRunningEndBeforeTheNextServes)
{
    std::filesystem::create_directories(store());
    auto plant = [&](const std::filesystem::path& dir, bool withId) {
        std::string dirEnv = "QUORVANE_DEVICE_DIR=" + dir.string(), idEnv = "QUORVANE_CE_PROCESS_ID=42";
        std::vector<char*> envp = { dirEnv.data() };
        if (withId)
            envp.push_back(idEnv.data());
        envp.push_back(nullptr);
        char sleep[] = "/bin/sleep", forever[] = "600";
        char* argv[] = { sleep, forever, nullptr };
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp.data()), 0);
        return pid;
    };
    auto ended = [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == pid; };
    pid_t leftover = plant(store(), true);
    pid_t otherDevice = plant(home() / "other", true);
    pid_t notification = plant(store(), false); // a desktop command the device ran
    ASSERT_EQ(Start().status, 0);
    EXPECT_TRUE(Eventually([&] { return ended(leftover); })) << "the leftover program still runs";
    EXPECT_NE(ReadHostFile(store() / "cedevice.log")
                  .find("cedevice: ended device program " + std::to_string(leftover)
                      + ", left running by an earlier device on this store\n"),
        std::string::npos);
    EXPECT_FALSE(ended(otherDevice));
    EXPECT_FALSE(ended(notification));
    for (pid_t pid : { leftover, otherDevice, notification }) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

TEST_F(Host, ForegroundRunsUntilSignalled)
{
    std::vector<std::string> args
        = { Cedevice(), "start", "--foreground", "--store", store().string(), "--socket", socket().string() };
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string homeEnv = "QUORVANE_HOME=" + home().string();
    std::vector<char*> envp = { homeEnv.data(), nullptr };
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(store() / "cedevice.state"); }));
    auto c = Connect();
    EXPECT_EQ(c->CeGetFileAttributes(u"\\My Documents"), FILE_ATTRIBUTE_DIRECTORY);
    kill(pid, SIGTERM);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(socket()));
    EXPECT_EQ(c->CeGetFileAttributes(u"\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(c->CeRapiGetError(), RAPI_E_CONNECTION_LOST);
}

TEST_F(Host, TheFactoryImageOfANewStore)
{
    ASSERT_EQ(Start().status, 0);
    for (const char* folder : { "Windows", "My Documents", "Program Files", "Temp", "Application Data" })
        EXPECT_TRUE(std::filesystem::is_directory(files() / folder)) << folder;
    EXPECT_EQ(ReadHostFile(files() / "Windows" / "pword.exe"), "QUORVANE-ROM 1\npword.exe\n");
    std::string name;
    EXPECT_TRUE(device::IsRomProgram(ReadHostFile(files() / "Windows" / "shell32.exe"), &name));
    EXPECT_EQ(name, "shell32.exe");
    EXPECT_FALSE(device::IsRomProgram("MZ\x90"));
    auto c = Connect();
    EXPECT_FALSE(c->CeDeleteFile(u"\\Windows\\pword.exe"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Host, TheRegistryAndFilesSurviveARestart)
{
    ASSERT_EQ(Start().status, 0);
    {
        auto c = Connect();
        HKEY key = 0;
        ASSERT_EQ(c->CeRegCreateKeyEx(
                      HKEY_LOCAL_MACHINE, u"Software\\Quorvane", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            0);
        DWORD v = 42;
        ASSERT_EQ(c->CeRegSetValueEx(key, u"Kept", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), 0);
        ASSERT_TRUE(c->CeCreateDirectory(u"\\Quorvane", nullptr));
    }
    StopDevice();
    ASSERT_EQ(Start().status, 0);
    auto c = Connect();
    HKEY key = 0;
    ASSERT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Quorvane", 0, 0, &key), 0);
    DWORD v = 0, size = 4;
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"Kept", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), 0);
    EXPECT_EQ(v, 42u);
    EXPECT_EQ(c->CeGetFileAttributes(u"\\Quorvane"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Host, ProfilesChooseTheIdentityAndTheStoreRemembersIt)
{
    ASSERT_EQ(Start({ "--profile", "smartphone" }).status, 0);
    {
        auto c = Connect();
        CEDEVICEIDENTITY id;
        ASSERT_TRUE(c->CeGetDeviceIdentity(&id));
        EXPECT_EQ(id.platformType, u"SmartPhone");
        EXPECT_EQ(id.dwMajorVersion, 5u);
        EXPECT_EQ(id.profileName, u"smartphone");
    }
    StopDevice();
    ASSERT_EQ(Start().status, 0);
    auto c = Connect();
    CEDEVICEIDENTITY id;
    ASSERT_TRUE(c->CeGetDeviceIdentity(&id));
    EXPECT_EQ(id.profileName, u"smartphone") << "a restart without --profile keeps the store's";
    std::string text = ReadHostFile(store() / "profile");
    device::Profile saved;
    std::string error;
    ASSERT_TRUE(device::ParseProfile(text, &saved, &error)) << error;
    EXPECT_EQ(saved, *device::BuiltInProfile("smartphone"));
}

TEST_F(Host, ACustomProfileWithoutRuntimes)
{
    WriteHostFile(home() / "bare.profile",
        "# a device without engine runtimes\n"
        "base = wince\n"
        "name = bare\n"
        "oem = Bare WinCE Board\n"
        "runtimes = none\n");
    RunResult r = Start({ "--profile", (home() / "bare.profile").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    auto c = Connect();
    CEDEVICEIDENTITY id;
    ASSERT_TRUE(c->CeGetDeviceIdentity(&id));
    EXPECT_EQ(id.oemInfo, u"Bare WinCE Board");
    EXPECT_EQ(id.dwMajorVersion, 4u);
    EXPECT_EQ(id.dwMinorVersion, 20u);
    HKEY key = 0;
    EXPECT_EQ(
        c->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}", 0, 0, &key),
        LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(
        c->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{32ce2952-2585-49a6-aeff-1732076c2945}", 0, 0, &key),
        LONG(ERROR_FILE_NOT_FOUND));
}

TEST_F(Host, AnUnknownProfileIsRefused)
{
    RunResult r = Start({ "--profile", "palmpilot" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "cedevice: no profile \"palmpilot\": not a built-in profile (pocketpc, pocketpc2003, "
        "smartphone, wince, ppc2002) nor a readable file\n");
    WriteHostFile(home() / "broken.profile", "base = pocketpc\nos = five\n");
    r = Start({ "--profile", (home() / "broken.profile").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "cedevice: profile file " + (home() / "broken.profile").string()
            + ": line 2: os is major.minor.build, for example 5.1.1700\n");
}

TEST_F(Host, ConnectAndDisconnectRunTheDesktopsAutoStartCommands)
{
    std::filesystem::path marker = home() / "marker";
    {
        std::string error;
        auto hive = reg::Hive::Open(home() / "desktop" / "registry", reg::Sync::EveryCommit, &error);
        ASSERT_TRUE(hive) << error;
        auto set = [&](const char16_t* key, const char16_t* name, const std::string& command) {
            ASSERT_EQ(hive->CreateKey(reg::HKEY_LOCAL_MACHINE, key), 0);
            std::u16string text(command.begin(), command.end());
            ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, key, name, reg::REG_SZ, text.c_str(),
                          std::uint32_t((text.size() + 1) * 2)),
                0);
        };
        set(device::kAutoStartOnConnectKey, u"Quorvane",
            "\"/bin/sh\" -c \"echo connected $QUORVANE_DEVICE_DIR >> " + marker.string() + "\"");
        set(device::kAutoStartOnConnectKey, u"Broken", "\"/no/such/program\" -connected");
        set(device::kAutoStartOnDisconnectKey, u"Quorvane",
            "\"/bin/sh\" -c \"echo disconnected >> " + marker.string() + "\"");
    }
    ASSERT_EQ(Start().status, 0);
    EXPECT_TRUE(Eventually([&] { return ReadHostFile(marker) == "connected " + store().string() + "\n"; }))
        << ReadHostFile(marker);
    StopDevice();
    EXPECT_TRUE(Eventually([&] {
        return ReadHostFile(marker) == "connected " + store().string() + "\ndisconnected\n";
    })) << ReadHostFile(marker);
    EXPECT_NE(
        ReadHostFile(store() / "cedevice.log")
            .find("cedevice: connect notification: cannot run /no/such/program: No such file or directory"),
        std::string::npos);
}

TEST(Notifications, CommandsSplitLikeTheDesktopWritesThem)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(device::SplitCommand(u"\"/opt/Quorvane/quorvane\" -connected"),
        (V { "/opt/Quorvane/quorvane", "-connected" }));
    EXPECT_EQ(device::SplitCommand(u"\"/path with space/q\"  -a   \"b c\""),
        (V { "/path with space/q", "-a", "b c" }));
    EXPECT_EQ(device::SplitCommand(u"plain -x"), (V { "plain", "-x" }));
    EXPECT_EQ(device::SplitCommand(u"\"\" -x"), V {});
    EXPECT_EQ(device::SplitCommand(u"   "), V {});
}

TEST(Profiles, BuiltInsAreCompleteAndDetectable)
{
    for (const auto& name : device::BuiltInProfileNames()) {
        auto p = device::BuiltInProfile(name);
        ASSERT_TRUE(p) << name;
        EXPECT_GE(p->identifier.size(), device::kMinIdentifierBytes) << name;
        EXPECT_TRUE(p->engine20 && p->engine30) << name;
        std::string text = device::FormatProfile(*p);
        device::Profile back;
        std::string error;
        ASSERT_TRUE(device::ParseProfile(text, &back, &error)) << error;
        EXPECT_EQ(back, *p) << name;
    }
    auto lower = [](std::u16string s) {
        for (auto& c : s)
            c = char16_t(std::tolower(c));
        return s;
    };
    auto has = [&](const device::Profile& p, std::u16string_view word) {
        return lower(p.platformType).find(word) != std::u16string::npos
            || lower(p.oemInfo).find(word) != std::u16string::npos;
    };
    auto pocketpc = *device::BuiltInProfile("pocketpc");
    EXPECT_EQ(pocketpc.major, 5u);
    EXPECT_EQ(pocketpc.minor, 1u);
    EXPECT_FALSE(has(pocketpc, u"wince") || has(pocketpc, u"smartphone"));
    EXPECT_TRUE(has(*device::BuiltInProfile("smartphone"), u"smartphone"));
    EXPECT_TRUE(has(*device::BuiltInProfile("wince"), u"wince"));
    EXPECT_EQ(device::BuiltInProfile("pocketpc2003")->minor, 20u);
    EXPECT_EQ(device::BuiltInProfile("ppc2002")->major, 3u);
    EXPECT_NE(device::BuiltInProfile("pocketpc")->identifier, device::BuiltInProfile("wince")->identifier);
}

TEST(Profiles, FileErrorsNameTheirLine)
{
    device::Profile p;
    std::string error;
    EXPECT_FALSE(device::ParseProfile("name = x\n", &p, &error));
    EXPECT_EQ(error, "a profile without \"base\" needs name, os, platform, oem and identifier");
    EXPECT_FALSE(device::ParseProfile("base = pocketpc\nidentifier = 0011\n", &p, &error));
    EXPECT_EQ(error, "line 2: identifier must hold 80 to 4096 bytes");
    EXPECT_FALSE(device::ParseProfile("name = a\nbase = pocketpc\n", &p, &error));
    EXPECT_EQ(error, "line 2: \"base\" must come first");
    EXPECT_FALSE(device::ParseProfile("base = pocketpc\ncolour = blue\n", &p, &error));
    EXPECT_EQ(error, "line 2: unknown key \"colour\"");
    EXPECT_FALSE(device::ParseProfile("base = pocketpc\nruntimes = 2.0 none\n", &p, &error));
    EXPECT_EQ(error, "line 2: \"none\" stands alone");
    EXPECT_FALSE(device::ParseProfile("base = pocketpc\nname = bad name\n", &p, &error));
    EXPECT_EQ(error, "line 2: a name is 1 to 64 letters, digits, '-', '_' or '.'");
    std::string full
        = "name = full\nos = 4.21.99\nplatform = PocketPC\noem = Contoso\ncsd = SP1\nidentifier = "
        + std::string(160, 'A') + "\nruntimes = 3.0\n";
    ASSERT_TRUE(device::ParseProfile(full, &p, &error)) << error;
    EXPECT_EQ(p.minor, 21u);
    EXPECT_EQ(p.build, 99u);
    EXPECT_EQ(p.csdVersion, u"SP1");
    EXPECT_EQ(p.identifier, std::vector<std::uint8_t>(80, 0xAA));
    EXPECT_FALSE(p.engine20);
    EXPECT_TRUE(p.engine30);
}

} // namespace
