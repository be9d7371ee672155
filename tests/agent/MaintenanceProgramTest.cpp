// The agent's maintenance requests and device utility modes on a real
// emulated device.
#include "ProgramFixture.h"

#include "platform/rapi/Rapi.h"
#include "tests/support/BuiltPrograms.h"

#include <algorithm>
#include <thread>

using namespace agenttest;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kItems = {
    "CREATE TABLE T (id int PRIMARY KEY, a int, note nvarchar(40))",
    "INSERT INTO T VALUES (1, 0, N'x')",
    "INSERT INTO T VALUES (5, 0, N'x')",
    "INSERT INTO T VALUES (6, 0, N'y')",
    "INSERT INTO T VALUES (7, 0, N'y')",
    "INSERT INTO T VALUES (8, 0, N'y')",
};

int Count(const std::vector<std::string>& names, const std::string& name)
{
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

} // namespace

TEST_F(AgentProgramTest, CompactionAnswersWithTheBinarySchema)
{
    for (const char* agentExe : { "\\Quorvane\\Quorvane2003.exe", "\\Quorvane\\Quorvane2005.exe" }) {
        SCOPED_TRACE(agentExe);
        PutDatabase(
            "\\items.sdf", kItems, std::string(agentExe).find("2003") != std::string::npos ? 2 : 3, u"pw");
        EXPECT_EQ(device().Request("\\items.sdf", "pw", "CompactDB", agentExe), "<Success>\r\n");
        EXPECT_EQ(device().RegDword("CompactSuccessful"), 1u);
        EXPECT_FALSE(device().Exists("\\items.sdfx"));
        EXPECT_EQ(FromUtf16Bytes(device().Get("\\Quorvane\\DBSchema.bin").value_or("")),
            "\x07T\x01id\x02int not null\x03"
            "1\x04"
            "a\x02int\x03"
            "0\x04note\x02nvarchar(40)\x03"
            "0\x04\x05\x06");
        EXPECT_EQ(device().Request("\\items.sdf", "pw", "SELECT COUNT(*) AS n FROM T"),
            "<Success>\r\nCols: 1\r\nn\t\r\nint\t\r\n\t\r\n5\t\r\n<end>\r\n");
        device().Remove("\\items.sdf");
    }
}

TEST_F(AgentProgramTest, CompactionThatCannotReplaceTheFileKeepsTheOldOne)
{
    PutDatabase("\\items.sdf", kItems);
    std::string before = device().Get("\\items.sdf").value_or("");
    // A reader that does not share deleting keeps the file in place.
    RapiConnection holder;
    holder.SetSocketPath(device().socket());
    ASSERT_EQ(holder.CeRapiInit(), S_OK);
    HANDLE file
        = holder.CeCreateFile(u"\\items.sdf", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string results = device().Request("\\items.sdf", "", "CompactDB");
    holder.CeCloseHandle(file);
    // The request then runs as a statement, which the engine rejects.
    EXPECT_TRUE(results.starts_with("<Failed>\r\nInvalid SQL command.\r\n0x")) << results;
    EXPECT_EQ(device().RegDword("CompactSuccessful"), 1u);
    EXPECT_TRUE(device().Exists("\\items.sdfx"));
    EXPECT_EQ(device().Get("\\items.sdf").value_or(""), before);
    auto log = device().Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "Compacting database.  failed."), log.end())
        << ::testing::PrintToString(log);
}

TEST_F(AgentProgramTest, CreateWritesNoResultsAndKeepsThePassword)
{
    device().Cli({ "mkdir", "\\Data" });
    EXPECT_EQ(device().Request("\\Data\\plain.sdf", "", "*CREATE"), "<no results>");
    EXPECT_FALSE(device().Exists("\\Quorvane\\SQLresults.txt"));
    EXPECT_EQ(device().Request("\\Data\\plain.sdf", "", "SCHEMA-BINARY"), "<Success>\r\n");

    EXPECT_EQ(device().Request("\\Data\\locked.sdf", "secret", "*CREATE", "\\Quorvane\\Quorvane2003.exe"),
        "<no results>");
    std::string refused = device().Request("\\Data\\locked.sdf", "", "SELECT * FROM X");
    EXPECT_TRUE(refused.starts_with("<Failed>\r\nUnable to open this database.\r\n0x80040e4d\r\n"))
        << refused;
    EXPECT_EQ(device().Request(
                  "\\Data\\locked.sdf", "secret", "CREATE TABLE X (a int)", "\\Quorvane\\Quorvane2003.exe"),
        "<Success>\r\nCols: 0\r\n0");
    EXPECT_EQ(device().RegString("SQLCEversion"), "2");
    // Creating over an existing database fails.
    std::string again = device().Request("\\Data\\plain.sdf", "", "*CREATE");
    EXPECT_TRUE(again.starts_with("<Failed>\r\n")) << again;
}

