// Rowsets: column information with the bookmark at ordinal 0, the row count
// before the rows, forward movement to DB_S_ENDOFROWSET, values with their
// status, long values in 4,096-byte chunks, and rows affected by changes.
#include "EngineFixture.h"

#include <cstring>

namespace enginetest {
namespace {

using namespace engine;

class RowsetTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("rows.sdf");
    }

    static std::string Describe(const ColumnInfo& c)
    {
        return std::to_string(c.ordinal) + " '" + S(c.name) + "' " + std::to_string(c.type) + " "
            + std::to_string(c.columnSize) + ((c.flags & DBCOLUMNFLAGS_ISBOOKMARK) ? " bookmark" : "")
            + ((c.flags & DBCOLUMNFLAGS_ISLONG) ? " long" : "")
            + ((c.flags & DBCOLUMNFLAGS_ISNULLABLE) ? " null" : "");
    }
};

TEST_F(RowsetTest, ColumnInformationStartsWithTheBookmark)
{
    Exec("CREATE TABLE T (id int NOT NULL, name nvarchar(40), memo ntext, big nvarchar(2000), pic image, "
         "d datetime, m money, n numeric(9,3), g uniqueidentifier, f float, r real, b bit, t tinyint, s "
         "smallint, "
         "l bigint, bin binary(8))");
    auto rowset = Open("SELECT * FROM T");
    const auto& c = rowset->GetColumnInfo();
    std::vector<std::string> described;
    for (const auto& info : c)
        described.push_back(Describe(info));
    EXPECT_EQ(
        (std::vector<std::string> { "0 '' 3 4 bookmark", "1 'id' 3 4", "2 'name' 130 40 null",
            "3 'memo' 130 536870911 long null", "4 'big' 130 2000 long null",
            "5 'pic' 128 536870911 long null", "6 'd' 135 16 null", "7 'm' 6 8 null", "8 'n' 131 19 null",
            "9 'g' 72 16 null", "10 'f' 5 8 null", "11 'r' 4 4 null", "12 'b' 11 2 null", "13 't' 17 1 null",
            "14 's' 2 2 null", "15 'l' 20 8 null", "16 'bin' 128 8 null" }),
        described);
    EXPECT_EQ(9, c[8].precision);
    EXPECT_EQ(3, c[8].scale);
    EXPECT_EQ(u"numeric", c[8].typeName);
}

TEST_F(RowsetTest, ComputedColumnsTakeTheirTypeFromTheFirstValue)
{
    Exec("CREATE TABLE T (a int, d datetime)");
    Exec("INSERT INTO T VALUES (1, '2001/2/3')");
    Exec("INSERT INTO T VALUES (2, '2001/2/4')");
    auto rowset = Open(
        "SELECT COUNT(*) AS value, 1.5 AS r, 'x' || MIN(a) AS s, X'01' AS b, NULL AS z, MIN(d) AS d FROM T");
    const auto& c = rowset->GetColumnInfo();
    ASSERT_EQ(7u, c.size());
    EXPECT_EQ("1 'value' 20 8 null", Describe(c[1]));
    EXPECT_EQ("2 'r' 5 8 null", Describe(c[2]));
    EXPECT_EQ("3 's' 130 536870911 long null", Describe(c[3]));
    EXPECT_EQ("4 'b' 128 536870911 long null", Describe(c[4]));
    EXPECT_EQ("5 'z' 130 536870911 long null", Describe(c[5]));
    // The statement tells that the least of date-times is a date-time.
    EXPECT_EQ("6 'd' 135 16 null", Describe(c[6]));
    EXPECT_EQ((Rows { { "2", "1.5", "x1", "01", "(null)", "2001/02/03  00:00:00" } }), ReadAll(*rowset));
}

TEST_F(RowsetTest, AComputedWholeNumberBeyond32BitsAfterSmallOnesReadsWhole)
{
    Exec("CREATE TABLE T (id int IDENTITY PRIMARY KEY, a int)");
    Exec("INSERT INTO T (a) VALUES (3)");
    Exec("INSERT INTO T (a) VALUES (2000000000)");
    auto rowset = Open("SELECT a * 3 AS tripled FROM T ORDER BY id");
    EXPECT_EQ((Rows { { "9" }, { "6000000000" } }), ReadAll(*rowset));
}

