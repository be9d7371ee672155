// The engine's SQL dialect as a user types it: identity numbering, defaults,
// keys, foreign keys (also added later), indexes, ALTER TABLE, bracketed names,
// N'' literals, binary constants, GETDATE(), NEWID(), unique identifiers,
// date-times in every form and bits written as text.
#include "EngineFixture.h"

namespace enginetest {
namespace {

using namespace engine;

class DialectTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("dialect.sdf");
    }
};

TEST_F(DialectTest, IdentityNumbersNewRowsFromSeedByIncrement)
{
    Exec("CREATE TABLE T (id int IDENTITY(100, -7) NOT NULL, name nvarchar(10))");
    EXPECT_EQ(1, Exec("INSERT INTO T (name) VALUES ('a')"));
    Exec("INSERT INTO T (name) VALUES ('b')");
    Exec("INSERT INTO T (name) SELECT name || '2' FROM T");
    EXPECT_EQ((Rows { { "100", "a" }, { "93", "b" }, { "86", "a2" }, { "79", "b2" } }),
        Query("SELECT id, name FROM T ORDER BY id DESC"));
    Exec("CREATE TABLE U (id bigint IDENTITY PRIMARY KEY, v int)");
    Exec("INSERT INTO U (v) VALUES (5)");
    Exec("DELETE FROM U");
    Exec("INSERT INTO U (v) VALUES (6)");
    // Numbers are not reused after a delete.
    EXPECT_EQ((Rows { { "2", "6" } }), Query("SELECT * FROM U"));
}

TEST_F(DialectTest, InsertWithoutColumnListLeavesOutTheIdentityColumn)
{
    Exec("CREATE TABLE T (name nvarchar(10), id int IDENTITY(7, 1), qty int DEFAULT 3)");
    EXPECT_EQ(Rows { { "(null)" } }, Query("SELECT @@IDENTITY"));
    EXPECT_EQ(1, Exec("INSERT INTO T VALUES ('a', 1)"));
    EXPECT_EQ(1, Exec("INSERT T VALUES ('b', 2)"));
    EXPECT_EQ(2, Exec("INSERT INTO T SELECT name || 'x', qty * 10 FROM T"));
    EXPECT_EQ((Rows { { "a", "7", "1" }, { "b", "8", "2" }, { "ax", "9", "10" }, { "bx", "10", "20" } }),
        Query("SELECT * FROM T ORDER BY id"));
    EXPECT_EQ(Rows { { "10" } }, Query("SELECT @@IDENTITY"));
    EXPECT_NE(std::string::npos, ExecFails("INSERT INTO T VALUES ('c', 1, 2)").find("must match"));
    EXPECT_EQ(1, Exec("DELETE T WHERE id = 7"));
    EXPECT_EQ(3, Exec("DELETE [T]"));
}

TEST_F(DialectTest, DefaultsAndNotNullApplyToInsertedRows)
{
    Exec("CREATE TABLE T (a int NOT NULL, b nvarchar(10) DEFAULT N'dflt', c money DEFAULT 2.5, d int DEFAULT "
         "(6 * 7), "
         "e bit DEFAULT 1, f binary(2) DEFAULT 0x0A0B)");
    Exec("INSERT INTO T (a) VALUES (1)");
    EXPECT_EQ((Rows { { "1", "dflt", "2.5000", "42", "true", "0A0B" } }), Query("SELECT * FROM T"));
    EXPECT_EQ("0x80040e2f The column cannot contain null values. [ Column name,Table name ] [a|T]",
        ExecFails("INSERT INTO T (b) VALUES ('x')"));
    // A NOT NULL column without default cannot be added to a table with rows;
    // the error names the table, not the engine's work table.
    EXPECT_EQ("0x80040e2f The column cannot contain null values. [ Column name,Table name ] [g|T]",
        ExecFails("ALTER TABLE T ADD g int NOT NULL"));
    Exec("ALTER TABLE T ADD g int NOT NULL DEFAULT 0");
}

