// Statements of the SQL Server CE dialect as people type them, through the
// agent's request runner: what its results file and error text say.
#include "RunnerFixture.h"

using namespace agenttest;

namespace {

const std::vector<std::string> kPerson = {
    "CREATE TABLE Person (id int PRIMARY KEY, FirstName nvarchar(20), LastName nvarchar(20), Born datetime)",
    "INSERT INTO Person VALUES (1, N'Ann', N'Lee', '1962/2/18')",
    "INSERT INTO Person VALUES (2, N'Bob', N'Ray', '2005/1/31 10:00')",
    "INSERT INTO Person VALUES (3, N'Cy', NULL, NULL)",
};

} // namespace

TEST_F(RunnerTest, JoinedTextsAreTextsNotZero)
{
    Database(kPerson);
    std::u16string out = Run("SELECT FirstName + N' ' + LastName FROM Person ORDER BY id");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        "<Success>\r\nCols: 1\r\nFirstName + N' ' + LastName\t\r\nint\t\r\n\t\r\nAnn Lee\t\r\nBob Ray\t\r\n"
        "(null)\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, TopDatesAndConversionsReadBackInTheAgentsForms)
{
    Database(kPerson);
    std::u16string out
        = Run("SELECT TOP (2) id, DATEADD(month, 1, Born) AS Later, CONVERT(nvarchar(10), Born, "
              "103) AS Text, DATEDIFF(year, Born, '2006-01-01') AS Years FROM Person ORDER BY id");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        "<Success>\r\nCols: 4\r\nid\tLater\tText\tYears\t\r\nint\tdatetime\tint\tint\t\r\n\t\t\t\t\r\n"
        "1\t1962/03/18  00:00:00\t18/02/1962\t44\t\r\n2\t2005/02/28  10:00:00\t31/01/2005\t1\t\r\n<end>\r\n");
    EXPECT_EQ(status.Text("TotalRows"), "2");
}

TEST_F(RunnerTest, AnUnknownFunctionIsNamedNotTakenForAColumn)
{
    Database(kPerson);
    Run("SELECT FOO(day, Born) FROM Person");
    EXPECT_FALSE(ok);
    EXPECT_EQ(ErrorText(),
        "Invalid SQL command.\r\n0x80040e14\r\nThe function is not recognized by the engine. [FOO ].");
}