TEST_F(RowsetTest, AComputedTextLongerThanTheFirstReadsWhole)
{
    Exec("CREATE TABLE T (id int IDENTITY PRIMARY KEY, a nvarchar(10))");
    Exec("INSERT INTO T (a) VALUES ('x')");
    Exec("INSERT INTO T (a) VALUES ('abcdefghij')");
    // Five thousand characters from a ten-character value.
    auto rowset = Open("SELECT replace(hex(zeroblob(500)), '00', a) AS s FROM T ORDER BY id");
    Rows rows = ReadAll(*rowset);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(std::string(500, 'x'), rows[0][0]);
    EXPECT_EQ(5000u, rows[1][0].size());
}

TEST_F(RowsetTest, RowCountIsKnownBeforeTheRowsAndMovementEndsWithEndOfRowset)
{
    Exec("CREATE TABLE T (a int)");
    for (int i = 1; i <= 5; ++i)
        Exec("INSERT INTO T VALUES (" + std::to_string(i) + ")");
    auto rowset = Open("SELECT a FROM T WHERE a > 1 ORDER BY a DESC;");
    std::int64_t count = 0;
    ASSERT_EQ(S_OK, rowset->GetRowCount(count));
    EXPECT_EQ(4, count);
    std::vector<Binding> bindings(2);
    bindings[0] = { 0, 0, 4, 8, 4 };
    bindings[1] = { 1, 12, 16, 20, 4 };
    std::byte row[24];
    EXPECT_EQ(E_UNEXPECTED, rowset->GetData(bindings, row));
    std::vector<std::string> seen;
    HRESULT hr = rowset->MoveFirst();
    for (; hr == S_OK; hr = rowset->MoveNext()) {
        ASSERT_EQ(S_OK, rowset->GetData(bindings, row));
        std::int32_t bookmark;
        std::int32_t value;
        std::memcpy(&bookmark, row, 4);
        std::memcpy(&value, row + 12, 4);
        seen.push_back(std::to_string(bookmark) + ":" + std::to_string(value));
    }
    EXPECT_EQ(DB_S_ENDOFROWSET, hr);
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset->MoveNext());
    EXPECT_EQ((std::vector<std::string> { "1:5", "2:4", "3:3", "4:2" }), seen);
    // Moving first again starts over.
    ASSERT_EQ(S_OK, rowset->MoveFirst());
    ASSERT_EQ(S_OK, rowset->GetData(bindings, row));
    std::int32_t value;
    std::memcpy(&value, row + 12, 4);
    EXPECT_EQ(5, value);
    ASSERT_EQ(S_OK, rowset->GetRowCount(count));
    EXPECT_EQ(4, count);

    auto empty = Open("SELECT a FROM T WHERE a > 99");
    ASSERT_EQ(S_OK, empty->GetRowCount(count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(DB_S_ENDOFROWSET, empty->MoveFirst());
}

TEST_F(RowsetTest, NullsHaveStatusThreeAndTextIsCutToItsBinding)
{
    Exec("CREATE TABLE T (a int, s nvarchar(10))");
    Exec("INSERT INTO T VALUES (NULL, 'abcdefghij')");
    auto rowset = Open("SELECT a, s FROM T");
    std::vector<Binding> bindings = { { 1, 0, 8, 12, 4 }, { 2, 16, 28, 32, 10 } };
    std::byte row[36];
    std::memset(row, 0x55, sizeof row);
    ASSERT_EQ(S_OK, rowset->MoveFirst());
    ASSERT_EQ(S_OK, rowset->GetData(bindings, row));
    std::uint32_t length;
    std::uint32_t status;
    std::memcpy(&length, row + 8, 4);
    std::memcpy(&status, row + 12, 4);
    EXPECT_EQ(DBSTATUS_S_ISNULL, status);
    EXPECT_EQ(0u, length);
    std::memcpy(&length, row + 28, 4);
    std::memcpy(&status, row + 32, 4);
    EXPECT_EQ(DBSTATUS_S_TRUNCATED, status);
    EXPECT_EQ(20u, length);
    EXPECT_EQ(0, std::memcmp(row + 16, u"abcd\0", 10));
}

TEST_F(RowsetTest, LongValuesAreReadAsStreamsInChunks)
{
    Exec("CREATE TABLE L (id int, memo ntext, pic image, mid nvarchar(2000))");
    std::string text;
    for (int i = 0; i < 2600; ++i)
        text += "line " + std::to_string(i % 10) + "\n"; // 18,200 characters, 36,400 bytes
    std::string hex;
    for (int i = 0; i < 21000; ++i) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", i % 251);
        hex += buf;
    }
    Exec("INSERT INTO L VALUES (1, '" + text + "', X'" + hex + "', '" + text.substr(0, 1500) + "')");
    Exec("INSERT INTO L VALUES (2, NULL, NULL, NULL)");
    auto rowset = Open("SELECT memo, pic, mid FROM L ORDER BY id");
    ASSERT_EQ(S_OK, rowset->MoveFirst());

    std::unique_ptr<SequentialStream> stream;
    DBSTATUS status = 99;
    ASSERT_EQ(S_OK, rowset->GetStream(1, stream, &status));
    EXPECT_EQ(DBSTATUS_S_OK, status);
    std::vector<std::uint32_t> chunks;
    std::u16string got;
    char16_t buffer[2048];
    std::uint32_t read = 0;
    do {
        ASSERT_EQ(S_OK, stream->Read(buffer, 4096, read));
        chunks.push_back(read);
        got.append(buffer, read / 2);
    } while (read > 0);
    EXPECT_EQ(U(text), got);
    EXPECT_EQ(10u, chunks.size()); // 8 full chunks of 4,096 bytes, 3,632 bytes, then 0
    EXPECT_EQ(4096u, chunks[0]);
    EXPECT_EQ(3632u, chunks[8]);
    EXPECT_EQ(0u, chunks[9]);

    ASSERT_EQ(S_OK, rowset->GetStream(2, stream, &status));
    std::vector<unsigned char> bytes;
    unsigned char raw[4096];
    do {
        ASSERT_EQ(S_OK, stream->Read(raw, sizeof raw, read));
        bytes.insert(bytes.end(), raw, raw + read);
    } while (read > 0);
    ASSERT_EQ(21000u, bytes.size());
    EXPECT_EQ(250, bytes[250]);
    EXPECT_EQ(0, bytes[251]);

    ASSERT_EQ(S_OK, rowset->GetStream(3, stream, &status));
    ASSERT_EQ(S_OK, stream->Read(raw, sizeof raw, read));
    EXPECT_EQ(3000u, read);

    // A stream belongs to its row.
    ASSERT_EQ(S_OK, rowset->MoveNext());
    EXPECT_EQ(E_UNEXPECTED, stream->Read(raw, sizeof raw, read));
    ASSERT_EQ(S_OK, rowset->GetStream(1, stream, &status));
    EXPECT_EQ(DBSTATUS_S_ISNULL, status);
    ASSERT_EQ(S_OK, stream->Read(raw, sizeof raw, read));
    EXPECT_EQ(0u, read);
    EXPECT_EQ(DB_E_BADORDINAL, rowset->GetStream(4, stream, &status));
}