TEST_F(AgentProgramTest, RenameAndGuardedChanges)
{
    PutDatabase("\\items.sdf", kItems);
    EXPECT_EQ(device().Request("\\items.sdf", "", "UPDATE T SET a=1 WHERE id=5 LIMIT 1"),
        "<Success>\r\nCols: 0\r\n1");
    EXPECT_EQ(device().RegString("RowsAffected"), "1");
    EXPECT_EQ(device().RegString("RowsThatWouldBeAffected"), "");

    EXPECT_EQ(device().Request("\\items.sdf", "", "UPDATE T SET a=1 WHERE note='y' LIMIT 1"), "<Failed>\r\n");
    EXPECT_EQ(device().RegType("RowsThatWouldBeAffected"), "REG_DWORD");
    EXPECT_EQ(device().RegDword("RowsThatWouldBeAffected"), 3u);
    EXPECT_EQ(device().Request("\\items.sdf", "", "DELETE FROM T LIMIT 1"), "<Failed>\r\n");
    EXPECT_EQ(device().RegDword("RowsThatWouldBeAffected"), 5u);
    EXPECT_EQ(device().Request("\\items.sdf", "", "SELECT COUNT(*) AS n FROM T WHERE a=1"),
        "<Success>\r\nCols: 1\r\nn\t\r\nint\t\r\n\t\r\n1\t\r\n<end>\r\n");

    EXPECT_EQ(device().Request("\\items.sdf", "", "RENAME TABLE 'T' TO 'Items'"), "<Success>\r\nCols: 0\r\n");
    EXPECT_EQ(device().RegString("RowsAffected"), "1");
    EXPECT_EQ(device().Request("\\items.sdf", "", "RENAME TABLE 'T' TO 'Items'"), "<Failed>\r\n");
}

TEST_F(AgentProgramTest, ProcessListNamesEveryRunningProgram)
{
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-processes"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    auto names = device().ProcessList();
    EXPECT_EQ(Count(names, "NK.EXE"), 1) << ::testing::PrintToString(names);
    EXPECT_EQ(Count(names, "Quorvane2005.exe"), 1);
    auto log = device().Log();
    EXPECT_EQ(log[1], "Reading processes.");
    EXPECT_EQ(log[2], "Creating list of processes.");
    EXPECT_EQ(log[log.size() - 2], "Closing snapshot.  ok.");
}

class KillProcessTest : public AgentProgramTest {
protected:
    // A program of `name` that keeps running: the host's sleep.
    void StartSleeper(const std::string& name)
    {
        if (!device().Exists("\\Windows\\" + name)) {
            ASSERT_TRUE(device().PutFile("/bin/sleep", "\\Windows\\" + name)) << device().error();
        }
        ASSERT_TRUE(device().Run("\\Windows\\" + name, "60")) << device().error();
    }
};

TEST_F(KillProcessTest, KillingANameThatRunsTwiceKillsBoth)
{
    StartSleeper("tmail.exe");
    StartSleeper("tmail.exe");
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-killprocess tmail.exe"));
    ASSERT_TRUE(device().WaitForDone(20s)) << device().error();
    EXPECT_EQ(device().RegString("ProcessKiller"), "Success.");
    auto names = device().ProcessList();
    EXPECT_EQ(Count(names, "tmail.exe"), 0) << ::testing::PrintToString(names);
    EXPECT_EQ(Count(names, "NK.EXE"), 1);
    auto log = device().Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Killing \"tmail.exe\"...  ok."), 2)
        << ::testing::PrintToString(log);
    // The list was written a second time, after the pause.
    EXPECT_EQ(std::count(log.begin(), log.end(), "Creating list of processes."), 2);
}

