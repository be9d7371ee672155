// The formats for programs: cells typed by their kind and their column's
// type, CSV that an RFC 4180 reader takes back field for field, and the
// options for nulls, headers and binary values.
#include "cli/RowWriter.h"
#include "tests/cli/ResultFixture.h"
#include "tests/cli/StrictReaders.h"

#include <gtest/gtest.h>

using testing_cli::Column;
using testing_cli::Result;
using testing_cli::S;

using cli::OutputFormat;
using cli::OutputOptions;
using cli::TypedCell;
using devlink::CellKind;
using devlink::ColumnSchema;
using devlink::QueryResult;

namespace {

TEST(CliTypedCells, NumbersBitsDatesAndBinaryByKindAndType)
{
    auto type = [](const char* columnType, const char* cell, QChar separator = u'.') {
        const QString text = S(cell);
        const TypedCell typed
            = cli::TypeCell(Column("c", columnType), devlink::KindOfCellText(text), text, separator);
        return std::make_pair(typed.type, typed.text.toStdString());
    };
    using T = TypedCell::Type;
    EXPECT_EQ(type("int", "-42"), std::make_pair(T::Number, std::string("-42")));
    EXPECT_EQ(type("money", "12.5"), std::make_pair(T::Number, std::string("12.5")));
    EXPECT_EQ(type("real", "2,5", u','), std::make_pair(T::Number, std::string("2.5")));
    EXPECT_EQ(type("numeric(10,2)", "0.25"), std::make_pair(T::Number, std::string("0.25")));
    // Not JSON numbers: they stay texts.
    EXPECT_EQ(type("int", "007"), std::make_pair(T::Text, std::string("007")));
    EXPECT_EQ(type("real", "inf"), std::make_pair(T::Text, std::string("inf")));
    EXPECT_EQ(type("int", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}").first, T::Text);
    // A text column's digits are a text.
    EXPECT_EQ(type("nvarchar(5)", "12345"), std::make_pair(T::Text, std::string("12345")));
    EXPECT_EQ(type("bit", "true"), std::make_pair(T::Boolean, std::string("true")));
    // A plain query calls a bit "int".
    EXPECT_EQ(type("int", "false"), std::make_pair(T::Boolean, std::string("false")));
    EXPECT_EQ(type("nvarchar", "true"), std::make_pair(T::Text, std::string("true")));
    EXPECT_EQ(type("datetime", "2004/01/09  08:00:00"),
        std::make_pair(T::Text, std::string("2004-01-09T08:00:00")));
    EXPECT_EQ(
        type("datetime", "99/12/31  23:59:59"), std::make_pair(T::Text, std::string("0099-12-31T23:59:59")));
    EXPECT_EQ(
        type("datetime", "-5/01/01  00:00:00"), std::make_pair(T::Text, std::string("-5/01/01  00:00:00")));
    EXPECT_EQ(type("image",
                  "\x06"
                  "35 bytes"),
        std::make_pair(T::ByteCount, std::string("35")));
    EXPECT_EQ(type("int", "(null)"), std::make_pair(T::Null, std::string()));
}

TEST(CliCsvFormat, CommasQuotesAndLineBreaksReadBack)
{
    const QStringList tricky = { S("a,b"), S("say \"hi\""), S("two\r\nlines"), S("lone\nbreak"), S(""),
        S("(null)"), S("東京, ë") };
    QVector<QStringList> rows;
    for (const QString& cell : tricky)
        rows.append({ S("1"), cell });
    QueryResult r = Result({ Column("id, no", "int"), Column("text \"t\"", "ntext") }, rows);
    const QString csv = cli::FormatRows(r, OutputFormat::Csv);
    QVector<QStringList> read;
    ASSERT_TRUE(testing_readers::ReadCsv(csv, &read)) << csv.toStdString();
    ASSERT_EQ(read.size(), tricky.size() + 1);
    EXPECT_EQ(read[0], (QStringList { S("id, no"), S("text \"t\"") }));
    for (qsizetype i = 0; i < tricky.size(); ++i) {
        // A null is an empty field that is not quoted; an empty text is quoted.
        const QString expected = tricky[i] == S("(null)") ? QString() : tricky[i];
        EXPECT_EQ(read[i + 1], (QStringList { S("1"), expected })) << i;
    }
    EXPECT_TRUE(csv.contains(S("\r\n1,\"\"\r\n1,\r\n")));

    OutputOptions options;
    options.header = false;
    options.nullText = S("NULL");
    options.binaryAsText = true;
    QueryResult binary = Result({ Column("p", "image") },
        { { S("(null)") },
            { S("\x06"
                "3 bytes") } });
    EXPECT_EQ(
        cli::FormatRows(binary, OutputFormat::Csv, options).toStdString(), "NULL\r\n(Binary: 3 bytes)\r\n");
    EXPECT_EQ(cli::FormatRows(binary, OutputFormat::Csv).toStdString(), "p\r\n\r\n3\r\n");
}

TEST(CliJsonFormat, ValuesAreTypedAndBinaryCanBeAText)
{
    QueryResult r
        = Result({ Column("n", "money"), Column("b", "bit"), Column("d", "datetime"), Column("p", "image") },
            { { S("-1.5"), S("false"), S("2006/01/02  08:30:00"),
                S("\x06"
                  "28 bytes") } });
    EXPECT_EQ(cli::FormatJson(r).toStdString().substr(cli::FormatJson(r).indexOf(S("\"rows\""))),
        "\"rows\":[\n[-1.5,false,\"2006-01-02T08:30:00\",28]]}\n");
    OutputOptions options;
    options.binaryAsText = true;
    EXPECT_NE(cli::FormatRows(r, OutputFormat::Json, options).indexOf(S(",\"(Binary: 28 bytes)\"]]")), -1);

    // tsv keeps the agent's texts; --null and --no-header apply.
    options = OutputOptions();
    options.nullText = S("NULL");
    options.header = false;
    QueryResult nulls
        = Result({ Column("a", "int"), Column("b", "nvarchar(3)") }, { { S("(null)"), S("x") } });
    EXPECT_EQ(cli::FormatRows(nulls, OutputFormat::Tsv, options).toStdString(), "NULL\tx\n");
}

} // namespace
