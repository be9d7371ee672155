#include "AgentTestSupport.h"

#include "agent/CommandLine.h"
#include "agent/RequestText.h"

#include <gtest/gtest.h>

using namespace agent;
using agenttest::S;
using agenttest::U;

namespace {

std::string CountQuery(std::string_view statement)
{
    auto query = GuardedCountQuery(U(statement));
    return query ? S(*query) : "<unchecked>";
}

} // namespace

TEST(CommandLine, SwitchesMatchTheWholeLineWithoutRegardToCase)
{
    EXPECT_EQ(ParseCommandLine(u"").mode, RunMode::Ordinary);
    EXPECT_EQ(ParseCommandLine(u"-test").mode, RunMode::Test);
    EXPECT_EQ(ParseCommandLine(u"-TEST").mode, RunMode::Test);
    EXPECT_EQ(ParseCommandLine(u"-Kill").mode, RunMode::Kill);
    EXPECT_EQ(ParseCommandLine(u"-tablestruct").mode, RunMode::TableStruct);
    EXPECT_EQ(ParseCommandLine(u"-DEVICEID").mode, RunMode::DeviceId);
    EXPECT_EQ(ParseCommandLine(u"-processes").mode, RunMode::Processes);
    EXPECT_EQ(ParseCommandLine(u"-SoftReset").mode, RunMode::SoftReset);
    EXPECT_EQ(ParseCommandLine(u"-hardreset").mode, RunMode::HardReset);
    // Anything more or less than a whole switch is an ordinary run.
    EXPECT_EQ(ParseCommandLine(u"-test ").mode, RunMode::Ordinary);
    EXPECT_EQ(ParseCommandLine(u" -test").mode, RunMode::Ordinary);
    EXPECT_EQ(ParseCommandLine(u"-killer").mode, RunMode::Ordinary);
    EXPECT_EQ(ParseCommandLine(u"hello").mode, RunMode::Ordinary);
}

TEST(CommandLine, KillProcessIsMatchedWithCaseAndTakesTheRestAsTheName)
{
    CommandLine line = ParseCommandLine(u"-killprocess tmail.exe");
    EXPECT_EQ(line.mode, RunMode::KillProcess);
    EXPECT_EQ(S(line.processName), "tmail.exe");
    // The separator may be any character; the name keeps its spaces.
    line = ParseCommandLine(u"-killprocess:My App.exe");
    EXPECT_EQ(line.mode, RunMode::KillProcess);
    EXPECT_EQ(S(line.processName), "My App.exe");
    EXPECT_EQ(ParseCommandLine(u"-KILLPROCESS tmail.exe").mode, RunMode::Ordinary);
    EXPECT_EQ(ParseCommandLine(u"-Killprocess tmail.exe").mode, RunMode::Ordinary);
    // A line that ends at the switch names nothing.
    line = ParseCommandLine(u"-killprocess");
    EXPECT_EQ(line.mode, RunMode::KillProcess);
    EXPECT_EQ(line.processName, u"");
    EXPECT_EQ(ParseCommandLine(u"-killprocess ").processName, u"");
}

TEST(RequestText, SelectStatementsAreRecognisedAfterLeadingSpacesInAnyCase)
{
    EXPECT_TRUE(IsSelectStatement(u"SELECT * FROM T"));
    EXPECT_TRUE(IsSelectStatement(u"   select * from T"));
    EXPECT_TRUE(IsSelectStatement(u"sElEcT a FROM T"));
    EXPECT_FALSE(IsSelectStatement(u"SELECT*FROM T"));
    EXPECT_FALSE(IsSelectStatement(u"\tSELECT * FROM T")); // only spaces are skipped
    EXPECT_FALSE(IsSelectStatement(u"SELECT"));
    EXPECT_FALSE(IsSelectStatement(u"   "));
    EXPECT_FALSE(IsSelectStatement(u"UPDATE T SET a=1"));
}

TEST(RequestText, TableViewTakesOneNameAndDropsItsBrackets)
{
    auto view = ParseTableView(u"SELECT * FROM Orders");
    ASSERT_TRUE(view);
    EXPECT_EQ(S(view->tableName), "Orders");
    EXPECT_EQ(S(view->source), "Orders");

    view = ParseTableView(u" \t\r\nSELECT * FROM [Order]\r\n ");
    ASSERT_TRUE(view);
    EXPECT_EQ(S(view->tableName), "Order");
    EXPECT_EQ(S(view->source), "[Order]");

    EXPECT_FALSE(ParseTableView(u"SELECT * FROM [My Table]"));
    EXPECT_FALSE(ParseTableView(u"SELECT * FROM T WHERE a=1"));
    EXPECT_FALSE(ParseTableView(u"select * from T"));
    EXPECT_FALSE(ParseTableView(u"SELECT a FROM T"));
    // A lone bracket is part of the name.
    view = ParseTableView(u"SELECT * FROM [T");
    ASSERT_TRUE(view);
    EXPECT_EQ(S(view->tableName), "[T");
}

