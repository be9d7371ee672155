// The whole device: a real cedevice, reached by remote clients, running
// device programs (the probe), the CAB installer and the runtime CABs, and
// restarting softly and hard.
#include "tests/device/DeviceFixture.h" // a running cedevice on a fresh store

#include "platform/rapi/Rapi.h"
#include "platform/registry/Hive.h"
#include "tests/support/HostFile.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace {

using testsupport::ReadHostFile;

constexpr const char16_t* kClsid20 = u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}";
constexpr const char16_t* kClsid30 = u"CLSID\\{32ce2952-2585-49a6-aeff-1732076c2945}";

bool WaitUntil(const std::function<bool()>& done, double seconds = 15)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

class DeviceHostTest : public testing_device::DeviceTest {
protected:
    void SetUp() override
    {
        WriteNotifications();
        StartWith({});
    }
    void TearDown() override
    {
        m_client.reset();
        StopDevice();
    }

    // Restarts are shortened so that the reset tests do not wait long.
    void StartWith(const std::vector<std::string>& extra)
    {
        StartDevice(extra, { "QUORVANE_DEVICE_BOOT_MS=300" });
        m_client = Connect();
    }

    // The desktop's auto-start commands append "connect" and "disconnect"
    // lines to a log, so a test sees when the notifications run.
    void WriteNotifications()
    {
        std::string error;
        auto hive = reg::Hive::Open(home() / "desktop" / "registry", reg::Sync::EveryCommit, &error);
        ASSERT_TRUE(hive) << error;
        for (auto [key, word] :
            { std::pair { u"Software\\Microsoft\\Windows CE Services\\AutoStartOnConnect", "connect" },
                std::pair {
                    u"Software\\Microsoft\\Windows CE Services\\AutoStartOnDisconnect", "disconnect" } }) {
            ASSERT_EQ(hive->CreateKey(reg::HKEY_LOCAL_MACHINE, key), 0);
            std::u16string command = u"\"/bin/sh\" -c \"echo " + testing_device::U(word) + u" >> "
                + testing_device::U(NotificationLog().string()) + u"\"";
            std::string bytes(reinterpret_cast<const char*>(command.c_str()), (command.size() + 1) * 2);
            ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, key, u"Log", reg::REG_SZ, bytes.data(),
                          std::uint32_t(bytes.size())),
                0);
        }
    }
    std::filesystem::path NotificationLog() const { return home() / "notifications.log"; }

    // Copies a host file to the device through the client.
    void Upload(const std::filesystem::path& local, std::u16string_view devicePath)
    {
        std::string content = ReadHostFile(local);
        ASSERT_FALSE(content.empty()) << local;
        HANDLE f = m_client->CeCreateFile(std::u16string(devicePath).c_str(), GENERIC_WRITE, 0, nullptr,
            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(m_client->CeWriteFile(f, content.data(), DWORD(content.size()), &written, nullptr));
        ASSERT_EQ(written, content.size());
        ASSERT_TRUE(m_client->CeCloseHandle(f));
    }
    std::string Download(std::u16string_view devicePath)
    {
        HANDLE f = m_client->CeCreateFile(
            std::u16string(devicePath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
        if (f == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string out(1 << 16, '\0');
        DWORD read = 0;
        m_client->CeReadFile(f, out.data(), DWORD(out.size()), &read, nullptr);
        m_client->CeCloseHandle(f);
        out.resize(read);
        return out;
    }
    bool Exists(std::u16string_view devicePath)
    {
        return m_client->CeGetFileAttributes(std::u16string(devicePath).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool KeyExists(HKEY root, const char16_t* path)
    {
        HKEY key = 0;
        if (m_client->CeRegOpenKeyEx(root, path, 0, 0, &key) != ERROR_SUCCESS)
            return false;
        m_client->CeRegCloseKey(key);
        return true;
    }
    // A value of HKLM\Software\Probe as text ("<missing>" when absent).
    std::u16string Probe(const char16_t* name)
    {
        HKEY key = 0;
        if (m_client->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Probe", 0, 0, &key) != ERROR_SUCCESS)
            return u"<missing>";
        BYTE data[2048];
        DWORD size = sizeof data, type = 0;
        LONG r = m_client->CeRegQueryValueEx(key, name, nullptr, &type, data, &size);
        m_client->CeRegCloseKey(key);
        if (r != ERROR_SUCCESS)
            return u"<missing>";
        if (type == REG_DWORD)
            return testing_device::U(std::to_string(*reinterpret_cast<DWORD*>(data)));
        return std::u16string(reinterpret_cast<char16_t*>(data), size / 2);
    }
    DWORD Start(const char16_t* program, const std::u16string& commandLine)
    {
        PROCESS_INFORMATION pi {};
        EXPECT_TRUE(m_client->CeCreateProcess(
            program, commandLine.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
            << "last error " << m_client->CeGetLastError();
        return pi.dwProcessId;
    }
    std::vector<std::u16string> ProcessNames()
    {
        std::vector<CEPROCESSENTRY> list;
        EXPECT_TRUE(m_client->CeGetProcessList(&list));
        std::vector<std::u16string> names;
        for (const auto& p : list)
            names.push_back(p.exeFile);
        return names;
    }
    // Waits until the restarted device answers again, and reconnects.
    void Reconnect()
    {
        ASSERT_TRUE(WaitUntil([&] {
            m_client = std::make_unique<RapiConnection>();
            m_client->SetSocketPath(socket());
            return m_client->CeRapiInit() == S_OK
                && m_client->CeGetFileAttributes(u"\\") != INVALID_FILE_ATTRIBUTES;
        }));
    }

    std::unique_ptr<RapiConnection> m_client;
};

TEST_F(DeviceHostTest, ADeviceProgramStartedRemotelySeesItsCommandLineAndItsDevice)
{
    Upload(CE_PROBE, u"\\Temp\\Probe.exe");
    DWORD id = Start(u"\\temp\\probe.EXE", u"report \"two words\"  and\ttab");
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(WaitUntil([&] { return Probe(u"Done") == u"1"; }));
    EXPECT_EQ(Probe(u"CommandLine"), u"report \"two words\"  and\ttab");
    EXPECT_EQ(Probe(u"Module"), u"\\Temp\\Probe.exe");
    EXPECT_EQ(Probe(u"ProcessId"), testing_device::U(std::to_string(id)));
    std::u16string expected = u"hello from \\Temp\\Probe.exe";
    EXPECT_EQ(Download(u"\\Temp\\probe.txt"),
        std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    ASSERT_TRUE(WaitUntil([&] {
        auto names = ProcessNames();
        return std::find(names.begin(), names.end(), u"Probe.exe") == names.end();
    }));
}

TEST_F(DeviceHostTest, ClientsListAndEndRealAndSimulatedProcesses)
{
    Upload(CE_PROBE, u"\\Temp\\probe.exe");
    DWORD rom = Start(u"\\Windows\\pword.exe", u"\\My Documents\\a.txt");
    DWORD program = Start(u"\\Temp\\probe.exe", u"sleep 60000");
    ASSERT_TRUE(WaitUntil([&] { return Probe(u"Ready") == u"1"; }));
    std::vector<CEPROCESSENTRY> list;
    ASSERT_TRUE(m_client->CeGetProcessList(&list));
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[0].exeFile, u"NK.EXE");
    EXPECT_EQ(list[list.size() - 2].exeFile, u"pword.exe");
    EXPECT_EQ(list[list.size() - 2].dwProcessId, rom);
    EXPECT_EQ(list.back().exeFile, u"probe.exe");
    EXPECT_EQ(list.back().dwProcessId, program);

    EXPECT_FALSE(m_client->CeTerminateProcess(list[0].dwProcessId));
    EXPECT_EQ(m_client->CeGetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m_client->CeTerminateProcess(program));
    EXPECT_TRUE(m_client->CeTerminateProcess(rom));
    EXPECT_FALSE(m_client->CeTerminateProcess(rom));
    EXPECT_EQ(m_client->CeGetLastError(), ERROR_INVALID_PARAMETER);
    auto names = ProcessNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), u"probe.exe"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), u"pword.exe"), 0);
    EXPECT_EQ(Probe(u"Done"), u"<missing>");
}

// A program lives on when the connection that started it ends, and ends when
// its device does, even when the device host is killed outright.
TEST_F(DeviceHostTest, AProgramOutlivesItsClientButNotItsDevice)
{
    Upload(CE_PROBE, u"\\Temp\\probe.exe");
    DWORD id = Start(u"\\Temp\\probe.exe", u"sleep 600000");
    ASSERT_TRUE(WaitUntil([&] { return Probe(u"Ready") == u"1"; }));
    m_client = Connect();
    // The first connection's end has no moment to wait for: give it one.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    auto names = ProcessNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), u"probe.exe"), 1);

    pid_t probe = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc"))
        if (('\0' + ReadHostFile(entry.path() / "environ") + '\0')
                .find("\0QUORVANE_CE_PROCESS_ID=" + std::to_string(id) + '\0')
            != std::string::npos)
            probe = std::atoi(entry.path().filename().c_str());
    ASSERT_NE(probe, 0);
    const std::string state = ReadHostFile(store() / "cedevice.state");
    ASSERT_TRUE(state.starts_with("pid=")) << state;
    m_client.reset();
    ASSERT_EQ(kill(std::atoi(state.c_str() + 4), SIGKILL), 0);
    m_device.Forget();
    // Gone, or a zombie that its new parent has yet to collect.
    auto ended = [&] {
        std::string stat = ReadHostFile("/proc/" + std::to_string(probe) + "/stat");
        std::size_t close = stat.rfind(')');
        return stat.empty() || (close != std::string::npos && stat.compare(close, 3, ") Z") == 0);
    };
    EXPECT_TRUE(WaitUntil(ended)) << "the program outlived its device";
    kill(probe, SIGKILL);
}

TEST_F(DeviceHostTest, ASoftResetEndsProcessesAndConnectionsButKeepsTheData)
{
    Upload(CE_PROBE, u"\\My Documents\\probe.exe");
    Start(u"\\Windows\\pword.exe", u"");
    Start(u"\\My Documents\\probe.exe", u"sleep 60000");
    ASSERT_TRUE(WaitUntil([&] { return Probe(u"Ready") == u"1"; }));
    auto other = Connect();
    std::string before = ReadHostFile(NotificationLog());
    EXPECT_EQ(before, "connect\n");

    ASSERT_TRUE(m_client->CeResetDevice(FALSE) || m_client->CeRapiGetError() == RAPI_E_CONNECTION_LOST);
    // Every client sees its connection lost.
    EXPECT_TRUE(WaitUntil([&] { return other->CeGetFileAttributes(u"\\") == INVALID_FILE_ATTRIBUTES; }, 5));
    EXPECT_EQ(other->CeRapiGetError(), RAPI_E_CONNECTION_LOST);
    Reconnect();
    EXPECT_EQ(ProcessNames(),
        (std::vector<std::u16string> { u"NK.EXE", u"filesys.exe", u"device.exe", u"gwes.exe", u"services.exe",
            u"shell32.exe", u"connmgr.exe", u"repllog.exe" }));
    EXPECT_TRUE(Exists(u"\\My Documents\\probe.exe"));
    EXPECT_EQ(Probe(u"Ready"), u"1");
    EXPECT_TRUE(
        WaitUntil([&] { return ReadHostFile(NotificationLog()) == "connect\ndisconnect\nconnect\n"; }, 5))
        << ReadHostFile(NotificationLog());
}

TEST_F(DeviceHostTest, AHardResetFromADeviceProgramRestoresTheFactoryImage)
{
    Upload(CE_PROBE, u"\\Temp\\probe.exe");
    ASSERT_TRUE(m_client->CeCreateDirectory(u"\\My Documents\\Work", nullptr));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsid20));
    Start(u"\\Temp\\probe.exe", u"reboot clean");
    // The device goes away: this connection breaks.
    EXPECT_TRUE(
        WaitUntil([&] { return m_client->CeGetFileAttributes(u"\\") == INVALID_FILE_ATTRIBUTES; }, 10));
    Reconnect();
    EXPECT_FALSE(Exists(u"\\Temp\\probe.exe"));
    EXPECT_FALSE(Exists(u"\\My Documents\\Work"));
    EXPECT_TRUE(Exists(u"\\My Documents"));
    EXPECT_EQ(m_client->CeGetFileAttributes(u"\\Windows\\wceload.exe") & FILE_ATTRIBUTE_INROM,
        FILE_ATTRIBUTE_INROM);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Probe"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Apps"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsid20));
    EXPECT_EQ(ProcessNames().size(), 8u);
}

