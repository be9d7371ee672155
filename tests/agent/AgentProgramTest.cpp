// The agent program on a real emulated device: start, query file, results
// file, status values and log.
#include "ProgramFixture.h"

#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <algorithm>
#include <thread>

using namespace agenttest;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kPeople = {
    "CREATE TABLE People (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(20) NOT NULL, born datetime, "
    "notes ntext, photo image)",
    "INSERT INTO People (name, born, notes, photo) VALUES (N'Ann', '1962/2/18', N'line\r\ntwo', 0x00FF10)",
    "INSERT INTO People (name, born, notes, photo) VALUES (N'Bob', NULL, NULL, NULL)",
};

const std::string kPeopleHeader = "<Success>\r\nCols: 5\r\nid\tname\tborn\tnotes\tphoto\t\r\n"
                                  "int\tnvarchar(20)\tdatetime\tntext\timage\t\r\n"
                                  " primary key autoinc not null\t not null\t\t\t\t\r\n";

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST_F(AgentProgramTest, TestModeLogsItsLineAndEndsWithDone)
{
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe", "-TEST"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(device().Log(), (std::vector<std::string> { "Running...", "-test was successful.", "Done." }));
    EXPECT_EQ(device().RegString("Test"), "9.6");
    EXPECT_EQ(device().RegString("SQLCEversion"), "");
    EXPECT_EQ(device().RegString("RowsThatWouldBeAffected"), "");
    EXPECT_FALSE(device().Exists("\\Quorvane\\SQLresults.txt"));
}

TEST_F(AgentProgramTest, VerboseLoggingAddsTheVersionLines)
{
    device().RegSetDword("VerboseLogging", 1);
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\QuorvaneSP2003.exe", "-test"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(device().Log(),
        (std::vector<std::string> { "Running Quorvane v2.3999.", "Using SQLCE v2.0 libraries.", "Running...",
            "-test was successful.", "Done." }));
}

TEST_F(AgentProgramTest, QueryAnswersWithRowsNullsAndLongValues)
{
    PutDatabase("\\My Documents\\people.sdf", kPeople);
    std::string results = device().Request("\\My Documents\\people.sdf", "", "SELECT * FROM People");
    EXPECT_EQ(results,
        kPeopleHeader
            + "1\tAnn\t1962/02/18  00:00:00\tline\x1D\x1Etwo\t\x06"
              "3 bytes\t\r\n"
              "2\tBob\t(null)\t(null)\t(null)\t\r\n<end>\r\n");
    EXPECT_EQ(device().RegString("SQLCEversion"), "3");
    EXPECT_EQ(device().RegString("TotalRows"), "2");
    EXPECT_EQ(device().RegString("SQL"), "");
    EXPECT_EQ(device().RegString("Test"), "9.6");
    auto log = device().Log();
    EXPECT_TRUE(Contains(log, "Opening \\Quorvane\\SQLresults.txt..")) << ::testing::PrintToString(log);
    EXPECT_TRUE(Contains(log, "    Querying table : People"));
    EXPECT_EQ(log.back(), "Done.");
}

TEST_F(AgentProgramTest, ZeroRowQueryAndStatementWithoutRows)
{
    PutDatabase("\\people.sdf", kPeople);
    EXPECT_EQ(device().Request("\\people.sdf", "", "  select name from People where id > 5"),
        "<Success>\r\nCols: 1\r\nname\t\r\nnvarchar\t\r\n\t\r\n<end>\r\n");
    // Line breaks and tabs travel as U+001D U+001E and U+0008.
    EXPECT_EQ(device().Request("\\people.sdf", "",
                  "SELECT id\x1D\x1E\x08"
                  "FROM People WHERE id = 2"),
        "<Success>\r\nCols: 1\r\nid\t\r\nint\t\r\n\t\r\n2\t\r\n<end>\r\n");
    // The value holds a real line break (reg query shows its first line).
    EXPECT_EQ(device().RegString("SQL"), "SELECT id\r");
    EXPECT_EQ(
        device().Request("\\people.sdf", "", "UPDATE People SET name = N'X'"), "<Success>\r\nCols: 0\r\n2");
    EXPECT_EQ(device().RegString("RowsAffected"), "2");
    EXPECT_EQ(device().RegString("TotalRows"), "");
}

TEST_F(AgentProgramTest, EightBitQueryFileRunsLikeItsUtf16Form)
{
    PutDatabase("\\people.sdf", kPeople);
    ASSERT_TRUE(
        device().PutBytes("\\people.sdf\r\n\r\nSELECT id FROM People\r\n", "\\Quorvane\\SQLquery.txt"));
    device().Remove("\\Quorvane\\SQLresults.txt");
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(Results(), "<Success>\r\nCols: 1\r\nid\t\r\nint\t\r\n\t\r\n1\t\r\n2\t\r\n<end>\r\n");
}

