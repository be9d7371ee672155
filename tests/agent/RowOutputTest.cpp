#include "RunnerFixture.h"

#include <algorithm>

using namespace agenttest;

namespace {

std::string Header(int cols, std::string names, std::string types, std::string attributes)
{
    return "<Success>\r\nCols: " + std::to_string(cols) + "\r\n" + names + "\r\n" + types + "\r\n"
        + attributes + "\r\n";
}

const std::vector<std::string> kPeople = {
    "CREATE TABLE People (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(20) NOT NULL, born datetime, "
    "height real, score float DEFAULT 1.5)",
    "INSERT INTO People (name, born, height, score) VALUES (N'Ann', '1962/2/18', 1.5, 2.25)",
    "INSERT INTO People (name, born, height, score) VALUES (N'Bo\tb', '2005/12/25 10:00:00', NULL, 3)",
};

} // namespace

TEST_F(RunnerTest, QueryWritesHeaderRowsAndEnd)
{
    Database(kPeople);
    std::u16string out = Run("SELECT name, born, height, score FROM People ORDER BY id");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        Header(4, "name\tborn\theight\tscore\t", "nvarchar\tdatetime\treal\treal\t", "\t\t\t\t")
            + "Ann\t1962/02/18  00:00:00\t1.5\t2.25\t\r\n"
            + "Bo\x07"
              "b\t2005/12/25  10:00:00\t(null)\t3\t\r\n<end>\r\n");
    EXPECT_EQ(status.Text("TotalRows"), "2");
    EXPECT_EQ(status.Text("RowsAffected"), "");
    EXPECT_EQ(status.Text("SQL"), "SELECT name, born, height, score FROM People ORDER BY id");
    EXPECT_EQ(status.Text("Progress"), "Releasing memory..");
}

TEST_F(RunnerTest, TableViewUsesDeclaredTypesAndAttributes)
{
    Database(kPeople);
    std::u16string out = Run("SELECT * FROM People");
    EXPECT_TRUE(ok) << ErrorText();
    std::string expected
        = Header(5, "id\tname\tborn\theight\tscore\t", "int\tnvarchar(20)\tdatetime\treal\tfloat\t",
            " primary key autoinc not null\t not null\t\t\t default 1.5\t");
    EXPECT_EQ(S(out).substr(0, expected.size()), expected);
    EXPECT_EQ(status.Text("SQL"), "");
}

TEST_F(RunnerTest, TableViewMatchesTheNameWithoutRegardToCase)
{
    Database(kPeople);
    std::u16string out = Run("SELECT * FROM [people]");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_NE(S(out).find("\r\nint\tnvarchar(20)\tdatetime\treal\tfloat\t\r\n"), std::string::npos) << S(out);
    auto lines = status.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    Querying table : People"), lines.end());
}

TEST_F(RunnerTest, TableViewOfAReservedWordKeepsItsBrackets)
{
    Database({ "CREATE TABLE [Order] (a int)", "INSERT INTO [Order] VALUES (7)" });
    std::u16string out = Run("SELECT * FROM [Order]");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out), Header(1, "a\t", "int\t", "\t") + "7\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, ZeroRowsGiveTheHeaderAndEnd)
{
    Database(kPeople);
    std::u16string out = Run("SELECT id FROM People WHERE id > 99");
    EXPECT_TRUE(ok);
    EXPECT_EQ(S(out), Header(1, "id\t", "int\t", "\t") + "<end>\r\n");
    EXPECT_EQ(status.Text("TotalRows"), "0");
}