TEST_F(DeviceHostTest, ExclusiveOpensHoldBetweenAClientAndADeviceProgram)
{
    Upload(CE_PROBE, u"\\Temp\\probe.exe");
    HANDLE f = m_client->CeCreateFile(
        u"\\My Documents\\db.sdf", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    Start(u"\\Temp\\probe.exe", u"hold \\My Documents\\db.sdf 0");
    ASSERT_TRUE(WaitUntil([&] { return Probe(u"Done") == u"1"; }));
    EXPECT_EQ(Probe(u"HoldError"), u"32");
    m_client->CeCloseHandle(f);
}

class RuntimeFreeDevice : public DeviceHostTest {
protected:
    void SetUp() override
    {
        WriteNotifications();
        std::ofstream(home() / "bare.profile") << "base = pocketpc\nname = bare\nruntimes = none\n";
        StartWith({ "--profile", (home() / "bare.profile").string() });
    }
};

TEST_F(RuntimeFreeDevice, InstallingTheRuntimeCabsMakesTheClassKeysAppear)
{
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsid20));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsid30));
    for (const char* name :
        { "sqlce.wce4.armv4.cab", "sqlce30.ppc.wce5.armv4i.cab", "sqlce30.repl.wce5.armv4i.cab" }) {
        std::u16string device = u"\\" + testing_device::U(name);
        Upload(std::filesystem::path(RUNTIME_CAB_DIR) / name, device);
        Start(u"\\windows\\wceload.exe", u"\"" + device + u"\"");
        // As the desktop does: the installer removes the CAB when it is done.
        EXPECT_TRUE(WaitUntil([&] { return !Exists(device); })) << name;
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsid20));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsid30));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Microsoft SQLCE 2.0"));

    // "/delete 0" keeps the CAB; a damaged CAB stays and changes nothing.
    std::u16string keep = u"\\keep.cab";
    Upload(std::filesystem::path(RUNTIME_CAB_DIR) / "sqlce30.ppc.wce4.armv4.cab", keep);
    m_client->CeRegDeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Microsoft SQL Mobile 2005");
    Start(u"\\Windows\\wceload.exe", u"/noaskdest /delete 0 \"" + keep + u"\"");
    EXPECT_TRUE(WaitUntil(
        [&] { return KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Microsoft SQL Mobile 2005"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Exists(keep));
}

} // namespace
