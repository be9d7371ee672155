#include "RunnerFixture.h"

#include <algorithm>

using namespace agenttest;

namespace {

const std::vector<std::string> kItems = {
    "CREATE TABLE T (id int PRIMARY KEY, a int, note nvarchar(40))",
    "INSERT INTO T VALUES (1, 0, N'x')",
    "INSERT INTO T VALUES (5, 0, N'x')",
    "INSERT INTO T VALUES (6, 0, N'y')",
    "INSERT INTO T VALUES (7, 0, N'y')",
    "INSERT INTO T VALUES (8, 0, N'y')",
};

} // namespace

TEST_F(RunnerTest, StatementWithoutRowsAnswersTheCountWithoutLineEnd)
{
    Database(kItems);
    std::u16string out = Run("UPDATE T SET a = 2");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out), "<Success>\r\nCols: 0\r\n5");
    EXPECT_EQ(status.Text("RowsAffected"), "5");
    EXPECT_EQ(status.Text("TotalRows"), "");
}

TEST_F(RunnerTest, SelectWithoutSpaceIsAStatementWithoutRows)
{
    Database(kItems);
    std::u16string out = Run("SELECT*FROM T");
    EXPECT_TRUE(S(out).starts_with("<Success>\r\nCols: 0\r\n")) << S(out);
    auto lines = status.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Running SQL: SELECT*FROM T"), lines.end());
}

TEST_F(RunnerTest, FailingStatementSetsInvalidSqlWithTheEngineError)
{
    Database(kItems);
    std::u16string out = Run("INSERT INTO T VALUES (1, 0, N'dup')");
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, u"");
    EXPECT_TRUE(ErrorText().starts_with("Invalid SQL command.\r\n0x")) << ErrorText();
    auto lines = status.LogLines();
    EXPECT_EQ(lines.back(), "Aborting client.");
}

TEST_F(RunnerTest, GuardedUpdateOfOneRowRuns)
{
    Database(kItems);
    std::u16string out = Run("UPDATE T SET a=1 WHERE id=5 LIMIT 1");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out), "<Success>\r\nCols: 0\r\n1");
    EXPECT_EQ(status.Text("RowsAffected"), "1");
    EXPECT_EQ(status.Text("RowsThatWouldBeAffected"), "<missing>");
    EXPECT_NE(S(Query("SELECT a FROM T WHERE id=5")).find("\r\n1\t\r\n"), std::string::npos);
}

TEST_F(RunnerTest, GuardedUpdateOverThreeRowsIsRefused)
{
    Database(kItems);
    std::u16string out = Run("UPDATE T SET a=1 WHERE note='y' LIMIT 1");
    EXPECT_FALSE(ok);
    EXPECT_EQ(S(out), "<Failed>\r\n");
    EXPECT_EQ(status.Number("RowsThatWouldBeAffected"), 3u);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(
        S(Query("SELECT COUNT(*) AS c FROM T WHERE a=1")).find("\r\n0\t\r\n") != std::string::npos, true);
}

TEST_F(RunnerTest, GuardedUpdateWithoutWhereCountsTheWholeTable)
{
    Database(kItems);
    Run("UPDATE T SET a=1 LIMIT 1");
    EXPECT_FALSE(ok);
    EXPECT_EQ(status.Number("RowsThatWouldBeAffected"), 5u);
}

TEST_F(RunnerTest, GuardedUpdateWithoutWhereRunsOnATableOfOneRow)
{
    Database({ "CREATE TABLE One (a int)", "INSERT INTO One VALUES (0)" });
    EXPECT_EQ(S(Run("UPDATE One SET a=1 LIMIT 1")), "<Success>\r\nCols: 0\r\n1");
    EXPECT_TRUE(ok) << ErrorText();
}

TEST_F(RunnerTest, GuardedUpdateWithKeywordsInLiteralsCountsTheRightRows)
{
    Database(kItems);
    std::u16string out = Run("UPDATE T SET note='UPDATE pending WHERE x' WHERE id=6 LIMIT 1");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out), "<Success>\r\nCols: 0\r\n1");
    EXPECT_NE(S(Query("SELECT note FROM T WHERE id=6")).find("UPDATE pending WHERE x"), std::string::npos);
}

TEST_F(RunnerTest, GuardedDeleteOfNoRowRunsAndOfManyIsRefused)
{
    Database(kItems);
    EXPECT_EQ(S(Run("DELETE FROM T WHERE id=99 LIMIT 1")), "<Success>\r\nCols: 0\r\n0");
    EXPECT_TRUE(ok);
    EXPECT_EQ(S(Run("DELETE FROM T WHERE id>1 LIMIT 1")), "<Failed>\r\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(status.Number("RowsThatWouldBeAffected"), 4u);
}

TEST_F(RunnerTest, GuardedChangeWhoseCountFailsIsRefusedWithTheEngineError)
{
    Database(kItems);
    std::u16string out = Run("UPDATE T SET a=1 WHERE nosuch=5 LIMIT 1");
    EXPECT_FALSE(ok);
    EXPECT_EQ(S(out), "<Failed>\r\n");
    EXPECT_TRUE(ErrorText().starts_with("Invalid SQL command.\r\n0x")) << ErrorText();
    EXPECT_EQ(status.Text("RowsThatWouldBeAffected"), "<missing>");
    EXPECT_NE(S(Query("SELECT COUNT(*) AS c FROM T WHERE a=1")).find("\r\n0\t\r\n"), std::string::npos);
}

TEST_F(RunnerTest, GuardedInsertIsNotCheckedAndRunsWithoutTheSuffix)
{
    Database(kItems);
    EXPECT_EQ(S(Run("INSERT INTO T VALUES (20, 0, N'z') LIMIT 1")), "<Success>\r\nCols: 0\r\n1");
}

TEST_F(RunnerTest, RenameAnswersSuccessAndRowsAffectedOne)
{
    Database(kItems);
    std::u16string out = Run("RENAME TABLE 'T' TO 'Items'");
    EXPECT_TRUE(ok);
    EXPECT_EQ(S(out), "<Success>\r\nCols: 0\r\n");
    EXPECT_EQ(status.Text("RowsAffected"), "1");
    EXPECT_TRUE(S(Query("SELECT COUNT(*) AS c FROM Items")).find("\r\n5\t\r\n") != std::string::npos);
}

TEST_F(RunnerTest, FailedRenameAnswersFailedWithoutErrorText)
{
    Database(kItems);
    EXPECT_EQ(S(Run("RENAME TABLE 'Nope' TO 'Items'")), "<Failed>\r\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(status.Text("RowsAffected"), "");
    EXPECT_EQ(S(Run("RENAME TABLE 'T' TO Items")), "<Failed>\r\n");
}