TEST_F(RowsetTest, ValuesArriveInTheirBinaryForms)
{
    Exec("CREATE TABLE V (m money, n numeric(12,4), neg numeric(5,2), d datetime, b bit, f float, r real, "
         "t tinyint, s smallint, l bigint, g uniqueidentifier, bin varbinary(4))");
    Exec("INSERT INTO V VALUES (-12.3456, 12345678.9012, -1.5, '2005-12-25 10:11:12.5', 0, 0.25, 1.5, 200, "
         "-300, "
         "9000000000, '{00000000-0000-0000-0000-0000000000FF}', 0xDEADBEEF)");
    auto rowset = Open("SELECT * FROM V");
    ASSERT_EQ(S_OK, rowset->MoveFirst());
    std::vector<Binding> bindings;
    for (std::uint32_t i = 1; i <= 12; ++i)
        bindings.push_back({ i, (i - 1) * 48, (i - 1) * 48 + 32, (i - 1) * 48 + 36, 32 });
    std::vector<std::byte> row(12 * 48);
    ASSERT_EQ(S_OK, rowset->GetData(bindings, row.data()));
    auto at = [&](int column) { return row.data() + (column - 1) * 48; };
    std::int64_t money;
    std::memcpy(&money, at(1), 8);
    EXPECT_EQ(-123456, money);
    DbNumeric n;
    std::memcpy(&n, at(2), sizeof n);
    EXPECT_EQ(12, n.precision);
    EXPECT_EQ(4, n.scale);
    EXPECT_EQ(1, n.sign);
    std::uint64_t unscaled;
    std::memcpy(&unscaled, n.value, 8);
    EXPECT_EQ(123456789012u, unscaled);
    std::memcpy(&n, at(3), sizeof n);
    EXPECT_EQ(0, n.sign);
    EXPECT_EQ(150, n.value[0]);
    DbTimestamp t;
    std::memcpy(&t, at(4), sizeof t);
    EXPECT_EQ(2005, t.year);
    EXPECT_EQ(12, t.month);
    EXPECT_EQ(25, t.day);
    EXPECT_EQ(10, t.hour);
    EXPECT_EQ(11, t.minute);
    EXPECT_EQ(12, t.second);
    EXPECT_EQ(500000000u, t.fraction);
    std::int16_t b;
    std::memcpy(&b, at(5), 2);
    EXPECT_EQ(0, b);
    double f;
    std::memcpy(&f, at(6), 8);
    EXPECT_EQ(0.25, f);
    float r;
    std::memcpy(&r, at(7), 4);
    EXPECT_EQ(1.5f, r);
    EXPECT_EQ(std::byte { 200 }, at(8)[0]);
    std::int16_t s;
    std::memcpy(&s, at(9), 2);
    EXPECT_EQ(-300, s);
    std::int64_t l;
    std::memcpy(&l, at(10), 8);
    EXPECT_EQ(9000000000, l);
    EXPECT_EQ(std::byte { 0 }, at(11)[0]);
    EXPECT_EQ(std::byte { 0xFF }, at(11)[15]);
    std::uint32_t length;
    std::memcpy(&length, at(12) + 32, 4);
    EXPECT_EQ(4u, length);
    EXPECT_EQ(std::byte { 0xDE }, at(12)[0]);
}

