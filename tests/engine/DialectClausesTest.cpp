// The dialect's clauses and types beyond single expressions: TOP, a join
// written inside another join, CROSS and OUTER APPLY, rowversion columns.
#include "EngineFixture.h"

namespace enginetest {
namespace {

using namespace engine;

class DialectClausesTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("clauses.sdf");
        Exec("CREATE TABLE A (id int PRIMARY KEY, name nvarchar(10), grp int)");
        Exec("CREATE TABLE B (id int PRIMARY KEY, aid int, cid int, amount int)");
        Exec("CREATE TABLE C (id int PRIMARY KEY, v nvarchar(10))");
        for (int i = 1; i <= 6; ++i)
            Exec("INSERT INTO A VALUES (" + std::to_string(i) + ", 'a" + std::to_string(i) + "', "
                + std::to_string(i / 3) + ")");
        Exec("INSERT INTO B VALUES (10, 1, 100, 5)");
        Exec("INSERT INTO B VALUES (11, 2, 999, 6)");
        Exec("INSERT INTO B VALUES (12, 1, 100, 7)");
        Exec("INSERT INTO C VALUES (100, 'c100')");
    }
};

TEST_F(DialectClausesTest, TopLimitsRowsWithAndWithoutOrder)
{
    EXPECT_EQ((Rows { { "6" }, { "5" } }), Query("SELECT TOP 2 id FROM A ORDER BY id DESC"));
    EXPECT_EQ(2u, Query("SELECT TOP (2) id FROM A").size());
    EXPECT_EQ(Rows {}, Query("SELECT TOP 0 id FROM A"));
    // Ties at the cut do not add rows: grp 1 holds ids 3, 4 and 5.
    EXPECT_EQ(3u, Query("SELECT TOP 3 id FROM A ORDER BY grp").size());
    EXPECT_EQ((Rows { { "a5" }, { "a6" } }),
        Query("SELECT name FROM A WHERE id IN (SELECT TOP 2 id FROM A ORDER BY id DESC) ORDER BY id"));
    EXPECT_EQ((Rows { { "1" }, { "2" }, { "3" } }), Query("SELECT TOP 50 PERCENT id FROM A ORDER BY id"));
    EXPECT_EQ((Rows { { "1" } }), Query("SELECT TOP (10) PERCENT id FROM A ORDER BY id"));
    EXPECT_EQ((Rows { { "1" }, { "2" } }), Query("SELECT DISTINCT TOP 2 grp + 1 AS g FROM A ORDER BY g"));
    // In a compound TOP takes its own member's rows; ORDER BY sorts the whole.
    EXPECT_EQ((Rows { { "6" }, { "1" } }),
        Query("SELECT TOP 1 id FROM A WHERE id < 3 UNION ALL SELECT id FROM A WHERE id = 6 ORDER BY 1 DESC"));
    EXPECT_EQ((Rows { { "5" }, { "4" }, { "1" } }),
        Query("SELECT id FROM A WHERE id = 1 UNION ALL SELECT TOP 2 id FROM A WHERE id > 3 ORDER BY 1 DESC"));
    // The row count the agent reads first counts the limited rows.
    auto rowset = Open("SELECT TOP 4 * FROM A");
    ASSERT_TRUE(rowset);
    std::int64_t count = 0;
    ASSERT_EQ(S_OK, rowset->GetRowCount(count));
    EXPECT_EQ(4, count);
}

TEST_F(DialectClausesTest, TopRefusesWhatItCannotCount)
{
    EXPECT_EQ("0x80040e14 The construct is not supported by the engine. [ Construct ] [TOP WITH TIES]",
        ExecFails("SELECT TOP 1 WITH TIES id FROM A ORDER BY grp"));
    const std::string invalid = "0x80040e14 The specified argument value for the function is not valid. [ "
                                "Argument #,Name of function ] [1|TOP]";
    EXPECT_EQ(invalid, ExecFails("SELECT TOP (-1) id FROM A"));
    EXPECT_EQ(invalid, ExecFails("SELECT TOP 1.5 id FROM A"));
    EXPECT_EQ(invalid, ExecFails("SELECT TOP 101 PERCENT id FROM A"));
    EXPECT_EQ(
        "0x80040e14 The construct is not supported by the engine. [ Construct ] [TOP in UPDATE or DELETE]",
        ExecFails("DELETE TOP (2) FROM A"));
}

