// The device's process table with real device programs (the probe, a host
// executable copied into the store), ROM programs and system processes.
#include "DeviceFixture.h"

#include "device/process/ProcessTable.h"
#include "tests/support/HostFile.h"

#include <atomic>
#include <csignal>
#include <sys/wait.h>
#include <thread>

namespace {

using cetest::U16;
using cetest::WaitFor;
using device::ProcessInfo;
using device::ProcessStart;
using device::ProcessTable;

class ProcessTableTest : public cetest::DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_probe = testsupport::ReadHostFile(CE_PROBE);
        ASSERT_GT(m_probe.size(), 1000u);
        Put(u"\\Windows\\probe.exe", m_probe);
        ASSERT_EQ(Store().CreateRomFile(u"\\Windows\\pword.exe", "ROM image of pword"), 0u);
        Put(u"\\My Documents\\notes.txt", "just text");
        ProcessTable::Config config;
        config.store = &Store();
        config.deviceDir = m_folder.dir;
        config.rapiSocket = "/tmp/no-such-socket";
        config.reboot = [this](bool clean) {
            m_reboots += clean ? 10 : 1;
            return m_rebootAnswer.load();
        };
        m_table = std::make_unique<ProcessTable>(config);
    }
    void TearDown() override { m_table.reset(); }

    DWORD Run(std::u16string_view path, std::u16string_view commandLine, ProcessStart* started = nullptr)
    {
        ProcessStart local;
        return m_table->CreateProcess(path, commandLine, started ? started : &local);
    }
    bool Listed(DWORD id)
    {
        for (const auto& p : m_table->Snapshot())
            if (p.id == id)
                return true;
        return false;
    }
    std::vector<std::u16string> Names()
    {
        std::vector<std::u16string> names;
        for (const auto& p : m_table->Snapshot())
            names.push_back(p.name);
        return names;
    }
    // Runs the probe and waits until it has left the table.
    void RunToEnd(std::u16string_view commandLine, ProcessStart* started = nullptr)
    {
        ProcessStart local;
        started = started ? started : &local;
        ASSERT_EQ(Run(u"\\windows\\PROBE.exe", commandLine, started), ERROR_SUCCESS);
        ASSERT_TRUE(WaitFor([&] { return !Listed(started->processId); }));
        ASSERT_EQ(ProbeNumber(u"Done"), 1u) << "the probe did not finish";
    }

    std::string m_probe;
    std::atomic<int> m_reboots { 0 };
    std::atomic<DWORD> m_rebootAnswer { ERROR_SUCCESS };
    std::unique_ptr<ProcessTable> m_table;
};

