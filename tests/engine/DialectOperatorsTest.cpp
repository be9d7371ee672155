// + and - as the engine's dialect means them: by the types of the operands,
// known from the statement or, where it does not tell, from the values; and
// / and %, which refuse a zero divisor.
#include "EngineFixture.h"

namespace enginetest {
namespace {

using namespace engine;

class DialectOperatorsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("operators.sdf");
        Exec("CREATE TABLE K (i int, f float, t nvarchar(20), n nvarchar(20), d datetime, b bit, x "
             "varbinary(4), "
             "g uniqueidentifier, z int)");
        Exec("INSERT INTO K VALUES (2, 0.5, 'ab', '5', '2005-01-31 10:00', 'true', 0x0102, "
             "'{12345678-9ABC-DEF0-1234-56789ABCDEF0}', NULL)");
    }
};

TEST_F(DialectOperatorsTest, PlusAndMinusFollowTheOperandTypes)
{
    const std::pair<const char*, const char*> cases[] = {
        { "i + i", "4" },
        { "i + f", "2.5" },
        { "i + n", "7" },
        { "n + i", "7" },
        { "1 + '2'", "3" },
        { "t + n", "ab5" },
        { "'1' + '2'", "12" },
        { "t + N' ' + t", "ab ab" },
        { "d + i", "2005/02/02  10:00:00" },
        { "i + d", "2005/02/02  10:00:00" },
        { "d + f", "2005/01/31  22:00:00" },
        { "d - i", "2005/01/29  10:00:00" },
        { "d - d + 1", "1900/01/02  00:00:00" },
        { "d + '1900-01-02'", "2005/02/01  10:00:00" },
        { "b + i", "3" },
        { "b + b", "2" },
        { "x + x", "01020102" },
        { "i - f * 2", "1" },
        { "-i + 5 - 1", "2" },
        { "(i + 1) * 2", "6" },
        { "i * 7 / 4 + 7 % i", "4" },
        { "f / 2", "0.25" },
        { "i + z", "(null)" },
        { "z + t", "(null)" },
        { "t + NULL", "(null)" },
        { "NULL + d", "(null)" },
    };
    for (auto [expression, expected] : cases)
        EXPECT_EQ(expected, Value(std::string("SELECT ") + expression + " FROM K")) << expression;
}

TEST_F(DialectOperatorsTest, OperandsThatDoNotGoTogetherFailWithTheEngineError)
{
    const std::pair<const char*, const char*> cases[] = {
        { "i + t", "0x80040e07 Data conversion failed. [ Value,Data type ] [ab|int]" },
        { "'abc' + 1", "0x80040e07 Data conversion failed. [ Value,Data type ] [abc|int]" },
        { "d + n", "0x80040e07 There was an error in a part of the date format. [ Expression ] [5]" },
        { "x + i",
            "0x80040e14 The data types are not valid for the operator. [ Operator,Left data type,Right data "
            "type ] [+|varbinary|numeric]" },
        { "g + i",
            "0x80040e14 The data types are not valid for the operator. [ Operator,Left data type,Right data "
            "type ] [+|uniqueidentifier|numeric]" },
        { "t - t",
            "0x80040e14 The data types are not valid for the operator. [ Operator,Left data type,Right data "
            "type ] [-|nvarchar|nvarchar]" },
        // SQLite would give null.
        { "i / (i - 2)", "0x80040e14 Divide by zero error encountered" },
        { "f % 0", "0x80040e14 Divide by zero error encountered" },
    };
    for (auto [expression, expected] : cases)
        EXPECT_EQ(expected, QueryFails(std::string("SELECT ") + expression + " FROM K")) << expression;
}

TEST_F(DialectOperatorsTest, ValuesDecideWhereTheStatementDoesNotTell)
{
    // A subquery's column carries no type: the value's own kind decides.
    EXPECT_EQ("ab5", Value("SELECT (SELECT t FROM K) + (SELECT n FROM K)"));
    EXPECT_EQ("6", Value("SELECT (SELECT n FROM K) + 1"));
    EXPECT_EQ("2005-02-01 10:00:00", Value("SELECT s.d + 1 FROM (SELECT d FROM K) s"));
    EXPECT_EQ("0x80040e07 Data conversion failed. [ Value,Data type ] [ab|int]",
        QueryFails("SELECT s.v + 1 FROM (SELECT t AS v FROM K) s"));
    // Rows of one column decide one by one.
    Exec("CREATE TABLE M (id int, s nvarchar(5))");
    Exec("INSERT INTO M VALUES (1, '41')");
    Exec("INSERT INTO M VALUES (2, 'x')");
    EXPECT_EQ("0x80040e07 Data conversion failed. [ Value,Data type ] [x|int]",
        QueryFails("SELECT u.s + 1 FROM (SELECT s FROM M ORDER BY id) u"));
}