TEST_F(DialectTest, PrimaryKeysRejectDuplicatesNamingTheConstraint)
{
    Exec("CREATE TABLE T (a int, b nvarchar(5), c int UNIQUE, CONSTRAINT PK_T PRIMARY KEY (a, b))");
    Exec("INSERT INTO T VALUES (1, 'x', 1)");
    Exec("INSERT INTO T VALUES (1, 'y', 2)");
    EXPECT_EQ(
        "0x80040e2f A duplicate value cannot be inserted into a unique index. [ Table name,Constraint name ] "
        "[T|PK_T]",
        ExecFails("INSERT INTO T VALUES (1, 'x', 3)"));
    EXPECT_EQ(
        "0x80040e2f A duplicate value cannot be inserted into a unique index. [ Table name,Constraint name ] "
        "[T|UQ_T_c]",
        ExecFails("INSERT INTO T VALUES (2, 'x', 1)"));
    // Text keys compare without regard to case, as the engine's collation does.
    EXPECT_NE("", ExecFails("INSERT INTO T VALUES (1, 'X', 4)"));
    EXPECT_EQ((Rows { { "x" } }), Query("SELECT b FROM T WHERE b = 'X'"));
}

TEST_F(DialectTest, ForeignKeysAreEnforcedAlsoWhenAddedLater)
{
    Exec("CREATE TABLE Customers (id int PRIMARY KEY, name nvarchar(20))");
    Exec("CREATE TABLE Orders (id int PRIMARY KEY, customer int)");
    Exec("INSERT INTO Customers VALUES (1, 'Ann')");
    Exec("INSERT INTO Orders VALUES (10, 1)");
    Exec("INSERT INTO Orders VALUES (11, 2)");
    // Existing data that breaks the new key keeps the table as it was.
    EXPECT_EQ("0x80040e2f A foreign key value cannot be inserted because a corresponding primary key value "
              "does not "
              "exist. [ Foreign key constraint name ] [Orders]",
        ExecFails("ALTER TABLE Orders ADD CONSTRAINT FK_Orders_Customers FOREIGN KEY (customer) REFERENCES "
                  "Customers(id)"));
    TableDefinition d;
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"Orders", d));
    EXPECT_EQ(1u, d.constraints.size());
    Exec("DELETE FROM Orders WHERE id = 11");
    Exec("ALTER TABLE Orders ADD CONSTRAINT FK_Plain FOREIGN KEY (customer) REFERENCES Customers");
    EXPECT_EQ(
        "0x80040e2f The primary key value cannot be deleted because references to this key still exist. [ "
        "Foreign key constraint name ] [FK_Plain]",
        ExecFails("DELETE FROM Customers WHERE id = 1"));
    Exec("ALTER TABLE Orders DROP CONSTRAINT FK_Plain");
    Exec("ALTER TABLE Orders ADD CONSTRAINT FK_Orders_Customers FOREIGN KEY (customer) REFERENCES "
         "Customers(id) "
         "ON DELETE CASCADE");
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"Orders", d));
    ASSERT_EQ(2u, d.constraints.size());
    EXPECT_EQ(DBCONSTRAINTTYPE_FOREIGNKEY, d.constraints[1].type);
    EXPECT_EQ(u"FK_Orders_Customers", d.constraints[1].name);
    EXPECT_EQ(u"Customers", d.constraints[1].referencedTable);
    EXPECT_EQ(std::vector<std::u16string> { u"id" }, d.constraints[1].referencedColumns);
    EXPECT_EQ(u"CASCADE", d.constraints[1].deleteRule);
    EXPECT_EQ("0x80040e2f A foreign key value cannot be inserted because a corresponding primary key value "
              "does not "
              "exist. [ Foreign key constraint name ] [FK_Orders_Customers]",
        ExecFails("INSERT INTO Orders VALUES (12, 5)"));
    EXPECT_EQ("0x80040e14 The table cannot be dropped because a foreign key constraint refers to it. [ Table "
              "name,Constraint name ] [Customers|FK_Orders_Customers]",
        ExecFails("DROP TABLE Customers"));
    EXPECT_EQ(1, Exec("DELETE FROM Customers WHERE id = 1"));
    EXPECT_EQ(Rows {}, Query("SELECT * FROM Orders"));
    Exec("ALTER TABLE Orders DROP CONSTRAINT FK_Orders_Customers");
    Exec("INSERT INTO Orders VALUES (12, 5)");
    Exec("DROP TABLE Customers");
}

