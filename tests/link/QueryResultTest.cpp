// Column kinds and widths, and the parsed form of a table answer.
#include "desktop/link/QueryResult.h"

#include "exchange/ResultsReader.h"

#include <gtest/gtest.h>

using namespace devlink;

namespace {

ColumnSchema Typed(const QString& type)
{
    ColumnSchema c;
    c.typeText = type;
    SetKindAndWidth(c);
    return c;
}

void ExpectKind(const QString& type, ColumnKind kind, int width)
{
    ColumnSchema c = Typed(type);
    EXPECT_EQ(c.kind, kind) << type.toStdString();
    EXPECT_EQ(c.width, width) << type.toStdString();
}

TEST(ColumnKindTest, KindAndWidthFromTheTypeText)
{
    ExpectKind(QStringLiteral("money"), ColumnKind::Real, 8);
    ExpectKind(QStringLiteral("real"), ColumnKind::Real, 8);
    ExpectKind(QStringLiteral("float"), ColumnKind::Real, 8);
    ExpectKind(QStringLiteral("numeric"), ColumnKind::Real, 8);
    ExpectKind(QStringLiteral("int"), ColumnKind::Integer, 12);
    ExpectKind(QStringLiteral("tinyint"), ColumnKind::Integer, 12);
    ExpectKind(QStringLiteral("smallint"), ColumnKind::Integer, 12);
    ExpectKind(QStringLiteral("datetime"), ColumnKind::DateTime, 20);
    ExpectKind(QStringLiteral("nvarchar(100)"), ColumnKind::Text, 100);
    ExpectKind(QStringLiteral("nchar(7)"), ColumnKind::Text, 7);
    ExpectKind(QStringLiteral("ntext"), ColumnKind::LongText, 99999);
    ExpectKind(QStringLiteral("uniqueidentifier"), ColumnKind::Guid, 38);
    // Not in the table: text of width 4; equality tests are exact.
    ExpectKind(QStringLiteral("bigint"), ColumnKind::Text, 4);
    ExpectKind(QStringLiteral("INT"), ColumnKind::Text, 4);
    ExpectKind(QStringLiteral("nvarchar"), ColumnKind::Text, 4);
    // "contains" looks anywhere, but the width is read after the first nine
    // characters whatever precedes the match.
    ExpectKind(QStringLiteral("xnvarchar(30)"), ColumnKind::Text, 0);
}

TEST(ColumnKindTest, LeadingIntegerReadsLikeAtoi)
{
    EXPECT_EQ(LeadingInteger(QStringLiteral("42")), 42);
    EXPECT_EQ(LeadingInteger(QStringLiteral("  -7x")), -7);
    EXPECT_EQ(LeadingInteger(QStringLiteral("x7")), 0);
    EXPECT_EQ(LeadingInteger(QString()), 0);
    EXPECT_EQ(LeadingInteger(QStringLiteral("99999999999")), 2147483647);
}

// The lines after "<Success>" of a results text.
QueryResult Parse(std::u16string_view text, int totalRows = -1)
{
    auto lines = exchange::SplitDeviceLines(text);
    auto answer = exchange::ParseTableAnswer(std::span<const std::u16string_view>(lines).subspan(1));
    EXPECT_TRUE(answer.has_value());
    return answer ? MakeQueryResult(*answer, totalRows) : QueryResult();
}

TEST(QueryResultTest, TableAnswerWithTransportCodesUndone)
{
    QueryResult r = Parse(u"<Success>\r\nCols: 3\r\n"
                          u"Id\tName\tNote\t\r\n"
                          u"int\tnvarchar(50)\tntext\t\r\n"
                          u" primary key autoinc not null\t not null\t\t\r\n"
                          u"1\ta\u0007b\tline\u001D\u001Etwo\u0008tab\t\r\n"
                          u"2\t(null)\t\t\r\n"
                          u"<end>\r\n",
        2);
    ASSERT_EQ(r.columnCount, 3);
    ASSERT_EQ(r.columns.size(), 3);
    EXPECT_EQ(r.columns[0].name, QStringLiteral("Id"));
    EXPECT_EQ(r.columns[1].typeText, QStringLiteral("nvarchar(50)"));
    EXPECT_EQ(r.columns[1].width, 50);
    EXPECT_EQ(r.columns[2].kind, ColumnKind::LongText);
    EXPECT_TRUE(r.columns[0].isPrimaryKey && r.columns[0].isAutoinc && r.columns[0].isNotNull);
    EXPECT_TRUE(r.columns[1].isNotNull);
    EXPECT_FALSE(r.columns[1].isPrimaryKey);
    EXPECT_EQ(r.primaryKeyColumns, QVector<int>({ 0 }));
    EXPECT_EQ(r.primaryKeyCount, 1);
    EXPECT_EQ(r.notNullCount, 2);
    EXPECT_EQ(r.autoincCount, 1);
    EXPECT_EQ(r.totalRows, 2);
    ASSERT_EQ(r.rows.size(), 2);
    // U+0007 from a Unicode value and U+0008 both come back as TAB.
    EXPECT_EQ(r.rows[0],
        QStringList({ QStringLiteral("1"), QStringLiteral("a\tb"), QStringLiteral("line\r\ntwo\ttab") }));
    EXPECT_EQ(r.rows[1], QStringList({ QStringLiteral("2"), QStringLiteral("(null)"), QString() }));
}

TEST(QueryResultTest, ThreeColumnsAndNoRows)
{
    QueryResult r = Parse(u"<Success>\r\nCols: 3\r\na\tb\tc\t\r\nint\tint\tint\t\r\n\t\t\t\r\n<end>\r\n");
    EXPECT_EQ(r.columnCount, 3);
    EXPECT_EQ(r.columns.size(), 3);
    EXPECT_TRUE(r.rows.isEmpty());
    EXPECT_TRUE(r.primaryKeyColumns.isEmpty());
}

TEST(QueryResultTest, CellsAreCutAtFortyThousandCharacters)
{
    std::u16string text = u"<Success>\r\nCols: 1\r\nv\t\r\nntext\t\r\n\t\r\n";
    text += std::u16string(40005, u'z') + u"\t\r\n<end>\r\n";
    QueryResult r = Parse(text);
    ASSERT_EQ(r.rows.size(), 1);
    EXPECT_EQ(r.rows[0][0].size(), kMaxCellCharacters);
}

TEST(QueryResultTest, RowLinesGiveTheCellsOfTheWholeAnswerParser)
{
    // The streamed path parses lines on its own; it must agree with the
    // whole-answer path on every mix of separators and transport codes.
    const char16_t pieces[] = { u'a', u'\t', u'\u001D', u'\u001E', u'\u0008', u'\u0007', u'<', u'x' };
    unsigned state = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::u16string line;
        state = state * 1103515245 + 12345;
        const int length = int(state >> 16) % 12;
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245 + 12345;
            line.push_back(pieces[(state >> 16) % std::size(pieces)]);
        }
        const int columns = round % 5;
        exchange::TableAnswer answer;
        answer.columnCount = columns;
        answer.rows.push_back(exchange::SplitFields(line, columns));
        QueryResult whole = MakeQueryResult(answer, -1);
        QueryResult streamed = MakeQueryHeader(answer, -1);
        AppendRowLine(streamed, line);
        ASSERT_EQ(streamed.rows, whole.rows) << "columns " << columns << ", line " << QString::fromStdU16String(line).toStdString();
        ASSERT_EQ(streamed.cellKinds, whole.cellKinds);
    }
}

TEST(TableSchemaTest, FromTheBinarySchema)
{
    exchange::BinarySchema schema;
    schema.tables.push_back(
        { u"Orders", { { u"Id", u"int autoinc not null", true }, { u"Note", u"ntext", false } } });
    QVector<TableSchema> tables = MakeTableSchemas(schema);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0].name, QStringLiteral("Orders"));
    ASSERT_EQ(tables[0].columns.size(), 2);
    EXPECT_EQ(tables[0].columns[0].typeText, QStringLiteral("int autoinc not null"));
    EXPECT_TRUE(tables[0].columns[0].isPrimaryKey);
    EXPECT_FALSE(tables[0].columns[1].isPrimaryKey);
}

} // namespace
