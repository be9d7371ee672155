#include "exchange/ResultsReader.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

using Lines = std::vector<std::u16string_view>;
using Fields = std::vector<std::u16string>;

TEST(DeviceLines, SplitAtCrLfAndStopAtAnEmptyLine)
{
    EXPECT_EQ(SplitDeviceLines(u"<Success>\r\nCols: 1\r\nid\t\r\n\r\nignored\r\n"),
        (Lines { u"<Success>", u"Cols: 1", u"id\t" }));
    EXPECT_EQ(SplitDeviceLines(u"<Success>\r\nCols: 0\r\n5"), (Lines { u"<Success>", u"Cols: 0", u"5" }));
    EXPECT_EQ(SplitDeviceLines(u"<end>\r\n"), (Lines { u"<end>" }));
}

TEST(DeviceLines, EmptyTextsGiveNoLines)
{
    EXPECT_TRUE(SplitDeviceLines(u"").empty());
    EXPECT_TRUE(SplitDeviceLines(u"\r\n<Success>\r\n").empty());
    EXPECT_TRUE(SplitDeviceLines(std::u16string_view(u"\0abc", 4)).empty());
}

TEST(DeviceLines, ALineAlsoEndsAtANulAndLfMustFollowForMore)
{
    EXPECT_EQ(SplitDeviceLines(std::u16string_view(u"ab\0\ncd\0x", 8)), (Lines { u"ab", u"cd" }));
    EXPECT_EQ(SplitDeviceLines(std::u16string_view(u"ab\0cd", 5)), (Lines { u"ab" }));
    EXPECT_EQ(SplitDeviceLines(u"ab\r\n"), (Lines { u"ab" }));
    EXPECT_EQ(SplitDeviceLines(u"ab\n\ncd"), (Lines { u"ab\n\ncd" })); // LF alone ends nothing
}

TEST(DeviceLines, ALoneCrStaysInsideItsLine)
{
    EXPECT_EQ(SplitDeviceLines(u"a\rb\t\r\nc\r\t\r\n<end>\r\n"), (Lines { u"a\rb\t", u"c\r\t", u"<end>" }));
    EXPECT_EQ(SplitDeviceLines(u"x\r\n\ry\r\n"), (Lines { u"x", u"\ry" }));
}

TEST(DeviceLines, OddByteCountKeepsTheLastByteAsACharacter)
{
    EXPECT_EQ(DeviceTextFromBytes(std::string_view("a\0b", 3)), u"ab");
    EXPECT_EQ(DeviceTextFromBytes(std::string_view("", 0)), u"");
    EXPECT_TRUE(IsBinarySchema(u"\u0007\u0006"));
    EXPECT_FALSE(IsBinarySchema(u"<Success>"));
    EXPECT_FALSE(IsBinarySchema(u""));
}

TEST(ResultsKind, ComesFromTheWholeFirstLine)
{
    EXPECT_EQ(ClassifyResults(Lines {}), ResultsKind::NoLines);
    EXPECT_EQ(ClassifyResults(Lines { u"<Success>" }), ResultsKind::Success);
    EXPECT_EQ(ClassifyResults(Lines { u"<Failed>", u"Invalid SQL command." }), ResultsKind::Failed);
    EXPECT_EQ(ClassifyResults(Lines { u"<Success> " }), ResultsKind::Unrecognised);
    EXPECT_EQ(ClassifyResults(Lines { u"explorer.exe" }), ResultsKind::Unrecognised);
}

