// The cli's printing of rows: aligned tables by display width, tab-separated
// values with their escapes, JSON that any parser accepts, and the null and
// binary conventions, on hand-made results.
#include "cli/OutputFormat.h"
#include "cli/RowWriter.h"
#include "tests/cli/ResultFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using testing_cli::Column;
using testing_cli::Result;
using testing_cli::S;

using cli::DisplayWidth;
using cli::FormatJson;
using cli::FormatRowsAffected;
using cli::FormatTable;
using cli::FormatTsv;
using cli::OutputFormat;
using devlink::ColumnKind;
using devlink::ColumnSchema;
using devlink::QueryResult;

namespace {

cli::OutputOptions Width(int maxCellWidth)
{
    cli::OutputOptions options;
    options.maxCellWidth = maxCellWidth;
    return options;
}

TEST(CliDisplayWidth, CountsTerminalColumns)
{
    EXPECT_EQ(DisplayWidth(S("abc")), 3);
    EXPECT_EQ(DisplayWidth(S("Zoë")), 3);
    EXPECT_EQ(DisplayWidth(S("東京")), 4);
    EXPECT_EQ(DisplayWidth(S("ｱ")), 1); // half-width katakana
    EXPECT_EQ(DisplayWidth(S("Ｑ")), 2); // full-width Latin
    EXPECT_EQ(DisplayWidth(S("e\xcc\x81")), 1); // e and a combining acute accent
    EXPECT_EQ(DisplayWidth(S("a\xe2\x80\x8b"
                             "b")),
        2); // zero-width space
    EXPECT_EQ(DisplayWidth(S("\xf0\x9f\x98\x80")), 2); // an emoji outside the BMP
    EXPECT_EQ(DisplayWidth(S("\xf0\xa0\x80\x80")), 2); // CJK extension B
    EXPECT_EQ(DisplayWidth(QString(QChar(0xD800))), 1); // a lone surrogate
    EXPECT_EQ(DisplayWidth(S("a\tb\x01")), 2);
}

TEST(CliTableFormat, AlignsByDisplayWidthNumbersToTheRight)
{
    QueryResult r = Result({ Column("id", "int"), Column("name", "nvarchar(40)"), Column("price", "money") },
        { { S("1"), S("東京"), S("12.5") }, { S("20"), S("Zoë"), S("(null)") } });
    EXPECT_EQ(FormatTable(r).toStdString(),
        "id  name  price\n"
        "--  ----  ------\n"
        " 1  東京    12.5\n"
        "20  Zoë   (null)\n");
    cli::OutputOptions bare;
    bare.header = false;
    bare.nullText = QStringLiteral("-");
    EXPECT_EQ(FormatTable(r, bare).toStdString(),
        " 1  東京  12.5\n"
        "20  Zoë      -\n");
    EXPECT_EQ(cli::RowsFoundText(2).toStdString(), "2 rows found.\n");
    EXPECT_EQ(cli::RowsFoundText(1).toStdString(), "1 row found.\n");
}

TEST(CliTableFormat, NumericTypesWithTextCellsStayLeft)
{
    // A plain query reports long texts and bits with the integer type.
    QueryResult r = Result({ Column("notes", "int"), Column("n", "int") },
        { { S("true"), S("-3") }, { S("(null)"), S("4,5") } });
    EXPECT_EQ(FormatTable(r).toStdString(),
        "notes   n\n"
        "------  ---\n"
        "true     -3\n"
        "(null)  4,5\n");
}

TEST(CliTableFormat, ShowsBreaksClipsLongCellsAndCountsOneRow)
{
    QueryResult r = Result({ Column("t", "ntext"), Column("pic", "image") },
        { { S("line1\r\nline2\tend"),
            S("\x06"
              "3 bytes") } });
    EXPECT_EQ(FormatTable(r, Width(0)).toStdString(),
        "t                    pic\n"
        "-------------------  -----------------\n"
        "line1\\r\\nline2\\tend  (Binary: 3 bytes)\n");
    EXPECT_EQ(FormatTable(r, Width(10)).toStdString(),
        "t           pic\n"
        "----------  ----------\n"
        "line1\\r...  (Binary...\n");
    // A wide character that does not fit whole is left out.
    QueryResult wide = Result({ Column("w", "nvarchar(9)") }, { { S("ab東京東京") } });
    EXPECT_EQ(FormatTable(wide, Width(6)).toStdString(), "w\n-----\nab...\n");
}

TEST(CliTableFormat, ShortRowsAndNoRows)
{
    QueryResult r = Result({ Column("a", "nvarchar(5)"), Column("b", "nvarchar(5)") }, { { S("x") } });
    EXPECT_EQ(FormatTable(r).toStdString(), "a  b\n-  -\nx  \n");
    QueryResult none = Result({ Column("a", "int") }, {});
    EXPECT_EQ(FormatTable(none).toStdString(), "a\n-\n");
}

TEST(CliTsvFormat, EscapesAndMarksNulls)
{
    QueryResult r = Result({ Column("a\tb", "nvarchar(5)"), Column("c", "ntext") },
        { { S("x\\y"), S("1\r\n2\t3") },
            { S("(null)"),
                S("\x06"
                  "9 bytes") },
            { S("") } });
    EXPECT_EQ(FormatTsv(r).toStdString(),
        "a\\tb\tc\n"
        "x\\\\y\t1\\r\\n2\\t3\n"
        "\\N\t(Binary: 9 bytes)\n"
        "\t\n");
}

TEST(CliJsonFormat, IsValidJsonWithNullsAndEscapes)
{
    QueryResult r = Result({ Column("id", "int"), Column("text", "ntext") },
        { { S("1"), S("quote\" back\\ nl\n tab\t bell\x07 ë 東") }, { S("2"), S("(null)") },
            { S("3"), QString(QChar(0xDC00)) + S("x") } });
    r.columns[0].isPrimaryKey = true;
    r.columns[0].isAutoinc = true;
    const QString json = FormatJson(r);
    EXPECT_EQ(json.toStdString(),
        "{\"columns\":[{\"name\":\"id\",\"type\":\"int\",\"primaryKey\":true,\"notNull\":false,\"autoinc\":"
        "true},"
        "{\"name\":\"text\",\"type\":\"ntext\",\"primaryKey\":false,\"notNull\":false,\"autoinc\":false}],\n"
        "\"rows\":[\n"
        "[1,\"quote\\\" back\\\\ nl\\n tab\\t bell\\u0007 ë 東\"],\n"
        "[2,null],\n"
        "[3,\"\\udc00x\"]]}\n");

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray rows = doc.object().value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toArray()[1].toString(), S("quote\" back\\ nl\n tab\t bell\x07 ë 東"));
    EXPECT_TRUE(rows[1].toArray()[1].isNull());
}