TEST_F(ProcessTableTest, AProgramSeesItsWholeCommandLineItsPathAndItsDevice)
{
    ProcessStart started;
    RunToEnd(u"report  two  spaces \"quoted\" \u00e9\u4e2d", &started);
    EXPECT_EQ(ProbeString(u"CommandLine"), u"report  two  spaces \"quoted\" \u00e9\u4e2d");
    EXPECT_EQ(ProbeString(u"Module"), u"\\Windows\\probe.exe");
    EXPECT_EQ(ProbeNumber(u"ProcessId"), started.processId);
    EXPECT_EQ(ProbeNumber(u"Running"), started.processId);
    std::u16string expected = u"hello from \\Windows\\probe.exe";
    EXPECT_EQ(Get(u"\\Temp\\probe.txt"),
        std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    EXPECT_NE(started.processId, 0u);
    EXPECT_NE(started.threadId, started.processId);
}

TEST_F(ProcessTableTest, AnEmptyCommandLineIsNoArgumentAtAll)
{
    RunToEnd(u"");
    EXPECT_EQ(ProbeString(u"Unknown"), u"");
    EXPECT_TRUE(HasProbeValue(u"Unknown"));
}

TEST_F(ProcessTableTest, OnlyHostProgramsAndRomProgramsRun)
{
    EXPECT_EQ(Run(u"\\My Documents\\notes.txt", u""), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(Run(u"\\Windows\\missing.exe", u""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Run(u"\\Nowhere\\missing.exe", u""), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Run(u"\\Windows", u""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run(u"\\Windows\\*.exe", u""), ERROR_INVALID_NAME);
    // An ELF header that is no program of this machine.
    Put(u"\\Temp\\broken.exe",
        std::string("\x7f"
                    "ELF",
            4)
            + std::string(60, '\0'));
    EXPECT_EQ(Run(u"\\Temp\\broken.exe", u""), ERROR_BAD_EXE_FORMAT);
    // A file being written may not be run.
    std::unique_ptr<store::File> writer;
    bool existed = false;
    ASSERT_EQ(Store().CreateFile(u"\\Windows\\probe.exe", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0,
                  &writer, &existed),
        0u);
    EXPECT_EQ(Run(u"\\Windows\\probe.exe", u"report"), ERROR_SHARING_VIOLATION);
    writer.reset();
    std::vector<std::u16string> expected = ProcessTable::SystemProcessNames();
    EXPECT_EQ(Names(), expected);
}

TEST_F(ProcessTableTest, AProgramRunAgainAfterItsFileChangedRunsTheNewFile)
{
    // A file left alone for a while is started from a copy kept in memory;
    // a file changed since, even to the same size, must be read anew.
    Put(u"\\Temp\\tool.exe", m_probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    ProcessStart started;
    ASSERT_EQ(Run(u"\\Temp\\tool.exe", u"report", &started), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return !Listed(started.processId); }));
    ASSERT_EQ(ProbeNumber(u"Done"), 1u);
    ASSERT_EQ(Run(u"\\Temp\\tool.exe", u"report", &started), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return !Listed(started.processId); }));
    Put(u"\\Temp\\tool.exe", std::string("\x7f" "ELF", 4) + std::string(m_probe.size() - 4, '\0'));
    EXPECT_EQ(Run(u"\\Temp\\tool.exe", u"report"), ERROR_BAD_EXE_FORMAT);
}

TEST_F(ProcessTableTest, SnapshotListsSystemRomAndRunningProgramsInOrder)
{
    ProcessStart rom, program;
    ASSERT_EQ(Run(u"\\WINDOWS\\PWORD.EXE", u"\\My Documents\\notes.txt", &rom), ERROR_SUCCESS);
    ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"sleep 60000", &program), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Ready") == 1; }));
    auto list = m_table->Snapshot();
    std::vector<std::u16string> expected = ProcessTable::SystemProcessNames();
    expected.push_back(u"pword.exe");
    expected.push_back(u"probe.exe");
    EXPECT_EQ(Names(), expected);
    ASSERT_EQ(list.size(), expected.size());
    EXPECT_EQ(list[list.size() - 2].kind, ProcessInfo::Kind::Simulated);
    EXPECT_EQ(list[list.size() - 2].id, rom.processId);
    EXPECT_EQ(list.back().kind, ProcessInfo::Kind::Program);
    EXPECT_EQ(list.back().id, program.processId);
    EXPECT_EQ(list[1].parentId, list[0].id);
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].id & 3u, 2u);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(list[i].id, list[j].id);
    }
}

