#include "../agent/AgentTestSupport.h"
#include "../agent/ProgramFixture.h"

#include "exchange/Trace.h"
#include "platform/ce/Ce.h"
#include "platform/store/DeviceFolder.h"
#include "stopper/Stopper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

using namespace agenttest;
using namespace std::chrono_literals;

namespace {

// Processes as a script says: which exist, which refuse to end.
class ScriptedProcesses : public stopper::ProcessControl {
public:
    std::vector<stopper::RunningProcess> running;
    std::vector<DWORD> refusing;
    std::vector<DWORD> unopenable;
    std::vector<DWORD> ended;
    std::vector<DWORD> sleeps;
    bool noSnapshot = false;
    DWORD self = 0;

    std::optional<std::vector<stopper::RunningProcess>> Snapshot() override
    {
        if (noSnapshot)
            return std::nullopt;
        return running;
    }
    DWORD SelfId() override { return self; }
    Ending End(DWORD id) override
    {
        if (std::find(unopenable.begin(), unopenable.end(), id) != unopenable.end())
            return Ending::CannotOpen;
        if (std::find(refusing.begin(), refusing.end(), id) != refusing.end())
            return Ending::Refused;
        ended.push_back(id);
        return Ending::Ended;
    }
    void Sleep(DWORD milliseconds) override { sleeps.push_back(milliseconds); }
};

class StopperLogicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder.path() / "files");
        setenv(device::kEnvDeviceDir, m_folder.path().c_str(), 1);
        setenv("QUORVANE_TRACE", (m_folder.path() / "trace").c_str(), 1);
        exchange::ConfigureTrace();
        ce::Detach();
        ASSERT_TRUE(ce::Attach(nullptr));
    }
    void TearDown() override
    {
        ce::Detach();
        unsetenv(device::kEnvDeviceDir);
        unsetenv("QUORVANE_TRACE");
        exchange::ConfigureTrace();
    }

    static std::string CancelStatus(const char16_t* key)
    {
        HKEY handle = 0;
        if (ce::RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, ce::KEY_READ, &handle) != ERROR_SUCCESS)
            return "<no key>";
        char16_t data[64];
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG r = ce::RegQueryValueEx(
            handle, u"CancelStatus", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        ce::RegCloseKey(handle);
        if (r != ERROR_SUCCESS || type != REG_SZ)
            return "<missing>";
        return S(std::u16string_view(data, size / 2));
    }

    std::string Trace()
    {
        exchange::ConfigureTrace(); // closes the file so that everything is in it
        std::ifstream in(m_folder.path() / "trace");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testsupport::TempDir m_folder { "qvagent" };
};

} // namespace

TEST_F(StopperLogicTest, NothingRunningStillSaysDoneUnderBothKeys)
{
    ScriptedProcesses processes;
    processes.running = { { 2, u"NK.EXE" }, { 6, u"Haltquill.exe" } };
    processes.self = 6;
    stopper::StopAgents(processes);
    EXPECT_TRUE(processes.ended.empty());
    EXPECT_TRUE(processes.sleeps.empty());
    EXPECT_EQ(CancelStatus(u"Software\\Pelmorra"), "Done.");
    EXPECT_EQ(CancelStatus(u"\\Software\\Quorvane"), "Done.");
}

TEST_F(StopperLogicTest, EveryAgentNameEndsWithAPauseAfterEach)
{
    ScriptedProcesses processes;
    processes.running = { { 10, u"pelmorra.EXE" }, { 14, u"Quorvane2003.exe" },
        { 18, u"QUORVANEWCE2005.EXE" }, { 22, u"Quorvane.exe" }, { 26, u"tmail.exe" } };
    stopper::StopAgents(processes);
    EXPECT_EQ(processes.ended, (std::vector<DWORD> { 10, 14, 18 }));
    EXPECT_EQ(processes.sleeps, (std::vector<DWORD> { 2000, 2000, 2000 }));
    EXPECT_NE(Trace().find("Found a copy of pelmorra.EXE running...terminated !\r\n"), std::string::npos);
}

