#include "RunnerFixture.h"

#include "agent/SchemaOutput.h"

using namespace agenttest;

namespace {

const std::vector<std::string> kTables = {
    "CREATE TABLE T (a int IDENTITY(1,1) PRIMARY KEY, b nvarchar(20))",
    "CREATE TABLE Notes (body ntext, at datetime DEFAULT GETDATE() NOT NULL)",
    "CREATE TABLE Pair (x int NOT NULL, y nchar(2) NOT NULL, z money, PRIMARY KEY (x, y))",
};

} // namespace

TEST_F(RunnerTest, AsciiSchemaNumbersOnlyTablesWithKeys)
{
    Database(kTables);
    std::u16string out = Run("SCHEMA-ASCII");
    EXPECT_TRUE(ok) << ErrorText();
    // Tables come in the order of the engine's list (by name).
    EXPECT_EQ(S(out),
        "create table Notes\r\n(  body ntext,\r\n  at datetime default GETDATE() not null \r\n)\r\n\r\n"
        "create table Pair\r\n(  x int not null,\r\n  y nchar(2) not null,\r\n  z money \r\n"
        ", constraint PK1 PRIMARY KEY ( x, y )\r\n)\r\n\r\n"
        "create table T\r\n(  a int autoinc not null,\r\n  b nvarchar(20) \r\n"
        ", constraint PK2 PRIMARY KEY ( a )\r\n)\r\n\r\n");
    EXPECT_EQ(status.Text("TotalRows"), "0");
}

TEST_F(RunnerTest, BinarySchemaIsADelimitedStream)
{
    Database(kTables);
    std::u16string out = Run("SCHEMA-BINARY");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        "\x07Notes\x01"
        "body\x02ntext\x03"
        "0\x04"
        "at\x02"
        "datetime default GETDATE() not null\x03"
        "0\x04\x05"
        "Pair\x01x\x02int not null\x03"
        "1\x04y\x02nchar(2) not null\x03"
        "1\x04z\x02money\x03"
        "0\x04\x05"
        "T\x01"
        "a\x02int autoinc not null\x03"
        "1\x04"
        "b\x02nvarchar(20)\x03"
        "0\x04\x05\x06");
}

TEST_F(RunnerTest, EmptyDatabaseGivesAnEmptySchema)
{
    Database({});
    EXPECT_EQ(S(Run("SCHEMA-BINARY")), "\x07\x06");
    EXPECT_TRUE(ok);
    EXPECT_EQ(S(Run("SCHEMA-ASCII")), "");
    EXPECT_TRUE(ok);
}

TEST(SchemaOutput, KeyColumnsAreMatchedWithoutRegardToCase)
{
    engine::TableDefinition definition;
    definition.name = u"T";
    engine::ColumnDescription a;
    a.name = u"Id";
    a.typeName = u"int";
    a.type = engine::DBTYPE_I4;
    a.size = 4;
    definition.columns.push_back(a);
    engine::ColumnDescription b = a;
    b.name = u"Other";
    definition.columns.push_back(b);
    engine::ConstraintDescription first;
    first.type = engine::DBCONSTRAINTTYPE_PRIMARYKEY;
    first.columns = { u"Other" };
    engine::ConstraintDescription last = first;
    last.columns = { u"ID" };
    definition.constraints = { first, last };
    exchange::SchemaTable table = agent::DescribeDefinition(definition);
    ASSERT_EQ(table.columns.size(), 2u);
    EXPECT_TRUE(table.columns[0].isPrimaryKey); // the last key constraint counts
    EXPECT_FALSE(table.columns[1].isPrimaryKey);
}
