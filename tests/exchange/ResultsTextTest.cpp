#include "exchange/ResultsText.h"

#include "TestBytes.h"
#include "exchange/OutputCollector.h"
#include "exchange/ValueText.h"

#include <gtest/gtest.h>

#include <vector>

namespace exchange {
namespace {

using test::Bytes16;

TEST(ResultsText, ErrorBlockCarriesAgentAndEngineVersions)
{
    EXPECT_EQ(ErrorBlock(u"Invalid SQL command.", kEngine2Text),
        u"Invalid SQL command.\r\n\r\nQuorvane v2.3999\r\nSQLCE v2.0");
    EXPECT_EQ(StatusFileText(false, u"Query file: \"x\" doesn't exist.", kEngine3Text),
        u"<Failed>\r\nQuery file: \"x\" doesn't exist.\r\n\r\nQuorvane v2.3999\r\nSQLCE v3.0");
    EXPECT_EQ(StatusFileText(true, u"", kEngine3Text), u"<Success>\r\n");
    EXPECT_EQ(StatusFileText(false, u"", kEngine3Text), u"<Failed>\r\n");
}

TEST(ResultsText, StatementThatChangedFiveRowsEndsWithTheBareDigit)
{
    EXPECT_EQ(Bytes16(RowsAffectedText(5)), Bytes16(u"<Success>\r\nCols: 0\r\n5"));
    EXPECT_EQ(RenameSucceededText(), u"<Success>\r\nCols: 0\r\n");
    EXPECT_EQ(UnableToOpenFileMessage(u"\\Quorvane\\SQLresults.txt"),
        u"Unable to open file \"\\Quorvane\\SQLresults.txt\"");
}

TEST(ResultsText, QueryWithoutRowsIsTheHeaderAndEnd)
{
    const std::vector<std::u16string> names = { u"id", u"name" };
    const std::vector<std::uint16_t> types = { kDbI4, kDbWStr };
    MemorySink sink;
    {
        OutputCollector out(sink);
        out.WriteText(ResultsHeader(2, FieldsLine(names), QueryTypesLine(types), u""));
        out.WriteText(kEndLine);
    }
    EXPECT_EQ(
        sink.bytes(), Bytes16(u"<Success>\r\nCols: 2\r\nid\tname\t\r\nint\tnvarchar\t\r\n\t\t\r\n<end>\r\n"));
}

TEST(ResultsText, TableViewHeaderKeepsTheCollectedAttributes)
{
    EXPECT_EQ(ResultsHeader(2, u"a\tb\t", u"int\tnvarchar(20)\t", u" primary key autoinc not null\t\t"),
        u"<Success>\r\nCols: 2\r\na\tb\t\r\nint\tnvarchar(20)\t\r\n primary key autoinc not null\t\t\r\n");
    EXPECT_EQ(EmptyAttributesLine(3), u"\t\t\t");
    EXPECT_EQ(EmptyAttributesLine(-1), u"");
}

} // namespace
} // namespace exchange