TEST_F(DialectTest, ChangingAReferencedTableKeepsItsForeignKeysWorking)
{
    Exec("CREATE TABLE P (id int PRIMARY KEY, name nvarchar(10))");
    Exec("CREATE TABLE C (id int PRIMARY KEY, p int REFERENCES P(id))");
    Exec("INSERT INTO P VALUES (1, 'one')");
    Exec("INSERT INTO C VALUES (10, 1)");
    Exec("ALTER TABLE P ADD extra int DEFAULT 5");
    Exec("ALTER TABLE P DROP COLUMN name");
    EXPECT_EQ((Rows { { "1", "5" } }), Query("SELECT * FROM P"));
    EXPECT_EQ((Rows { { "10", "1" } }), Query("SELECT * FROM C"));
    EXPECT_NE(std::string::npos, ExecFails("INSERT INTO C VALUES (11, 2)").find("foreign key value"));
    EXPECT_NE(std::string::npos, ExecFails("DELETE FROM P").find("cannot be deleted"));
    EXPECT_EQ("0x80040e14 The column is used by a constraint. [ Column name,Constraint name ] [id|PK_P]",
        ExecFails("ALTER TABLE P DROP COLUMN id"));
    EXPECT_EQ(
        "0x80040e14 The constraint is referenced by a foreign key. [ Constraint name,Foreign key constraint "
        "name ] [PK_P|FK_C_P]",
        ExecFails("ALTER TABLE P DROP CONSTRAINT PK_P"));
}

TEST_F(DialectTest, ForeignKeyMustReferToAKeyOfTheSameType)
{
    Exec("CREATE TABLE P (id int PRIMARY KEY, code nvarchar(5))");
    EXPECT_EQ(
        "0x80040e14 The referenced table must have a primary key or a unique constraint on the referenced "
        "columns. [ Referenced table name ] [P]",
        ExecFails("CREATE TABLE C (p nvarchar(5) REFERENCES P(code))"));
    EXPECT_EQ(
        "0x80040e14 The data types of a foreign key column and the column it refers to must match. [ Column "
        "name ] [p]",
        ExecFails("CREATE TABLE C (p nvarchar(5) REFERENCES P)"));
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [Nowhere]",
        ExecFails("CREATE TABLE C (p int REFERENCES Nowhere(id))"));
    Exec("CREATE TABLE C (p int, FOREIGN KEY (p) REFERENCES P)");
}

TEST_F(DialectTest, IndexesAreCreatedAndDroppedTheEngineWay)
{
    Exec("CREATE TABLE T (a int, b nvarchar(10), c ntext)");
    Exec("CREATE UNIQUE NONCLUSTERED INDEX IX_T_b ON T (b DESC, a)");
    Exec("INSERT INTO T (a, b) VALUES (1, 'x')");
    EXPECT_NE(std::string::npos,
        ExecFails("INSERT INTO T (a, b) VALUES (1, 'x')").find("A duplicate value cannot be inserted"));
    EXPECT_EQ("0x80040e14 The specified index already exists. [ Index name ] [IX_T_b]",
        ExecFails("CREATE INDEX IX_T_b ON T (a)"));
    EXPECT_EQ("0x80040e14 ntext and image columns cannot be indexed. [ Column name ] [c]",
        ExecFails("CREATE INDEX IX_T_c ON T (c)"));
    EXPECT_EQ("0x80040e14 The specified index does not exist. [ Index name ] [IX_T_b]",
        ExecFails("DROP INDEX Other.IX_T_b"));
    Exec("DROP INDEX T.IX_T_b");
    Exec("INSERT INTO T (a, b) VALUES (1, 'x')");
    Exec("CREATE INDEX IX2 ON T (a)");
    Exec("DROP INDEX IX2");
    EXPECT_EQ(
        "0x80040e14 The specified index does not exist. [ Index name ] [IX2]", ExecFails("DROP INDEX T.IX2"));
}