TEST_F(RowsetTest, ChangesReportTheRowsTheyAffected)
{
    Exec("CREATE TABLE T (a int)");
    EXPECT_EQ(0, Exec("CREATE INDEX I ON T (a)"));
    EXPECT_EQ(1, Exec("INSERT INTO T VALUES (1)"));
    EXPECT_EQ(1, Exec("INSERT INTO T VALUES (2)"));
    EXPECT_EQ(2, Exec("INSERT INTO T SELECT a + 10 FROM T"));
    EXPECT_EQ(3, Exec("UPDATE T SET a = a + 1 WHERE a > 1"));
    EXPECT_EQ(0, Exec("DELETE FROM T WHERE a > 100"));
    EXPECT_EQ(4, Exec("DELETE FROM T"));
}

TEST_F(RowsetTest, GuardedChangeCountQueryGivesOneIntegerNamedValue)
{
    Exec("CREATE TABLE T (id int, v nvarchar(5))");
    Exec("INSERT INTO T VALUES (5, 'a')");
    Exec("INSERT INTO T VALUES (5, 'b')");
    auto rowset = Open("SELECT COUNT(*) AS value FROM T WHERE id=5 ");
    const auto& c = rowset->GetColumnInfo();
    ASSERT_EQ(2u, c.size());
    EXPECT_EQ(u"value", c[1].name);
    EXPECT_EQ(DBTYPE_I8, c[1].type);
    std::int64_t count = 0;
    ASSERT_EQ(S_OK, rowset->GetRowCount(count));
    EXPECT_EQ(1, count);
    EXPECT_EQ((Rows { { "2" } }), ReadAll(*rowset));
}

} // namespace
} // namespace enginetest