TEST_F(RunnerTest, RowsWriteStatusEachAndARangeLineEvery50)
{
    std::vector<std::string> statements = { "CREATE TABLE N (v int)" };
    for (int i = 0; i < 120; ++i)
        statements.push_back("INSERT INTO N VALUES (" + std::to_string(i) + ")");
    Database(statements);
    std::u16string out = Run("SELECT v FROM N");
    EXPECT_TRUE(ok);
    auto lines = status.LogLines();
    std::vector<std::string> ranges;
    for (const auto& line : lines)
        if (line.starts_with("    Reading rows"))
            ranges.push_back(line);
    EXPECT_EQ(ranges,
        (std::vector<std::string> {
            "    Reading rows 0 to 50..", "    Reading rows 50 to 100..", "    Reading rows 100 to 119.." }));
    std::vector<std::string> rowStatus;
    for (const auto& s : status.StatusHistory())
        if (S(s).starts_with("Row "))
            rowStatus.push_back(S(s));
    ASSERT_EQ(rowStatus.size(), 120u);
    EXPECT_EQ(rowStatus.front(), "Row 1 of 120");
    EXPECT_EQ(rowStatus.back(), "Row 120 of 120");
    // One value per row stays one write per row: the repeated progress text is not rewritten.
    EXPECT_LE(status.Writes("Progress"), 4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "120 rows found."), 1);
}

TEST_F(RunnerTest, CancelEndsTheOutputAfterTheCurrentRow)
{
    Database({ "CREATE TABLE N (v int)", "INSERT INTO N VALUES (1)", "INSERT INTO N VALUES (2)",
        "INSERT INTO N VALUES (3)", "INSERT INTO N VALUES (4)" });
    status.CancelAtRead(2);
    std::u16string out = Run("SELECT v FROM N ORDER BY v");
    EXPECT_TRUE(ok);
    EXPECT_EQ(S(out), Header(1, "v\t", "int\t", "\t") + "1\t\r\n2\t\r\n<end>\r\n");
    EXPECT_EQ(status.Text("TotalRows"), "4");
    auto lines = status.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "User cancelled."), lines.end());
}