TEST_F(DialectTest, AlterTableAddsAndDropsColumnsKeepingData)
{
    Exec("CREATE TABLE T (a int PRIMARY KEY, b nvarchar(10))");
    Exec("CREATE INDEX IX_T_b ON T (b)");
    Exec("INSERT INTO T VALUES (1, 'one')");
    Exec("INSERT INTO T VALUES (2, 'two')");
    Exec("ALTER TABLE T ADD c datetime DEFAULT '2000/1/2', n int IDENTITY(5, 5)");
    EXPECT_EQ(
        (Rows { { "1", "one", "2000/01/02  00:00:00", "5" }, { "2", "two", "2000/01/02  00:00:00", "10" } }),
        Query("SELECT * FROM T"));
    EXPECT_EQ("0x80040e14 The column is used by an index. [ Column name,Index name ] [b|IX_T_b]",
        ExecFails("ALTER TABLE T DROP COLUMN b"));
    EXPECT_EQ("0x80040e14 The column is used by a constraint. [ Column name,Constraint name ] [a|PK_T]",
        ExecFails("ALTER TABLE T DROP COLUMN a"));
    Exec("ALTER TABLE T DROP COLUMN c");
    Exec("INSERT INTO T (a, b) VALUES (3, 'three')");
    EXPECT_EQ((Rows { { "1", "one", "5" }, { "2", "two", "10" }, { "3", "three", "15" } }),
        Query("SELECT * FROM T"));
    TableDefinition d;
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"T", d));
    ASSERT_EQ(3u, d.columns.size());
    EXPECT_EQ(u"n", d.columns[2].name);
    EXPECT_TRUE(d.columns[2].properties[0].boolValue);
    // The index survived the rebuild.
    EXPECT_NE("", ExecFails("DROP INDEX T.nothing"));
    Exec("DROP INDEX T.IX_T_b");
    Exec("ALTER TABLE T DROP COLUMN b");
    EXPECT_EQ("0x80040e14 An identity column cannot have a default. [ Column name ] [n]",
        ExecFails("ALTER TABLE T ALTER COLUMN n SET DEFAULT 3"));
}

TEST_F(DialectTest, AlterColumnChangesDefaultTypeAndNullability)
{
    Exec("CREATE TABLE T (a int, b nvarchar(5))");
    Exec("INSERT INTO T VALUES (1, 'abc')");
    Exec("ALTER TABLE T ALTER COLUMN b SET DEFAULT N'zz'");
    Exec("INSERT INTO T (a) VALUES (2)");
    Exec("ALTER TABLE T ALTER COLUMN b nvarchar(50) NOT NULL");
    Exec("ALTER TABLE T ALTER COLUMN a DROP DEFAULT");
    TableDefinition d;
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"T", d));
    EXPECT_EQ(50u, d.columns[1].size);
    EXPECT_FALSE(d.columns[1].properties[2].boolValue);
    EXPECT_EQ(u"N'zz'", d.columns[1].properties[1].textValue);
    EXPECT_EQ((Rows { { "1", "abc" }, { "2", "zz" } }), Query("SELECT * FROM T"));
    // Values that do not fit the new type leave the table unchanged.
    EXPECT_EQ(
        "0x80040e2f The value is not valid for the data type or size of the column. [ Column name ] [b]",
        ExecFails("ALTER TABLE T ALTER COLUMN b nvarchar(2)"));
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"T", d));
    EXPECT_EQ(50u, d.columns[1].size);
}

TEST_F(DialectTest, BracketedNamesNLiteralsAndCommentsWork)
{
    Exec("CREATE TABLE [Order Details] ([Unit Price] money, [Name]]x] nvarchar(10), \"q\" int)");
    Exec("INSERT INTO [Order Details] VALUES (1.25, N'it''s', 3) -- trailing comment");
    Exec("/* leading */ INSERT INTO [order details] ([Unit Price], [Name]]x]) VALUES (2, N'Grüße');");
    EXPECT_EQ((Rows { { "1.2500", "it's", "3" }, { "2.0000", "Grüße", "(null)" } }),
        Query("SELECT [Unit Price], [Name]]x], q FROM [Order Details] ORDER BY 1"));
    TableDefinition d;
    ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"Order Details", d));
    EXPECT_EQ(u"Name]x", d.columns[1].name);
}