TEST_F(DialectOperatorsTest, OperandTypesComeFromTheTablesTheStatementNames)
{
    Exec("CREATE TABLE P (v nvarchar(5), d datetime)");
    Exec("CREATE TABLE Q (v int, d datetime)");
    Exec("INSERT INTO P VALUES ('5', '2005-01-01')");
    Exec("INSERT INTO Q VALUES (2, '2005-01-01')");
    // Through an alias a column keeps its table's type: text joins, a date-time adds days.
    EXPECT_EQ((Rows { { "55", "2005/01/02  00:00:00" } }), Query("SELECT x.v + x.v, x.d + 1 FROM P AS x"));
    EXPECT_EQ("10", Value("SELECT P.v + Q.v + 3 FROM P, Q"));
    // Where the tables disagree on an unqualified name's type, each value
    // decides: here Q's whole number, not P's text.
    EXPECT_EQ("3", Value("SELECT (SELECT v + '1' FROM Q) FROM P"));
    EXPECT_EQ("2005/01/02  00:00:00", Value("SELECT d + 1 FROM P WHERE d IN (SELECT d FROM Q)"));
    // A column default is translated as well.
    Exec("CREATE TABLE R (id int, s nvarchar(10) DEFAULT N'a' + N'b', d datetime DEFAULT DATEADD(day, 1, "
         "'2005-01-01'))");
    Exec("INSERT INTO R (id) VALUES (1)");
    EXPECT_EQ((Rows { { "ab", "2005/01/02  00:00:00" } }), Query("SELECT s, d FROM R"));
}

TEST_F(DialectOperatorsTest, TextsJoinedInAListKeepTheNameAsWritten)
{
    Exec("CREATE TABLE Person (FirstName nvarchar(20), LastName nvarchar(20))");
    Exec("INSERT INTO Person VALUES (N'Ann', N'Lee')");
    Exec("INSERT INTO Person VALUES (N'Bob', NULL)");
    auto rowset = Open("SELECT FirstName + N' ' + LastName FROM Person ORDER BY FirstName");
    ASSERT_TRUE(rowset);
    EXPECT_EQ(u"FirstName + N' ' + LastName", rowset->GetColumnInfo()[1].name);
    EXPECT_EQ((Rows { { "Ann Lee" }, { "(null)" } }), ReadAll(*rowset));
    EXPECT_EQ(
        (Rows { { "Lee" } }), Query("SELECT LastName FROM Person WHERE FirstName + LastName = 'AnnLee'"));
}

TEST_F(DialectOperatorsTest, AnUpdateThatFailsOnOneRowChangesNone)
{
    Exec("CREATE TABLE U (id int, s nvarchar(5), d datetime)");
    Exec("INSERT INTO U VALUES (1, '1', '2005-01-01')");
    Exec("INSERT INTO U VALUES (2, 'x', '2005-01-01')");
    Exec("INSERT INTO U VALUES (3, '3', '2005-01-01')");
    EXPECT_EQ("0x80040e07 Data conversion failed. [ Value,Data type ] [x|int]",
        ExecFails("UPDATE U SET s = CONVERT(nvarchar(5), s + 1)"));
    EXPECT_EQ((Rows { { "1" }, { "x" }, { "3" } }), Query("SELECT s FROM U ORDER BY id"));
    EXPECT_EQ(3, Exec("UPDATE U SET s = s + '!', d = d + 1"));
    EXPECT_EQ((Rows { { "1!", "2005/01/02  00:00:00" }, { "x!", "2005/01/02  00:00:00" } }),
        Query("SELECT s, d FROM U WHERE id < 3 ORDER BY id"));
}

} // namespace
} // namespace enginetest