TEST_F(AgentProgramTest, QueryFileWithoutTheThirdLineEndFails)
{
    PutDatabase("\\people.sdf", kPeople);
    ASSERT_TRUE(device().PutBytes("\\people.sdf\r\n\r\nSELECT id FROM People", "\\Quorvane\\SQLquery.txt"));
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(Results(),
        "<Failed>\r\n"
            + ErrorBlock("Query file: \"\\Quorvane\\SQLquery.txt\" doesn't contain an SQL Query."));
    auto log = device().Log();
    EXPECT_TRUE(Contains(log, "Reading in SQL command..  failed."));
    EXPECT_EQ(device().RegString("Test2"), "\\Quorvane\\SQLquery.txt");
    EXPECT_EQ(device().RegString("SQLCEversion"), "");
}

TEST_F(AgentProgramTest, MissingQueryFileAndMissingDatabase)
{
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2003.exe"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(Results(),
        "<Failed>\r\n" + ErrorBlock("Query file: \"\\Quorvane\\SQLquery.txt\" doesn't exist.", "v2.0"));
    EXPECT_EQ(device().Request("\\nowhere.sdf", "", "SELECT * FROM T"),
        "<Failed>\r\n" + ErrorBlock("The database file: \"\\nowhere.sdf\" does not exist."));
}

TEST_F(AgentProgramTest, LockedDatabaseIsReported)
{
    PutDatabase("\\people.sdf", kPeople);
    RapiConnection holder;
    holder.SetSocketPath(device().socket());
    ASSERT_EQ(holder.CeRapiInit(), S_OK);
    HANDLE file
        = holder.CeCreateFile(u"\\people.sdf", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device().Request("\\people.sdf", "", "SELECT * FROM People"),
        "<Failed>\r\n"
            + ErrorBlock("The database file: \"\\people.sdf\" is currently locked by another process."));
    holder.CeCloseHandle(file);
    EXPECT_TRUE(device().Request("\\people.sdf", "", "SELECT * FROM People").starts_with("<Success>\r\n"));
}

TEST_F(AgentProgramTest, Engine20AgentHandsAnEngine30DatabaseToItsSibling)
{
    PutDatabase("\\people.sdf", kPeople, 3);
    std::string results
        = device().Request("\\people.sdf", "", "SELECT * FROM People", "\\Quorvane\\QuorvaneWCE2003.exe");
    EXPECT_TRUE(results.starts_with(kPeopleHeader)) << results;
    EXPECT_EQ(device().RegString("SQLCEversion"), "3");
    auto log = device().Log();
    EXPECT_TRUE(Contains(log, "Opening data source using SQLCE 3.0 libraries..  ok."))
        << ::testing::PrintToString(log);
    EXPECT_EQ(log.back(), "Done.");
    // The engine-2.0 agent answers its own databases.
    PutDatabase("\\old.sdf", { "CREATE TABLE T (a int)" }, 2);
    EXPECT_EQ(device().Request("\\old.sdf", "", "SELECT a FROM T", "\\Quorvane\\QuorvaneWCE2003.exe"),
        "<Success>\r\nCols: 1\r\na\t\r\nint\t\r\n\t\r\n<end>\r\n");
    EXPECT_EQ(device().RegString("SQLCEversion"), "2");
}

TEST_F(AgentProgramTest, WrongPasswordIsAnsweredByTheEngine30Agent)
{
    PutDatabase("\\secret.sdf", kPeople, 3, u"pw");
    std::string results
        = device().Request("\\secret.sdf", "nope", "SELECT * FROM People", "\\Quorvane\\Quorvane2003.exe");
    EXPECT_TRUE(results.starts_with("<Failed>\r\nUnable to open this database.\r\n0x80040e4d\r\n"))
        << results;
    EXPECT_TRUE(results.ends_with("\r\n\r\nQuorvane v2.3999\r\nSQLCE v3.0")) << results;
    EXPECT_TRUE(device().Request("\\secret.sdf", "pw", "SELECT * FROM People").starts_with(kPeopleHeader));
    // A password line without the leading "_" is used as it stands.
    ASSERT_TRUE(device().PutBytes(
        Utf16Bytes("\\secret.sdf\r\npw\r\nSELECT id FROM People\r\n"), "\\Quorvane\\SQLquery.txt"));
    ASSERT_TRUE(device().RunAgent("\\Quorvane\\Quorvane2005.exe"));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    EXPECT_EQ(Results(), "<Success>\r\nCols: 1\r\nid\t\r\nint\t\r\n\t\r\n1\t\r\n2\t\r\n<end>\r\n");
}