TEST_F(DialectClausesTest, AJoinInsideAJoinTakesItsOwnCondition)
{
    EXPECT_EQ((Rows { { "a1", "10", "c100" }, { "a1", "12", "c100" } }),
        Query("SELECT A.name, B.id, C.v FROM A INNER JOIN B INNER JOIN C ON B.cid = C.id ON A.id = B.aid "
              "ORDER BY B.id"));
    // The outer join keeps A's rows whose B has no C.
    EXPECT_EQ((Rows { { "a1", "10" }, { "a1", "12" }, { "a2", "(null)" }, { "a3", "(null)" } }),
        Query(
            "SELECT a.name, x.id FROM A a LEFT OUTER JOIN B x INNER JOIN C y ON x.cid = y.id ON a.id = x.aid "
            "WHERE a.id <= 3 ORDER BY a.id, x.id"));
}

TEST_F(DialectClausesTest, ApplyBecomesAJoinOrSubqueries)
{
    // Aggregates: one row for every row of A.
    EXPECT_EQ((Rows { { "a1", "12", "2" }, { "a2", "6", "1" }, { "a3", "(null)", "0" } }),
        Query("SELECT A.name, t.total, t.n FROM A CROSS APPLY (SELECT SUM(B.amount) AS total, COUNT(*) AS n "
              "FROM B "
              "WHERE B.aid = A.id) t WHERE A.id <= 3 ORDER BY A.id"));
    EXPECT_EQ((Rows { { "a1", "10" }, { "a1", "12" }, { "a2", "11" } }),
        Query("SELECT A.name, t.id FROM A CROSS APPLY (SELECT B.id FROM B WHERE B.aid = A.id) t ORDER BY "
              "A.id, t.id"));
    EXPECT_EQ((Rows { { "a1", "10" }, { "a1", "12" }, { "a2", "11" }, { "a3", "(null)" } }),
        Query("SELECT A.name, t.id FROM A OUTER APPLY (SELECT B.id FROM B WHERE B.aid = A.id) t WHERE A.id "
              "<= 3 "
              "ORDER BY A.id, t.id"));
    // TOP in the subquery: the first row in its order, for every row of A.
    auto rowset = Open("SELECT A.name, t.* FROM A OUTER APPLY (SELECT TOP 1 b.id, b.amount AS amt FROM B b "
                       "WHERE b.aid = A.id ORDER BY b.amount DESC) AS t WHERE A.id <= 3 ORDER BY A.id");
    ASSERT_TRUE(rowset);
    const auto& columns = rowset->GetColumnInfo();
    ASSERT_EQ(4u, columns.size());
    EXPECT_EQ(u"amt", columns[3].name);
    EXPECT_EQ(
        (Rows { { "a1", "12", "7" }, { "a2", "11", "6" }, { "a3", "(null)", "(null)" } }), ReadAll(*rowset));
    // A subquery over a join joins it in brackets.
    EXPECT_EQ((Rows { { "a1", "c100" }, { "a1", "c100" } }),
        Query("SELECT A.name, t.v FROM A CROSS APPLY (SELECT C.v FROM B JOIN C ON B.cid = C.id WHERE B.aid = "
              "A.id) t"));
    EXPECT_EQ("0x80040e14 The construct is not supported by the engine. [ Construct ] [CROSS APPLY]",
        ExecFails("SELECT A.name FROM A CROSS APPLY (SELECT B.aid, COUNT(*) AS n FROM B GROUP BY B.aid) t"));
}