TEST_F(ProcessTableTest, TerminationEndsProgramsAndRomProgramsButNotTheSystem)
{
    ProcessStart rom, program;
    ASSERT_EQ(Run(u"\\Windows\\pword.exe", u"", &rom), ERROR_SUCCESS);
    ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"sleep 60000", &program), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Ready") == 1; }));
    int hostPid = m_table->Snapshot().back().hostPid;
    ASSERT_GT(hostPid, 0);

    EXPECT_EQ(m_table->Terminate(program.processId), ERROR_SUCCESS);
    EXPECT_FALSE(Listed(program.processId));
    EXPECT_NE(::kill(hostPid, 0), 0) << "the host process still runs";
    EXPECT_EQ(ProbeNumber(u"Done"), 0xDEADBEEFu);
    EXPECT_EQ(m_table->Terminate(rom.processId), ERROR_SUCCESS);
    EXPECT_FALSE(Listed(rom.processId));
    EXPECT_EQ(m_table->Terminate(rom.processId), ERROR_INVALID_PARAMETER);
    DWORD kernel = m_table->Snapshot().front().id;
    EXPECT_EQ(m_table->Terminate(kernel), ERROR_ACCESS_DENIED);
    EXPECT_EQ(m_table->Find(kernel), ERROR_SUCCESS);
}