TEST_F(AgentProgramTest, CancelDuringOutputEndsAfterTheCurrentRow)
{
    std::vector<std::string> statements = { "CREATE TABLE Big (id int IDENTITY PRIMARY KEY, v nvarchar(40))",
        "INSERT INTO Big (v) VALUES (N'row')" };
    for (int i = 0; i < 18; ++i)
        statements.push_back("INSERT INTO Big (v) SELECT v FROM Big");
    PutDatabase("\\big.sdf", statements);
    ASSERT_TRUE(device().StartRequest("\\big.sdf", "", "SELECT id, v FROM Big"));
    ASSERT_TRUE(device().WaitFor([](const std::string& s) { return s.starts_with("Row "); }, 30s));
    ASSERT_TRUE(device().RegSetDword("Cancel", 1));
    ASSERT_TRUE(device().WaitForDone()) << device().error();
    std::string results = Results();
    EXPECT_TRUE(results.ends_with("\trow\t\r\n<end>\r\n"))
        << results.substr(results.size() > 200 ? results.size() - 200 : 0);
    std::size_t rows = static_cast<std::size_t>(std::count(results.begin(), results.end(), '\n')) - 6;
    EXPECT_GT(rows, 0u);
    EXPECT_LT(rows, 262144u);
    EXPECT_EQ(device().RegString("TotalRows"), "262144");
    EXPECT_TRUE(Contains(device().Log(), "User cancelled."));
}

TEST_F(AgentProgramTest, SchemaRequestsWriteTheSchemaFiles)
{
    PutDatabase("\\people.sdf", kPeople);
    EXPECT_EQ(device().Request("\\people.sdf", "", "schema-ascii"), "<Success>\r\n");
    EXPECT_EQ(FromUtf16Bytes(device().Get("\\Quorvane\\DBSchema.txt").value_or("")),
        "create table People\r\n(  id int autoinc not null,\r\n  name nvarchar(20) not null,\r\n  born "
        "datetime,\r\n"
        "  notes ntext,\r\n  photo image \r\n, constraint PK1 PRIMARY KEY ( id )\r\n)\r\n\r\n");
    EXPECT_EQ(device().Request("\\people.sdf", "", "SCHEMA-BINARY"), "<Success>\r\n");
    EXPECT_EQ(FromUtf16Bytes(device().Get("\\Quorvane\\DBSchema.bin").value_or("")),
        "\x07People\x01id\x02int autoinc not null\x03"
        "1\x04name\x02nvarchar(20) not null\x03"
        "0\x04"
        "born\x02"
        "datetime\x03"
        "0\x04notes\x02ntext\x03"
        "0\x04photo\x02image\x03"
        "0\x04\x05\x06");
    EXPECT_EQ(device().RegString("TotalRows"), "0");
}

TEST_F(AgentProgramTest, DeviceIdModeWritesTheIdentifierThenRunsTheRequest)
{
    PutDatabase("\\people.sdf", kPeople);
    std::string results = device().Request(
        "\\people.sdf", "", "SELECT id FROM People", "\\Quorvane\\Quorvane2005.exe", "-deviceID");
    EXPECT_TRUE(results.starts_with("<Success>\r\nCols: 1\r\n")) << results;
    std::optional<std::string> id = device().RegString("DeviceID");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->size(), 17u);
    EXPECT_EQ(id->find_first_not_of("0123456789ABCDEF"), std::string::npos) << *id;
    auto log = device().Log();
    EXPECT_EQ(log[1], "Just get device ID.");
    EXPECT_EQ(log[2], "Reading in SQL command..  ok.");

    results = device().Request(
        "\\people.sdf", "", "SELECT id FROM People", "\\Quorvane\\Quorvane2005.exe", "-tableStruct");
    EXPECT_TRUE(results.starts_with("<Success>\r\nCols: 1\r\n")) << results;
    EXPECT_EQ(device().Log()[1], "Just get table structure.");
}

TEST_F(AgentProgramTest, ARowThatCannotBeReadGivesTheFailureFile)
{
    PutDatabase("\\b.sdf",
        { "CREATE TABLE B (id int, v bigint)", "INSERT INTO B VALUES (1, 5)",
            "INSERT INTO B VALUES (2, -9223372036854775808)" });
    EXPECT_EQ(device().Request("\\b.sdf", "", "SELECT id, ABS(v) AS a FROM B"),
        "<Failed>\r\n" + ErrorBlock("Unable to read all the records.\r\n0x80040e14\r\nInteger overflow."));
    EXPECT_EQ(device().RegString("TotalRows"), "2");
}
