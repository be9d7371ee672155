// Table definitions as the table-creation service reports them: type names,
// sizes, type codes, the three column properties in their fixed order, and the
// primary key; and the table list.
#include "EngineFixture.h"

namespace enginetest {
namespace {

using namespace engine;

class TableDefinitionTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("defs.sdf");
    }

    TableDefinition Definition(const std::string& table)
    {
        TableDefinition d;
        EXPECT_EQ(S_OK, m_session->GetTableDefinition(U(table), d)) << LastError();
        return d;
    }

    // "name type size code | autoinc default nullable" for one column.
    static std::string Describe(const ColumnDescription& c)
    {
        std::string text = S(c.name) + " " + S(c.typeName) + " " + std::to_string(c.size) + " "
            + std::to_string(c.type) + " |";
        EXPECT_EQ(3u, c.properties.size());
        for (const auto& p : c.properties) {
            text += " " + std::to_string(p.id) + "=";
            if (!p.hasValue)
                text += "-";
            else if (p.id == DBPROP_COL_DEFAULT)
                text += S(p.textValue);
            else
                text += p.boolValue ? "true" : "false";
        }
        return text;
    }
};

TEST_F(TableDefinitionTest, EveryTypeReportsItsNameSizeAndCode)
{
    Exec("CREATE TABLE AllTypes (a int, b smallint, c tinyint, d bigint, e bit, f real, g float, h money, "
         "i numeric(10,2), j datetime, k nchar(10), l nvarchar(50), m ntext, n binary(16), o varbinary(200), "
         "p image, q uniqueidentifier)");
    TableDefinition d = Definition("AllTypes");
    ASSERT_EQ(17u, d.columns.size());
    std::vector<std::string> expected = {
        "a int 4 3 | 26=false 27=- 29=true",
        "b smallint 2 2 | 26=false 27=- 29=true",
        "c tinyint 1 17 | 26=false 27=- 29=true",
        "d bigint 8 20 | 26=false 27=- 29=true",
        "e bit 2 11 | 26=false 27=- 29=true",
        "f real 4 4 | 26=false 27=- 29=true",
        "g float 8 5 | 26=false 27=- 29=true",
        "h money 8 6 | 26=false 27=- 29=true",
        "i numeric 19 131 | 26=false 27=- 29=true",
        "j datetime 16 135 | 26=false 27=- 29=true",
        "k nchar 10 130 | 26=false 27=- 29=true",
        "l nvarchar 50 130 | 26=false 27=- 29=true",
        "m ntext 536870911 130 | 26=false 27=- 29=true",
        "n binary 16 128 | 26=false 27=- 29=true",
        "o varbinary 200 128 | 26=false 27=- 29=true",
        "p image 536870911 128 | 26=false 27=- 29=true",
        "q uniqueidentifier 16 72 | 26=false 27=- 29=true",
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], Describe(d.columns[i]));
    EXPECT_EQ(10, d.columns[8].precision);
    EXPECT_EQ(2, d.columns[8].scale);
    EXPECT_TRUE(d.constraints.empty());
}

TEST_F(TableDefinitionTest, DeclaredLengthsReachTheirLargestAndNoFurther)
{
    Exec("CREATE TABLE Widest (a nchar(4000), b nvarchar(4000), c binary(8000), d varbinary(8000))");
    TableDefinition d = Definition("Widest");
    ASSERT_EQ(4u, d.columns.size());
    EXPECT_EQ("a nchar 4000 130 | 26=false 27=- 29=true", Describe(d.columns[0]));
    EXPECT_EQ("b nvarchar 4000 130 | 26=false 27=- 29=true", Describe(d.columns[1]));
    EXPECT_EQ("c binary 8000 128 | 26=false 27=- 29=true", Describe(d.columns[2]));
    EXPECT_EQ("d varbinary 8000 128 | 26=false 27=- 29=true", Describe(d.columns[3]));
    for (const char* column : { "nvarchar(4001)", "nchar(4001)" })
        EXPECT_NE(std::string::npos,
            ExecFails(std::string("CREATE TABLE T (a ") + column + ")").find("must be between 1 and 4000"))
            << column;
    for (const char* column : { "binary(8001)", "varbinary(8001)" })
        EXPECT_NE(std::string::npos,
            ExecFails(std::string("CREATE TABLE T (a ") + column + ")").find("must be between 1 and 8000"))
            << column;
}