TEST_F(ProcessTableTest, AProgramListsAndKillsThroughItsHostLink)
{
    ProcessStart rom1, rom2, sleeper;
    ASSERT_EQ(Run(u"\\Windows\\pword.exe", u"", &rom1), ERROR_SUCCESS);
    ASSERT_EQ(Run(u"\\Windows\\pword.exe", u"", &rom2), ERROR_SUCCESS);
    ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"sleep 60000", &sleeper), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Ready") == 1; }));

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    Put(u"\\Windows\\lister.exe", m_probe);
    ProcessStart lister;
    ASSERT_EQ(Run(u"\\Windows\\lister.exe", u"ps", &lister), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Done") == 1; }));
    std::u16string expected;
    for (const auto& name : ProcessTable::SystemProcessNames())
        expected += name + u"\n";
    expected += u"pword.exe\npword.exe\nprobe.exe\nlister.exe\n";
    EXPECT_EQ(ProbeString(u"Processes"), expected);

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    ASSERT_EQ(Run(u"\\Windows\\lister.exe", u"kill pword.exe"), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Done") == 1; }));
    EXPECT_EQ(ProbeNumber(u"Killed"), 2u);
    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    ASSERT_EQ(Run(u"\\Windows\\lister.exe", u"kill probe.exe"), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Done") == 1; }));
    EXPECT_EQ(ProbeNumber(u"Killed"), 1u);
    EXPECT_FALSE(Listed(sleeper.processId));
    EXPECT_FALSE(Listed(rom1.processId));
    EXPECT_FALSE(Listed(rom2.processId));

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    ASSERT_EQ(Run(u"\\Windows\\lister.exe", u"kill NK.EXE"), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Done") == 1; }));
    EXPECT_EQ(ProbeNumber(u"Killed"), 0u);
    EXPECT_EQ(ProbeNumber(u"KillError"), ERROR_ACCESS_DENIED);
}

TEST_F(ProcessTableTest, AHandleToAProcessThatEndedNoLongerTerminates)
{
    Put(u"\\Windows\\killer.exe", m_probe);
    ProcessStart rom, killer;
    ASSERT_EQ(Run(u"\\Windows\\pword.exe", u"", &rom), ERROR_SUCCESS);
    ASSERT_EQ(
        Run(u"\\Windows\\killer.exe", u"late-kill " + U16(std::to_string(rom.processId)) + u" 1000", &killer),
        ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Opened") == 1; }));
    ASSERT_EQ(m_table->Terminate(rom.processId), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Done") == 1; }));
    EXPECT_EQ(ProbeNumber(u"LateKill"), ERROR_INVALID_HANDLE);

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    RunToEnd(u"late-kill 12345 0");
    EXPECT_EQ(ProbeNumber(u"LateKill"), ERROR_INVALID_PARAMETER);
}

TEST_F(ProcessTableTest, AProgramStartsAnotherAsItsChild)
{
    Put(u"\\Windows\\second.exe", m_probe);
    ProcessStart first;
    ASSERT_EQ(
        Run(u"\\Windows\\probe.exe", u"start \\Windows\\second.exe sleep 60000", &first), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Ready") == 1; }));
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Started") != 0xDEADBEEFu; }));
    DWORD second = ProbeNumber(u"Started");
    bool found = false;
    for (const auto& p : m_table->Snapshot())
        if (p.id == second) {
            found = true;
            EXPECT_EQ(p.name, u"second.exe");
            EXPECT_EQ(p.parentId, first.processId);
        }
    EXPECT_TRUE(found);

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    RunToEnd(u"start \\Temp\\none.exe");
    EXPECT_EQ(ProbeNumber(u"StartError"), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessTableTest, ExitedProgramsLeaveTheTableAtOnce)
{
    for (int i = 0; i < 3; ++i) {
        Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
        ProcessStart started;
        ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"report", &started), ERROR_SUCCESS);
        // Once the host process is gone, no snapshot may list it.
        int hostPid = 0;
        for (const auto& p : m_table->Snapshot())
            if (p.id == started.processId)
                hostPid = p.hostPid;
        if (hostPid == 0)
            continue; // already gone
        ASSERT_TRUE(WaitFor([&] {
            siginfo_t info {};
            return waitid(P_PID, hostPid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
        }));
        EXPECT_FALSE(Listed(started.processId));
    }
}

TEST_F(ProcessTableTest, ARebootRequestGoesToTheOwnerAndEndsEveryProgram)
{
    ProcessStart rom, program;
    ASSERT_EQ(Run(u"\\Windows\\pword.exe", u"", &rom), ERROR_SUCCESS);
    ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"reboot clean", &program), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return m_reboots.load() == 10; }));
    // The caller waits: its request does not return while the device restarts.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Listed(program.processId));
    EXPECT_FALSE(HasProbeValue(u"RebootError"));
    m_table->EndAll();
    EXPECT_EQ(Names(), ProcessTable::SystemProcessNames());
    EXPECT_FALSE(HasProbeValue(u"Done"));

    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    m_rebootAnswer = ERROR_NOT_SUPPORTED;
    RunToEnd(u"reboot");
    EXPECT_EQ(m_reboots.load(), 11);
    EXPECT_EQ(ProbeNumber(u"RebootError"), ERROR_NOT_SUPPORTED);
}

TEST_F(ProcessTableTest, AProgramReadsTheProfilesIdentifier)
{
    RunToEnd(u"deviceid");
    std::vector<std::uint8_t> data;
    ASSERT_EQ(Hive().QueryValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe", u"DeviceId", nullptr, &data), 0);
    EXPECT_EQ(data, m_profile.identifier);
}

TEST_F(ProcessTableTest, SharingHoldsBetweenAProgramAndTheHostUntilTheProgramDies)
{
    Put(u"\\My Documents\\db.sdf", "database");
    ProcessStart holder;
    ASSERT_EQ(Run(u"\\Windows\\probe.exe", u"hold \\My Documents\\db.sdf 60000", &holder), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return ProbeNumber(u"Held") == 1; }));
    std::unique_ptr<store::File> f;
    bool existed = false;
    EXPECT_EQ(Store().CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  OPEN_EXISTING, 0, &f, &existed),
        ERROR_SHARING_VIOLATION);
    EXPECT_EQ(m_table->Terminate(holder.processId), ERROR_SUCCESS);
    EXPECT_EQ(Store().CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  OPEN_EXISTING, 0, &f, &existed),
        ERROR_SUCCESS);

    // And the other way round: the program is shut out while the host holds it.
    Hive().DeleteKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe");
    std::unique_ptr<store::File> exclusive;
    f.reset();
    ASSERT_EQ(Store().CreateFile(
                  u"\\My Documents\\db.sdf", GENERIC_READ, 0, OPEN_EXISTING, 0, &exclusive, &existed),
        ERROR_SUCCESS);
    RunToEnd(u"hold \\My Documents\\db.sdf 0");
    EXPECT_EQ(ProbeNumber(u"HoldError"), ERROR_SHARING_VIOLATION);
}

} // namespace