TEST_F(DialectTest, DateTimesInEveryFormReadBackInTheOutputForm)
{
    Exec("CREATE TABLE D (id int, d datetime)");
    Exec("INSERT INTO D VALUES (1, '1962/2/18')");
    Exec("INSERT INTO D VALUES (2, '2005/12/25 10:00:00')");
    Exec("INSERT INTO D VALUES (3, '2005-12-25T10:00:01')");
    Exec("INSERT INTO D VALUES (4, '2005/12/25  10:00:02')");
    Exec("INSERT INTO D VALUES (5, '12/24/2005 11:30 PM')");
    Exec("INSERT INTO D VALUES (6, '1900/01/01 00:00')");
    Exec("INSERT INTO D VALUES (7, '20051225')");
    EXPECT_EQ(
        (Rows { { "1", "1962/02/18  00:00:00" }, { "2", "2005/12/25  10:00:00" },
            { "3", "2005/12/25  10:00:01" }, { "4", "2005/12/25  10:00:02" }, { "5", "2005/12/24  23:30:00" },
            { "6", "1900/01/01  00:00:00" }, { "7", "2005/12/25  00:00:00" } }),
        Query("SELECT * FROM D ORDER BY id"));
    // Ordering follows time, not the text as written.
    EXPECT_EQ((Rows { { "6" }, { "1" }, { "5" }, { "7" }, { "2" }, { "3" }, { "4" } }),
        Query("SELECT id FROM D ORDER BY d"));
    EXPECT_EQ(
        "0x80040e2f The value is not valid for the data type or size of the column. [ Column name ] [d]",
        ExecFails("INSERT INTO D VALUES (8, '2005/2/30')"));
    EXPECT_NE("", ExecFails("INSERT INTO D VALUES (8, 'tomorrow')"));
    EXPECT_NE("", ExecFails("INSERT INTO D VALUES (8, 20051225)"));
}

TEST_F(DialectTest, WhereMatchesADateTimeByItsOutputForm)
{
    Exec("CREATE TABLE D (id int, d datetime, n nvarchar(5))");
    Exec("INSERT INTO D VALUES (1, '2005/12/25 10:00:00', 'a')");
    Exec("INSERT INTO D VALUES (2, '2005-12-25 10:00:00.250', 'b')");
    Exec("INSERT INTO D VALUES (3, '1962/2/18', 'c')");
    EXPECT_EQ(
        (Rows { { "1" }, { "2" } }), Query("SELECT id FROM D WHERE d = '2005/12/25  10:00:00' ORDER BY id"));
    EXPECT_EQ((Rows { { "3" } }), Query("SELECT id FROM D WHERE d = '1962/02/18  00:00:00'"));
    EXPECT_EQ((Rows { { "3" } }), Query("SELECT id FROM D WHERE '1962-02-18' = d"));
    EXPECT_EQ(1, Exec("UPDATE D SET n = 'z' WHERE d = '1962/02/18  00:00:00' AND n = 'c'"));
    EXPECT_EQ((Rows { { "1" }, { "2" } }), Query("SELECT id FROM D WHERE d > '1999/1/1' ORDER BY id"));
    EXPECT_EQ((Rows { { "1" }, { "2" }, { "3" } }),
        Query("SELECT id FROM D WHERE d IN ('2005/12/25  10:00:00', '1962/02/18  00:00:00') ORDER BY id"));
    Exec("CREATE INDEX IX_D ON D (d)");
    EXPECT_EQ((Rows { { "3" } }), Query("SELECT id FROM D WHERE d = '1962/02/18  00:00:00'"));
    EXPECT_EQ(1, Exec("DELETE FROM D WHERE d = '1962/02/18  00:00:00'"));
}

TEST_F(DialectTest, GetDateGivesTheCurrentLocalTime)
{
    Exec("CREATE TABLE D (id int, d datetime DEFAULT GETDATE())");
    Exec("INSERT INTO D (id) VALUES (1)");
    Exec("INSERT INTO D VALUES (2, GETDATE())");
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char year[16];
    std::snprintf(year, sizeof year, "%d/", local.tm_year + 1900);
    Rows rows = Query("SELECT d FROM D ORDER BY id");
    ASSERT_EQ(2u, rows.size());
    for (const auto& row : rows) {
        EXPECT_EQ(0u, row[0].find(year)) << row[0];
        EXPECT_EQ(20u, row[0].size()) << row[0];
    }
    EXPECT_EQ((Rows { { "2" } }), Query("SELECT count(*) FROM D WHERE d <= GETDATE()"));
}