TEST_F(RunnerTest, CancelOtherThanOneClearsTheCancelState)
{
    Database({ "CREATE TABLE N (v int)", "INSERT INTO N VALUES (1)", "INSERT INTO N VALUES (2)" });
    status.SetStatusNumber(u"Cancel", 0);
    std::u16string out = Run("SELECT v FROM N ORDER BY v");
    EXPECT_EQ(S(out), Header(1, "v\t", "int\t", "\t") + "1\t\r\n2\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, DecimalPointCharOfOneCharacterIsUsed)
{
    Database({ "CREATE TABLE R (x float)", "INSERT INTO R VALUES (2.5)", "INSERT INTO R VALUES (3.0)" });
    status.SetStatusValue(u"DecimalPointChar", u",");
    EXPECT_EQ(S(Run("SELECT x FROM R")), Header(1, "x\t", "real\t", "\t") + "2,5\t\r\n3\t\r\n<end>\r\n");
    status.SetStatusValue(u"DecimalPointChar", u"ab");
    EXPECT_EQ(S(Run("SELECT x FROM R")), Header(1, "x\t", "real\t", "\t") + "2.5\t\r\n3\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, EveryTypeHasItsValueText)
{
    Database({ "CREATE TABLE V (i smallint, t tinyint, b bit, big bigint, m money, n numeric(10,3), "
               "g uniqueidentifier, bin binary(4), vb varbinary(10), c nchar(3))",
        "INSERT INTO V VALUES (-5, 200, 1, 9000000000123, 12.3456, -1234.5, "
        "'{12345678-9ABC-DEF0-1234-56789ABCDEF0}', 0x01020304, 0x0A0B, N'ab')",
        "INSERT INTO V VALUES (NULL, NULL, 0, -9000000000123, NULL, NULL, NULL, NULL, NULL, NULL)" });
    std::u16string out = Run("SELECT * FROM V");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        Header(10, "i\tt\tb\tbig\tm\tn\tg\tbin\tvb\tc\t",
            "smallint\ttinyint\tbit\tbigint\tmoney\tnumeric\tuniqueidentifier\tbinary\tvarbinary\tnchar(3)\t",
            "\t\t\t\t\t\t\t\t\t\t")
            + "-5\t200\ttrue\t9000000000123\t12.3456\t-1234.5\t{12345678-9ABC-DEF0-1234-56789ABCDEF0}\t"
              "\x06"
              "4 bytes\t\x06"
              "2 bytes\tab\t\r\n"
            + "(null)\t(null)\tfalse\t-9000000000123\t(null)\t(null)\t(null)\t(null)\t(null)\t(null)\t\r\n<"
              "end>\r\n");
}

TEST_F(RunnerTest, LongTextIsWrittenWholeAndAsText)
{
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += "line " + std::to_string(i) + "\r\n\t";
    ASSERT_GT(big.size() * 2, 40000u);
    Database({ "CREATE TABLE L (id int, body ntext, wide nvarchar(2000))",
        "INSERT INTO L VALUES (1, N'" + big + "', N'wide\r\ntext')",
        "INSERT INTO L VALUES (2, N'\xe4\xb8\xad\xe6\x96\x87 text', NULL)",
        "INSERT INTO L VALUES (3, NULL, N'')", "INSERT INTO L VALUES (4, N'', N'x')" });
    std::u16string out = Run("SELECT id, body, wide FROM L ORDER BY id");
    EXPECT_TRUE(ok) << ErrorText();
    std::u16string encoded;
    for (char16_t c : U(big))
        encoded += c;
    encoded = exchange::ReplaceAll(encoded, u"\r\n", u"\u001D\u001E");
    encoded = exchange::ReplaceAll(encoded, u"\t", u"\u0008");
    std::u16string expected = U(Header(3, "id\tbody\twide\t", "int\tint\tint\t", "\t\t\t")) + u"1\t" + encoded
        + u"\twide\u001D\u001Etext\t\r\n" + u"2\t中文 text\t(null)\t\r\n" + u"3\t(null)\t\t\r\n"
        + u"4\t\tx\t\r\n" + u"<end>\r\n";
    EXPECT_EQ(out, expected);
}

TEST_F(RunnerTest, ImageValuesAreTextOnlyWhenTheyLookLikeText)
{
    Database({ "CREATE TABLE I (id int, pic image)", "INSERT INTO I VALUES (1, 0x0001FF00)",
        "INSERT INTO I VALUES (2, 0x41004200)", "INSERT INTO I VALUES (3, NULL)" });
    std::u16string out = Run("SELECT id, pic FROM I ORDER BY id");
    EXPECT_TRUE(ok) << ErrorText();
    EXPECT_EQ(S(out),
        Header(2, "id\tpic\t", "int\tint\t", "\t\t")
            + "1\t\x06"
              "4 bytes\t\r\n2\tAB\t\r\n3\t(null)\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, ImageAbove20000BytesCountsEveryByte)
{
    std::string hex = "0x";
    for (int i = 0; i < 30001; ++i)
        hex += "FF";
    Database({ "CREATE TABLE I (pic image)", "INSERT INTO I VALUES (" + hex + ")" });
    EXPECT_EQ(S(Run("SELECT pic FROM I")),
        Header(1, "pic\t", "int\t", "\t")
            + "\x06"
              "30001 bytes\t\r\n<end>\r\n");
}

TEST_F(RunnerTest, InvalidQueryWritesFailedAndTheEngineError)
{
    Database(kPeople);
    std::u16string out = Run("SELECT nosuch FROM People");
    EXPECT_FALSE(ok);
    EXPECT_EQ(S(out), "<Failed>\r\n");
    EXPECT_TRUE(ErrorText().starts_with("Invalid SQL command.\r\n0x80040e")) << ErrorText();
    EXPECT_EQ(status.Text("TotalRows"), "0");
}

TEST_F(RunnerTest, ARowThatCannotBeReadEndsTheRunAsAFailure)
{
    // ABS of the smallest bigint overflows when the engine reaches that row.
    Database(
        { "CREATE TABLE B (id int, v bigint)", "INSERT INTO B VALUES (1, 5)", "INSERT INTO B VALUES (2, -7)",
            "INSERT INTO B VALUES (3, -9223372036854775808)", "INSERT INTO B VALUES (4, 1)" });
    std::u16string out = Run("SELECT id, ABS(v) AS a FROM B");
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ErrorText().starts_with("Unable to read all the records.\r\n0x")) << ErrorText();
    // What was read stays in the output, which the dispatcher then replaces
    // by the failure file.
    EXPECT_TRUE(S(out).starts_with("<Success>\r\nCols: 2\r\n")) << S(out);
    EXPECT_NE(S(out).find("\r\n2\t7\t\r\n"), std::string::npos) << S(out);
    EXPECT_EQ(S(out).find("\r\n4\t"), std::string::npos) << S(out);
}