TEST_F(TableDefinitionTest, IdentityDefaultsAndNullabilityAreReportedExactly)
{
    Exec(
        "CREATE TABLE T (a int IDENTITY(100, 5) PRIMARY KEY, b nvarchar(20) NOT NULL DEFAULT N'none', "
        "c datetime DEFAULT GETDATE(), d int NULL DEFAULT (1 + 2), e money DEFAULT -3.5, f bigint NOT NULL)");
    TableDefinition d = Definition("t");
    EXPECT_EQ(u"T", d.name);
    ASSERT_EQ(6u, d.columns.size());
    EXPECT_EQ("a int 4 3 | 26=true 27=- 29=false", Describe(d.columns[0]));
    EXPECT_EQ("b nvarchar 20 130 | 26=false 27=N'none' 29=false", Describe(d.columns[1]));
    EXPECT_EQ("c datetime 16 135 | 26=false 27=GETDATE() 29=true", Describe(d.columns[2]));
    EXPECT_EQ("d int 4 3 | 26=false 27=(1 + 2) 29=true", Describe(d.columns[3]));
    EXPECT_EQ("e money 8 6 | 26=false 27=-3.5 29=true", Describe(d.columns[4]));
    EXPECT_EQ("f bigint 8 20 | 26=false 27=- 29=false", Describe(d.columns[5]));
}

TEST_F(TableDefinitionTest, OnlyOneIdentityColumnOfIntegerTypeIsAccepted)
{
    EXPECT_EQ("0x80040e14 A table can have only one identity column. [ Table name ] [T]",
        ExecFails("CREATE TABLE T (a int IDENTITY, b int IDENTITY)"));
    EXPECT_EQ("0x80040e14 An identity column must be of type int or bigint. [ Column name ] [a]",
        ExecFails("CREATE TABLE T (a nvarchar(5) IDENTITY)"));
    EXPECT_EQ("0x80040e14 An identity column cannot allow nulls. [ Column name ] [a]",
        ExecFails("CREATE TABLE T (a int IDENTITY NULL)"));
    EXPECT_EQ("0x80040e14 The identity increment must not be 0. [ Column name ] [a]",
        ExecFails("CREATE TABLE T (a int IDENTITY(1, 0))"));
    std::vector<std::u16string> names;
    ASSERT_EQ(S_OK, m_session->GetTableNames(names));
    EXPECT_TRUE(names.empty());
}

TEST_F(TableDefinitionTest, PrimaryKeyListsItsColumnsInColumnOrderAndMakesThemNotNull)
{
    Exec("CREATE TABLE Orders (x nvarchar(10), a int, b int, CONSTRAINT PK_Orders PRIMARY KEY (b, a))");
    TableDefinition d = Definition("Orders");
    ASSERT_EQ(1u, d.constraints.size());
    EXPECT_EQ(DBCONSTRAINTTYPE_PRIMARYKEY, d.constraints[0].type);
    EXPECT_EQ(u"PK_Orders", d.constraints[0].name);
    EXPECT_EQ((std::vector<std::u16string> { u"a", u"b" }), d.constraints[0].columns);
    EXPECT_EQ("x nvarchar 10 130 | 26=false 27=- 29=true", Describe(d.columns[0]));
    EXPECT_EQ("a int 4 3 | 26=false 27=- 29=false", Describe(d.columns[1]));
    EXPECT_EQ("b int 4 3 | 26=false 27=- 29=false", Describe(d.columns[2]));
}

TEST_F(TableDefinitionTest, ColumnPrimaryKeyGetsAGeneratedName)
{
    Exec("CREATE TABLE [My Table] ([Key Col] int PRIMARY KEY, v nvarchar(5) UNIQUE)");
    TableDefinition d = Definition("My Table");
    ASSERT_EQ(2u, d.constraints.size());
    EXPECT_EQ(u"PK_My Table", d.constraints[0].name);
    EXPECT_EQ(DBCONSTRAINTTYPE_PRIMARYKEY, d.constraints[0].type);
    EXPECT_EQ(std::vector<std::u16string> { u"Key Col" }, d.constraints[0].columns);
    EXPECT_EQ(DBCONSTRAINTTYPE_UNIQUE, d.constraints[1].type);
    EXPECT_EQ(std::vector<std::u16string> { u"v" }, d.constraints[1].columns);
}