TEST_F(DialectClausesTest, ComputedDateTimesAreDateTimeColumns)
{
    auto rowset = Open("SELECT DATEADD(day, 1, '2005-01-31') AS next, CONVERT(datetime, '20050704') + 0.5, "
                       "DATEDIFF(day, '2005-01-01', '2005-01-31')");
    ASSERT_TRUE(rowset);
    const auto& columns = rowset->GetColumnInfo();
    EXPECT_EQ(DBTYPE_DBTIMESTAMP, columns[1].type);
    EXPECT_EQ(u"datetime", columns[2].typeName);
    EXPECT_EQ(DBTYPE_I8, columns[3].type);
    EXPECT_EQ((Rows { { "2005/02/01  00:00:00", "2005/07/04  12:00:00", "30" } }), ReadAll(*rowset));
    // They compare by the instant they stand for, whatever form the other side is written in.
    EXPECT_EQ((Rows { { "1" } }),
        Query("SELECT 1 WHERE DATEADD(day, 1, '2005-01-01') = '2005/1/2' AND GETDATE() > '1/2/2005' "
              "AND CONVERT(datetime, '02/01/2005', 103) + 0.5 = '1/2/2005 12:00'"));
}

TEST_F(DialectClausesTest, RowVersionChangesOnEveryInsertAndUpdate)
{
    Exec("CREATE TABLE R (id int IDENTITY PRIMARY KEY, name nvarchar(10), rv timestamp)");
    TableDefinition d;
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"R", d));
    EXPECT_EQ(u"rowversion", d.columns[2].typeName);
    EXPECT_EQ(8u, d.columns[2].size);
    EXPECT_EQ(DBTYPE_BYTES, d.columns[2].type);
    EXPECT_FALSE(d.columns[2].properties[2].boolValue);
    Exec("INSERT INTO R (name) VALUES ('a')");
    Exec("INSERT INTO R VALUES ('b')");
    Rows before = Query("SELECT rv FROM R ORDER BY id");
    ASSERT_EQ(2u, before.size());
    EXPECT_EQ(16u, before[0][0].size());
    EXPECT_NE(before[0][0], before[1][0]);
    EXPECT_EQ(1, Exec("UPDATE R SET name = name + '!' WHERE id = 1"));
    Rows after = Query("SELECT rv FROM R ORDER BY id");
    EXPECT_NE(before[0][0], after[0][0]);
    EXPECT_EQ(before[1][0], after[1][0]);
    EXPECT_EQ(after[0][0], Value("SELECT @@DBTS"));
    // The new value joins the assignments, not a WHERE inside one of them.
    EXPECT_EQ(1, Exec("UPDATE R SET name = (SELECT v FROM C WHERE id = 100) WHERE id = 2"));
    EXPECT_EQ((Rows { { "c100", "0000000000000004" } }), Query("SELECT name, rv FROM R WHERE id = 2"));
    const std::string refused
        = "0x80040e14 A rowversion column cannot be given a value. [ Column name ] [rv]";
    EXPECT_EQ(refused, ExecFails("INSERT INTO R (name, rv) VALUES ('c', 0x0000000000000001)"));
    EXPECT_EQ(refused, ExecFails("UPDATE R SET rv = 0x01, name = 'z'"));
    EXPECT_EQ("0x80040e14 A table can have only one rowversion column. [ Table name ] [R2]",
        ExecFails("CREATE TABLE R2 (a rowversion, b timestamp)"));
    // A column added later gives the rows there their own values.
    Exec("ALTER TABLE C ADD rv rowversion");
    Exec("INSERT INTO C (id, v) VALUES (101, 'c101')");
    Rows added = Query("SELECT rv FROM C ORDER BY id");
    ASSERT_EQ(2u, added.size());
    EXPECT_NE(added[0][0], added[1][0]);
    EXPECT_EQ(added[1][0], Value("SELECT @@DBTS"));
}

} // namespace
} // namespace enginetest