TEST_F(StopperLogicTest, AProcessThatRefusesIsReportedAndTheRestGoOn)
{
    ScriptedProcesses processes;
    processes.running = { { 10, u"Pelmorra.exe" }, { 14, u"Quorvane2005.exe" }, { 18, u"Quorvane2003.exe" } };
    processes.refusing = { 10 };
    processes.unopenable = { 14 };
    stopper::StopAgents(processes);
    EXPECT_EQ(processes.ended, (std::vector<DWORD> { 18 }));
    EXPECT_EQ(processes.sleeps, (std::vector<DWORD> { 2000 }));
    std::string trace = Trace();
    EXPECT_NE(
        trace.find("Found a copy of Pelmorra.exe running...couldn't be stopped.\r\n"), std::string::npos)
        << trace;
    EXPECT_EQ(CancelStatus(u"\\Software\\Quorvane"), "Done.");
    EXPECT_EQ(CancelStatus(u"Software\\Pelmorra"), "Done.");
}

TEST_F(StopperLogicTest, NoSnapshotGoesStraightToDone)
{
    ScriptedProcesses processes;
    processes.noSnapshot = true;
    stopper::StopAgents(processes);
    EXPECT_EQ(CancelStatus(u"Software\\Pelmorra"), "Done.");
}

// Haltquill itself on a device, with host programs named as agents.
class HaltquillTest : public AgentProgramTest {
protected:
    void StartAgentLike(const std::string& name)
    {
        if (!device().Exists("\\Windows\\" + name)) {
            ASSERT_TRUE(device().PutFile("/bin/sleep", "\\Windows\\" + name)) << device().error();
        }
        ASSERT_TRUE(device().Run("\\Windows\\" + name, "120")) << device().error();
    }

    std::vector<std::string> Processes()
    {
        EXPECT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-processes"));
        EXPECT_TRUE(device().WaitForDone());
        return device().ProcessList();
    }

    // Runs the stopper and waits for its "Done."; the time it took.
    std::chrono::milliseconds Stop()
    {
        device().RegDelete("CancelStatus");
        device().RegDelete("CancelStatus", "HKLM\\Software\\Pelmorra");
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(device().Run("\\Quorvane\\Haltquill.exe"));
        std::string last;
        EXPECT_TRUE(
            device().WaitFor([](const std::string& s) { return s == "Done."; }, 30s, &last, "CancelStatus"))
            << last;
        auto took
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(device().RegString("CancelStatus", "HKLM\\Software\\Pelmorra"), "Done.");
        return took;
    }
};

TEST_F(HaltquillTest, WithNoAgentRunning)
{
    EXPECT_LT(Stop(), 2000ms);
}

TEST_F(HaltquillTest, OneAgentIsEnded)
{
    StartAgentLike("Pelmorra.exe");
    EXPECT_GE(Stop(), 2000ms);
    auto names = Processes();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Pelmorra.exe"), 0) << ::testing::PrintToString(names);
}

TEST_F(HaltquillTest, TwoAgentsOfTodaysAndTheOldNameAreEnded)
{
    StartAgentLike("Pelmorra.exe");
    StartAgentLike("QuorvaneSP2005.exe");
    EXPECT_GE(Stop(), 4000ms);
    auto names = Processes();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Pelmorra.exe"), 0) << ::testing::PrintToString(names);
    EXPECT_EQ(std::count(names.begin(), names.end(), "QuorvaneSP2005.exe"), 0);
}

TEST_F(HaltquillTest, TheAgentsKillModeStopsTheOthersToo)
{
    StartAgentLike("Quorvane2003.exe");
    device().RegDelete("CancelStatus");
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-kill"));
    ASSERT_TRUE(device().WaitForDone(30s)) << device().error();
    EXPECT_EQ(device().RegString("CancelStatus"), "Done.");
    EXPECT_EQ(
        device().Log(), (std::vector<std::string> { "Running...", "-kill'ing other instances.", "Done." }));
    auto names = Processes();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Quorvane2003.exe"), 0)
        << ::testing::PrintToString(names);
}