TEST_F(TableDefinitionTest, TableListHidesTheEngineTablesAndIsOrderedByName)
{
    Exec("CREATE TABLE zeta (a int)");
    Exec("CREATE TABLE Alpha (a int)");
    Exec("CREATE TABLE beta (a int PRIMARY KEY)");
    Exec("CREATE INDEX ix ON zeta (a)");
    std::vector<std::u16string> names;
    ASSERT_EQ(S_OK, m_session->GetTableNames(names));
    EXPECT_EQ((std::vector<std::u16string> { u"Alpha", u"beta", u"zeta" }), names);
    TableDefinition d;
    EXPECT_EQ(DB_E_NOTABLE, m_session->GetTableDefinition(u"__qv_columns", d));
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [__qv_columns]", LastError());
    EXPECT_EQ(DB_E_NOTABLE, m_session->GetTableDefinition(u"sqlite_master", d));
}

TEST_F(TableDefinitionTest, EngineTablesCannotBeReadOrChangedByStatements)
{
    Exec("CREATE TABLE T (a int)");
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [__qv_columns]",
        ExecFails("SELECT * FROM __qv_columns"));
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [__qv_identity]",
        ExecFails("DELETE FROM __qv_identity"));
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [sqlite_master]",
        ExecFails("SELECT name FROM sqlite_master"));
    EXPECT_EQ(
        "0x80040e14 The function is not recognized by the engine. [ Name of function ] [sqlcipher_export]",
        ExecFails("SELECT sqlcipher_export('main')"));
    EXPECT_EQ("0x80040e14 The name is reserved for the engine's own use. [ Name ] [__qv_x]",
        ExecFails("CREATE TABLE __qv_x (a int)"));
    EXPECT_EQ(
        "0x80040e14 There was an error parsing the query. [ Token line number,Token line offset,Token in "
        "error ] [1|1|PRAGMA]",
        ExecFails("PRAGMA writable_schema = 1"));
    EXPECT_EQ(
        "0x80040e14 There was an error parsing the query. [ Token line number,Token line offset,Token in "
        "error ] [1|1|ATTACH]",
        ExecFails("ATTACH '/tmp/x.db' AS x"));
}

TEST_F(TableDefinitionTest, RenameKeepsDefinitionDataAndReferences)
{
    Exec("CREATE TABLE Parent (id int IDENTITY PRIMARY KEY, name nvarchar(10) DEFAULT 'x')");
    Exec("CREATE TABLE Child (id int PRIMARY KEY, parent int REFERENCES Parent(id))");
    Exec("INSERT INTO Parent (name) VALUES ('p')");
    Exec("INSERT INTO Child VALUES (1, 1)");
    ASSERT_EQ(S_OK, m_session->RenameTable(u"Parent", u"Mother")) << LastError();
    std::vector<std::u16string> names;
    ASSERT_EQ(S_OK, m_session->GetTableNames(names));
    EXPECT_EQ((std::vector<std::u16string> { u"Child", u"Mother" }), names);
    TableDefinition d = Definition("Mother");
    EXPECT_EQ("id int 4 3 | 26=true 27=- 29=false", Describe(d.columns[0]));
    EXPECT_EQ("name nvarchar 10 130 | 26=false 27='x' 29=true", Describe(d.columns[1]));
    TableDefinition child = Definition("Child");
    ASSERT_EQ(2u, child.constraints.size());
    EXPECT_EQ(u"Mother", child.constraints[1].referencedTable);
    // Identity numbering and the foreign key follow the table.
    Exec("INSERT INTO Mother (name) VALUES ('q')");
    EXPECT_EQ((Rows { { "1", "p" }, { "2", "q" } }), Query("SELECT * FROM Mother ORDER BY id"));
    EXPECT_EQ("0x80040e2f A foreign key value cannot be inserted because a corresponding primary key value "
              "does not "
              "exist. [ Foreign key constraint name ] [FK_Child_Parent]",
        ExecFails("INSERT INTO Child VALUES (2, 9)"));
    EXPECT_EQ(DB_E_NOTABLE, m_session->RenameTable(u"Parent", u"X"));
    EXPECT_EQ(DB_E_DUPLICATETABLEID, m_session->RenameTable(u"Mother", u"child"));
    EXPECT_EQ(S_OK, m_session->RenameTable(u"Mother", u"MOTHER")) << LastError();
    EXPECT_EQ(u"MOTHER", Definition("mother").name);
}

} // namespace
} // namespace enginetest