TEST(RequestText, RenameNamesLieBetweenTheFirstFourApostrophes)
{
    std::u16string from, to;
    EXPECT_TRUE(IsRenameRequest(u"RENAME TABLE 'Old' TO 'New'"));
    ASSERT_TRUE(RenameNames(u"RENAME TABLE 'Old' TO 'New'", from, to));
    EXPECT_EQ(S(from), "Old");
    EXPECT_EQ(S(to), "New");
    ASSERT_TRUE(RenameNames(u"xx 'a b' yy 'c' zz 'ignored'", from, to));
    EXPECT_EQ(S(from), "a b");
    EXPECT_EQ(S(to), "c");
    ASSERT_TRUE(RenameNames(u"''''", from, to));
    EXPECT_EQ(from, u"");
    EXPECT_EQ(to, u"");
    EXPECT_FALSE(RenameNames(u"RENAME TABLE 'Old' TO 'New", from, to));
    EXPECT_FALSE(IsRenameRequest(u"rename table 'a' to 'b'"));
}

TEST(RequestText, GuardSuffixIsExactAndLeavesTheTrailingSpace)
{
    EXPECT_TRUE(IsGuardedChange(u"DELETE FROM T WHERE id=5 LIMIT 1"));
    EXPECT_FALSE(IsGuardedChange(u"DELETE FROM T WHERE id=5 limit 1"));
    EXPECT_FALSE(IsGuardedChange(u"DELETE FROM T WHERE id=5 LIMIT 1 "));
    EXPECT_EQ(S(WithoutGuard(u"DELETE FROM T WHERE id=5 LIMIT 1")), "DELETE FROM T WHERE id=5 ");
}

TEST(GuardedCountQuery, UpdateKeepsItsWhereClause)
{
    EXPECT_EQ(CountQuery("UPDATE T SET a=1 WHERE id=5 "), "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("UPDATE [My Table] SET \"my col\"=1, b=N'x' WHERE id=5 AND c='d' "),
        "SELECT COUNT(*) AS value FROM [My Table] WHERE id=5 AND c='d' ");
}

TEST(GuardedCountQuery, UpdateWithoutWhereCountsTheWholeTable)
{
    EXPECT_EQ(CountQuery("UPDATE T SET a=1 "), "SELECT COUNT(*) AS value FROM T");
}

TEST(GuardedCountQuery, DeleteKeepsItsWhereClause)
{
    EXPECT_EQ(CountQuery("DELETE FROM T WHERE id=5 "), "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("DELETE FROM T "), "SELECT COUNT(*) AS value FROM T ");
}

TEST(GuardedCountQuery, OnlyTheLeadingKeywordIsReplaced)
{
    EXPECT_EQ(CountQuery("UPDATE T SET note='UPDATE pending' WHERE id=5 "),
        "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("DELETE FROM T WHERE note='DELETE FROM x' "),
        "SELECT COUNT(*) AS value FROM T WHERE note='DELETE FROM x' ");
}

TEST(GuardedCountQuery, KeywordsInsideLiteralsAndNamesDoNotCount)
{
    EXPECT_EQ(CountQuery("UPDATE T SET a=' WHERE ', b='x SET y' WHERE id=5 "),
        "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("UPDATE T SET a='it''s WHERE' WHERE id=5 "),
        "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("UPDATE [a SET b] SET c=1 WHERE d=2 "),
        "SELECT COUNT(*) AS value FROM [a SET b] WHERE d=2 ");
    EXPECT_EQ(CountQuery("UPDATE T SET a=(SELECT MAX(x) FROM U WHERE y=1) WHERE id=5 "),
        "SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    EXPECT_EQ(CountQuery("UPDATE T SET a=1 -- WHERE everything\r\n"), "SELECT COUNT(*) AS value FROM T");
    EXPECT_EQ(CountQuery("UPDATE T SET reset=1 WHERE offset=2 "),
        "SELECT COUNT(*) AS value FROM T WHERE offset=2 ");
}

TEST(GuardedCountQuery, KeywordsAreMatchedWithoutRegardToCaseAndAcrossLineBreaks)
{
    EXPECT_EQ(
        CountQuery("update T\r\nset a=1\r\nwhere id=5 "), "SELECT COUNT(*) AS value FROM T\r\nwhere id=5 ");
    EXPECT_EQ(CountQuery("  delete from T where id=5 "), "  SELECT COUNT(*) AS value FROM T where id=5 ");
}

TEST(GuardedCountQuery, OtherStatementsAreNotChecked)
{
    EXPECT_EQ(CountQuery("INSERT INTO T VALUES (1) "), "<unchecked>");
    EXPECT_EQ(CountQuery("UPDATED T SET a=1 "), "<unchecked>");
    EXPECT_EQ(CountQuery(""), "<unchecked>");
}