TEST(CliJsonFormat, EmptyResultAndRowsAffected)
{
    EXPECT_EQ(FormatJson(Result({}, {})).toStdString(), "{\"columns\":[],\n\"rows\":[]}\n");
    EXPECT_EQ(FormatRowsAffected(1, OutputFormat::Table).toStdString(), "1 row affected.\n");
    EXPECT_EQ(FormatRowsAffected(0, OutputFormat::Table).toStdString(), "0 rows affected.\n");
    EXPECT_EQ(FormatRowsAffected(7, OutputFormat::Tsv).toStdString(), "7\n");
    EXPECT_EQ(FormatRowsAffected(7, OutputFormat::Json).toStdString(), "{\"rowsAffected\":7}\n");
}

TEST(CliOutputFormatNames, OnlyTheFiveNames)
{
    EXPECT_EQ(cli::ParseOutputFormat(S("tsv")), OutputFormat::Tsv);
    EXPECT_EQ(cli::ParseOutputFormat(S("raw")), OutputFormat::Raw);
    EXPECT_EQ(cli::ParseOutputFormat(S("csv")), OutputFormat::Csv);
    EXPECT_FALSE(cli::ParseOutputFormat(S("TSV")));
    EXPECT_FALSE(cli::ParseOutputFormat(S("xml")));
}

} // namespace