TEST_F(DialectTest, UniqueIdentifiersRoundTripInTheirWrittenOrder)
{
    Exec("CREATE TABLE G (id int, g uniqueidentifier DEFAULT NEWID())");
    Exec("INSERT INTO G VALUES (1, '{12345678-9ABC-DEF0-1234-56789ABCDEF0}')");
    Exec("INSERT INTO G VALUES (2, '0fedcba9-8765-4321-0fed-cba987654321')");
    Exec("INSERT INTO G VALUES (3, '00112233445566778899AABBCCDDEEFF')");
    Exec("INSERT INTO G (id) VALUES (4)");
    Rows rows = Query("SELECT g FROM G ORDER BY id");
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ("{12345678-9ABC-DEF0-1234-56789ABCDEF0}", rows[0][0]);
    EXPECT_EQ("{0FEDCBA9-8765-4321-0FED-CBA987654321}", rows[1][0]);
    EXPECT_EQ("{00112233-4455-6677-8899-AABBCCDDEEFF}", rows[2][0]);
    EXPECT_EQ(38u, rows[3][0].size());
    EXPECT_EQ('4', rows[3][0][15]) << rows[3][0];
    // A WHERE term with the printed form (braces, any case) finds the row.
    EXPECT_EQ(
        (Rows { { "1" } }), Query("SELECT id FROM G WHERE g = '{12345678-9abc-def0-1234-56789abcdef0}'"));
    EXPECT_EQ(
        (Rows { { "2" } }), Query("SELECT id FROM G WHERE g = '{0FEDCBA9-8765-4321-0FED-CBA987654321}'"));
    EXPECT_EQ((Rows { { "4" } }), Query("SELECT id FROM G WHERE g = '" + rows[3][0] + "'"));
    EXPECT_EQ(
        "0x80040e2f The value is not valid for the data type or size of the column. [ Column name ] [g]",
        ExecFails("INSERT INTO G VALUES (5, '{1234}')"));
}

TEST_F(DialectTest, BitsMatchTheirPrintedForm)
{
    Exec("CREATE TABLE B (id int, b bit)");
    Exec("INSERT INTO B VALUES (1, 1)");
    Exec("INSERT INTO B VALUES (2, 0)");
    Exec("INSERT INTO B VALUES (3, 'true')");
    EXPECT_EQ(
        (Rows { { "1", "true" }, { "2", "false" }, { "3", "true" } }), Query("SELECT * FROM B ORDER BY id"));
    EXPECT_EQ((Rows { { "1" }, { "3" } }), Query("SELECT id FROM B WHERE b = 'true' ORDER BY id"));
    EXPECT_EQ((Rows { { "1" }, { "3" } }), Query("SELECT id FROM B WHERE b = 1 ORDER BY id"));
    EXPECT_EQ((Rows { { "2" } }), Query("SELECT id FROM B WHERE b = 'False'"));
    EXPECT_NE("", ExecFails("INSERT INTO B VALUES (4, 'maybe')"));
}

TEST_F(DialectTest, ValuesMustFitTheirColumnTypes)
{
    Exec("CREATE TABLE V (t tinyint, s smallint, i int, n nvarchar(3), b varbinary(2), m numeric(4,1))");
    Exec("INSERT INTO V VALUES (255, -32768, 2147483647, 'abc', 0x0102, 999.9)");
    EXPECT_NE("", ExecFails("INSERT INTO V (t) VALUES (256)"));
    EXPECT_NE("", ExecFails("INSERT INTO V (s) VALUES (32768)"));
    EXPECT_NE("", ExecFails("INSERT INTO V (i) VALUES (2147483648)"));
    EXPECT_NE("", ExecFails("INSERT INTO V (i) VALUES ('abc')"));
    EXPECT_NE("", ExecFails("INSERT INTO V (n) VALUES ('abcd')"));
    EXPECT_NE("", ExecFails("INSERT INTO V (b) VALUES (0x010203)"));
    EXPECT_NE("", ExecFails("INSERT INTO V (m) VALUES (1000)"));
    EXPECT_EQ((Rows { { "255", "-32768", "2147483647", "abc", "0102", "999.9" } }), Query("SELECT * FROM V"));
}

TEST_F(DialectTest, DropTableRemovesTableAndItsDefinition)
{
    Exec("CREATE TABLE T (id int IDENTITY PRIMARY KEY)");
    Exec("DROP TABLE T");
    std::vector<std::u16string> names;
    ASSERT_EQ(S_OK, m_session->GetTableNames(names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [T]", ExecFails("DROP TABLE T"));
    // A new table of the same name starts afresh.
    Exec("CREATE TABLE T (id int IDENTITY(7, 1), v int)");
    Exec("INSERT INTO T (v) VALUES (1)");
    EXPECT_EQ((Rows { { "7", "1" } }), Query("SELECT * FROM T"));
}

} // namespace
} // namespace enginetest