TEST(ColsLine, ReadsTheCountLikeAtoi)
{
    EXPECT_EQ(ParseColsLine(u"Cols: 3"), 3);
    EXPECT_EQ(ParseColsLine(u"Cols:  12abc"), 12);
    EXPECT_EQ(ParseColsLine(u"Cols: x"), 0);
    EXPECT_EQ(ParseColsLine(u"Cols: -4"), -4);
    EXPECT_EQ(ParseColsLine(u"Cols: 99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseColsLine(u"Cols: -99999999999999999999"), -2147483647 - 1);
    EXPECT_FALSE(ParseColsLine(u"Cols:3").has_value());
    EXPECT_FALSE(ParseColsLine(u"cols: 3").has_value());
}

TEST(Fields, EveryTabEndsAFieldAndOnlyColumnCountFieldsStart)
{
    EXPECT_EQ(SplitFields(u"a\tb\t", 2), (Fields { u"a", u"b" }));
    EXPECT_EQ(SplitFields(u"a\tb\tc\t", 2), (Fields { u"a", u"b" }));
    EXPECT_EQ(SplitFields(u"a\t", 2), (Fields { u"a", u"" }));
    EXPECT_EQ(SplitFields(u"a", 3), (Fields { u"a" }));
    EXPECT_EQ(SplitFields(u"\t\t", 2), (Fields { u"", u"" }));
    EXPECT_EQ(SplitFields(u"a\tb", 0), Fields {});
    EXPECT_EQ(SplitFields(u"a\tb", -1), Fields {});
    // The count is the file's word, not a size to prepare for.
    EXPECT_EQ(SplitFields(u"a\tb", 2147483647), (Fields { u"a", u"b" }));
}

TEST(Fields, TransportCodesAreUndone)
{
    EXPECT_EQ(
        SplitFields(u"x\u001D\u001Ey\tp\u0008q\tu\u0007v\t", 3), (Fields { u"x\r\ny", u"p\tq", u"u\tv" }));
    EXPECT_EQ(SplitFields(u"\u001D\t\u001E\t\u001D\u001D\u001E\t", 3),
        (Fields { u"\u001D", u"\u001E", u"\u001D\r\n" }));
    EXPECT_EQ(SplitFields(u"\u00065 bytes\t(null)\t", 2), (Fields { u"\u00065 bytes", u"(null)" }));
}

TEST(TableAnswer, ThreeColumnsAndNoRows)
{
    const Lines lines = { u"Cols: 3", u"a\tb\tc\t", u"int\treal\tnvarchar\t", u"\t\t\t", u"<end>" };
    std::optional<TableAnswer> answer = ParseTableAnswer(lines);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->columnCount, 3);
    EXPECT_EQ(answer->names, (Fields { u"a", u"b", u"c" }));
    EXPECT_EQ(answer->types, (Fields { u"int", u"real", u"nvarchar" }));
    EXPECT_EQ(answer->attributes, (Fields { u"", u"", u"" }));
    EXPECT_TRUE(answer->rows.empty());
    EXPECT_TRUE(answer->sawEnd);
}

TEST(TableAnswer, RowsFollowTheHeaderUntilEnd)
{
    const Lines lines = { u"Cols: 2", u"Rows affected: 7", u"id\ttext\t", u"int\tnvarchar(20)\t",
        u" primary key autoinc\t\t", u"1\ta\u001D\u001Eb\t", u"2\t(null)\t", u"<end>", u"3\tc\t" };
    std::optional<TableAnswer> answer = ParseTableAnswer(lines);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->names, (Fields { u"id", u"text" }));
    EXPECT_EQ(answer->attributes, (Fields { u" primary key autoinc", u"" }));
    ASSERT_EQ(answer->rows.size(), 2u);
    EXPECT_EQ(answer->rows[0], (Fields { u"1", u"a\r\nb" }));
    EXPECT_EQ(answer->rows[1], (Fields { u"2", u"(null)" }));
}

TEST(TableAnswer, MissingColsLineOrEndIsReported)
{
    EXPECT_FALSE(ParseTableAnswer(Lines {}).has_value());
    EXPECT_FALSE(ParseTableAnswer(Lines { u"a\tb\t" }).has_value());
    std::optional<TableAnswer> cut = ParseTableAnswer(Lines { u"Cols: 1", u"a\t", u"int\t", u"\t", u"1\t" });
    ASSERT_TRUE(cut.has_value());
    EXPECT_FALSE(cut->sawEnd);
    EXPECT_EQ(cut->rows.size(), 1u);
}

} // namespace
} // namespace exchange