TEST_F(KillProcessTest, ANameThatDoesNotRunOrDiffersInCaseIsNotFound)
{
    StartSleeper("tmail.exe");
    for (const char* name : { "pword.exe", "TMAIL.EXE" }) {
        SCOPED_TRACE(name);
        device().RegDelete("ProcessKiller");
        ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", std::string("-killprocess ") + name));
        ASSERT_TRUE(device().WaitForDone(20s)) << device().error();
        EXPECT_EQ(device().RegString("ProcessKiller"), std::nullopt);
        auto names = device().ProcessList();
        EXPECT_EQ(Count(names, "tmail.exe"), 1) << ::testing::PrintToString(names);
        auto log = device().Log();
        EXPECT_EQ(std::count(log.begin(), log.end(), "Creating list of processes."), 1);
        EXPECT_EQ(log[log.size() - 2], "Closing snapshot.  failed.");
    }
}

TEST_F(KillProcessTest, SoftResetEndsEveryProgramAndKeepsTheFiles)
{
    StartSleeper("tmail.exe");
    ASSERT_TRUE(device().PutBytes("kept", "\\My Documents\\marker.txt"));
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-softreset"));
    // The device goes away and comes back; the agent's last line is its request.
    ASSERT_TRUE(device().WaitFor(
        [](const std::string& s) { return s == "Soft reseting device.."; }, 20s, nullptr, "Status"));
    std::this_thread::sleep_for(3s);
    std::vector<std::string> log;
    for (int i = 0; i < 100 && log.empty(); ++i) {
        log = device().Log();
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(log, (std::vector<std::string> { "Running...", "Soft reseting device.." }));
    EXPECT_EQ(device().Get("\\My Documents\\marker.txt"), "kept");
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-processes"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    auto names = device().ProcessList();
    EXPECT_EQ(Count(names, "tmail.exe"), 0) << ::testing::PrintToString(names);
}

TEST_F(AgentProgramTest, HardResetReturnsTheDeviceToItsFactoryImage)
{
    ASSERT_TRUE(device().PutBytes("gone", "\\My Documents\\marker.txt"));
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-hardreset"));
    bool wiped = false;
    for (int i = 0; i < 300 && !wiped; ++i) {
        std::this_thread::sleep_for(100ms);
        wiped = device().Cli({ "info" }) == 0 && !device().Exists("\\My Documents\\marker.txt")
            && !device().Exists("\\Quorvane\\Quorvane2005.exe");
    }
    EXPECT_TRUE(wiped);
}

TEST_F(AgentProgramTest, Engine20AgentThatHandsOverStillEndsWithDone)
{
    PutDatabase("\\new.sdf", { "CREATE TABLE T (a int)" }, 3);
    // A sibling that answers nothing shows what the engine-2.0 agent itself leaves.
    ASSERT_TRUE(device().PutFile("/bin/true", "\\Quorvane\\Quorvane2005.exe")) << device().error();
    ASSERT_TRUE(device().StartRequest("\\new.sdf", "", "SELECT a FROM T", "\\Quorvane\\Quorvane2003.exe"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(device().Get("\\Quorvane\\SQLresults.txt"), std::optional<std::string>(""));
    auto log = device().Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
        (std::vector<std::string> { "Need to run the SQLCE 3.0 version.", "Done." }));
}

TEST_F(AgentProgramTest, HandOverWithoutASiblingReportsTheFailure)
{
    PutDatabase("\\new.sdf", { "CREATE TABLE T (a int)" }, 3);
    ASSERT_TRUE(device().Remove("\\Quorvane\\Quorvane2005.exe"));
    EXPECT_EQ(device().Request("\\new.sdf", "", "SELECT a FROM T", "\\Quorvane\\Quorvane2003.exe"),
        "<Failed>\r\n" + ErrorBlock("Unable to open this database.", "v2.0"));
    auto log = device().Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
        (std::vector<std::string> {
            "Need to run the SQLCE 3.0 version.", "Writing SQLerror file (1)..", "Done." }));
    // An engine-2.0 agent whose name holds no "2003" cannot name its sibling
    // and would only start itself again.
    ASSERT_TRUE(device().PutFile(testsupport::BinDir() / "Quorvane2003.dll", "\\Quorvane\\Agent.exe"));
    EXPECT_EQ(device().Request("\\new.sdf", "", "SELECT a FROM T", "\\Quorvane\\Agent.exe"),
        "<Failed>\r\n" + ErrorBlock("Unable to open this database.", "v2.0"));
}
