#include "exchange/QueryFile.h"

#include "TestBytes.h"
#include "exchange/Password.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

using test::AsSpan;
using test::Bytes16;

const std::u16string kQueryPath = u"\\Quorvane\\SQLquery.txt";

QueryFileResult Read(const std::string& bytes, QueryRequest& request)
{
    return ReadQueryFile(AsSpan(bytes), request);
}

TEST(QueryFileWriter, WritesThreeLinesAsUtf16LeWithoutMark)
{
    std::string bytes;
    ASSERT_EQ(
        BuildQueryFile(u"\\My Documents\\a.sdf", u"abc", u"SELECT *\r\nFROM\tT", bytes), QueryFileBuild::Ok);
    EXPECT_EQ(bytes, Bytes16(u"\\My Documents\\a.sdf\r\n_LT\\\r\nSELECT *\u001D\u001EFROM\u0008T\r\n"));
    EXPECT_NE(static_cast<unsigned char>(bytes[0]), 0xFF); // no byte-order mark
}

TEST(QueryFileWriter, EmptyPasswordIsWrittenAsUnderscore)
{
    std::string bytes;
    ASSERT_EQ(BuildQueryFile(u"\\a.sdf", u"", u"*CREATE", bytes), QueryFileBuild::Ok);
    EXPECT_EQ(bytes, Bytes16(u"\\a.sdf\r\n_\r\n*CREATE\r\n"));
}

TEST(QueryFileWriter, RefusesFieldsTheAgentWouldReadDifferently)
{
    std::string bytes = "untouched";
    EXPECT_EQ(BuildQueryFile(u"\\a\r\nb.sdf", u"", u"x", bytes), QueryFileBuild::PathNotWritable);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(
        BuildQueryFile(std::u16string(u"\\a\0.sdf", 7), u"", u"x", bytes), QueryFileBuild::PathNotWritable);
    // ')' scrambles to CR and U+0011 to LF.
    EXPECT_EQ(BuildQueryFile(u"\\a.sdf", u")\u0011", u"x", bytes), QueryFileBuild::PasswordNotWritable);
    EXPECT_EQ(BuildQueryFile(u"\\a.sdf", std::u16string(1, u'\0'), u"x", bytes),
        QueryFileBuild::PasswordNotWritable);
    EXPECT_EQ(BuildQueryFile(u"\\a.sdf", u"", std::u16string(u"a\0b", 3), bytes),
        QueryFileBuild::RequestNotWritable);
    // Path, "_" and three CR LF take 9 characters: 9,991 request characters make 20,000 bytes.
    EXPECT_EQ(BuildQueryFile(u"\\a", u"", std::u16string(9991, u'x'), bytes), QueryFileBuild::Ok);
    EXPECT_EQ(bytes.size(), 20000u);
    EXPECT_EQ(BuildQueryFile(u"\\a", u"", std::u16string(9992, u'x'), bytes), QueryFileBuild::TooLarge);
    // A path of characters above U+00FF makes the first half look like 8-bit text.
    EXPECT_EQ(
        BuildQueryFile(u"\\\u0431\u0430\u0437\u0430.sdf", u"", u"x", bytes), QueryFileBuild::ReadAsEightBit);
}

TEST(QueryFileWriter, KeepsLoneLineBreakCharactersReadable)
{
    std::string bytes;
    ASSERT_EQ(BuildQueryFile(u"\\a\r", u")", u"x\r", bytes), QueryFileBuild::Ok);
    QueryRequest request;
    ASSERT_EQ(Read(bytes, request), QueryFileResult::Ok);
    EXPECT_EQ(request, (QueryRequest { u"\\a\r", u")", u"x\r" }));
}

TEST(QueryFileReader, ReadsUtf16FileAndUnscramblesAndRestoresCodes)
{
    QueryRequest request;
    ASSERT_EQ(Read(Bytes16(u"\\a.sdf\r\n_LT\\\r\nSELECT 1\u001D\u001EFROM\u0008T\r\n"), request),
        QueryFileResult::Ok);
    EXPECT_EQ(request.databasePath, u"\\a.sdf");
    EXPECT_EQ(request.password, u"abc");
    EXPECT_EQ(request.requestText, u"SELECT 1\r\nFROM\tT");
}

TEST(QueryFileReader, UsesAPasswordWithoutUnderscoreUnchanged)
{
    QueryRequest request;
    ASSERT_EQ(Read(Bytes16(u"\\a.sdf\r\nLT\\\r\nx\r\n"), request), QueryFileResult::Ok);
    EXPECT_EQ(request.password, u"LT\\");
}

TEST(QueryFileReader, WidensAnEightBitFileLikeItsUtf16Form)
{
    QueryRequest eightBit;
    QueryRequest wide;
    ASSERT_EQ(Read("\\a.sdf\r\n\r\nSELECT * FROM T\r\n", eightBit), QueryFileResult::Ok);
    ASSERT_EQ(Read(Bytes16(u"\\a.sdf\r\n\r\nSELECT * FROM T\r\n"), wide), QueryFileResult::Ok);
    EXPECT_EQ(eightBit, wide);
    EXPECT_EQ(eightBit, (QueryRequest { u"\\a.sdf", u"", u"SELECT * FROM T" }));
}

TEST(QueryFileReader, WidensBytesAboveAsciiWithoutCodePageConversion)
{
    QueryRequest request;
    ASSERT_EQ(Read("\\caf\xE9.sdf\r\n_\r\nSELECT '\xFF\x80'\r\n", request), QueryFileResult::Ok);
    EXPECT_EQ(request.databasePath, u"\\caf\u00E9.sdf");
    EXPECT_EQ(request.requestText, u"SELECT '\u00FF\u0080'");
}

TEST(QueryFileReader, ReportsEachMissingLineEndDistinctly)
{
    QueryRequest request;
    EXPECT_EQ(Read(Bytes16(u"\\a.sdf"), request), QueryFileResult::NoFilename);
    EXPECT_EQ(Read(Bytes16(u"\\a.sdf\r\n_"), request), QueryFileResult::NoPassword);
    EXPECT_EQ(request.databasePath, u"\\a.sdf");
    EXPECT_EQ(Read(Bytes16(u"\\a.sdf\r\n_\r\nSELECT 1"), request), QueryFileResult::NoQuery);
    EXPECT_EQ(Read("\\a.sdf\r\n\r\nSELECT 1", request), QueryFileResult::NoQuery);
    // A lone CR or LF is not a line end.
    EXPECT_EQ(Read(Bytes16(u"\\a.sdf\r\n_\r\nSELECT 1\n\r"), request), QueryFileResult::NoQuery);
}

TEST(QueryFileReader, GivesTheThreeMessagesWithThePath)
{
    EXPECT_EQ(QueryFileMessage(QueryFileResult::NotFound, kQueryPath),
        u"Query file: \"\\Quorvane\\SQLquery.txt\" doesn't exist.");
    EXPECT_EQ(QueryFileMessage(QueryFileResult::NoFilename, kQueryPath),
        u"Query file: \"\\Quorvane\\SQLquery.txt\" doesn't contain a filename.");
    EXPECT_EQ(QueryFileMessage(QueryFileResult::NoPassword, kQueryPath),
        u"Query file: \"\\Quorvane\\SQLquery.txt\" doesn't contain a password.");
    EXPECT_EQ(QueryFileMessage(QueryFileResult::NoQuery, kQueryPath),
        u"Query file: \"\\Quorvane\\SQLquery.txt\" doesn't contain an SQL Query.");
    EXPECT_EQ(QueryFileMessage(QueryFileResult::Ok, kQueryPath), u"");
}

TEST(QueryFileReader, KeepsALoneLineBreakCodeAndDecodesOnlyPairs)
{
    QueryRequest request;
    ASSERT_EQ(Read(Bytes16(u"\\a\r\n_\r\nA\u001DB\u001EC\u001D\u001D\u001E\u001D\r\n"), request),
        QueryFileResult::Ok);
    EXPECT_EQ(request.requestText, u"A\u001DB\u001EC\u001D\r\n\u001D");
}

TEST(QueryFileReader, EmptyAndTinyFilesAreUtf16WithoutLines)
{
    QueryRequest request;
    EXPECT_EQ(Read("", request), QueryFileResult::NoFilename);
    EXPECT_TRUE(LooksLikeUtf16(AsSpan(std::string("\x41\x42\x43"))));
    EXPECT_EQ(DecodeQueryFileText(AsSpan(std::string("\x41\x42\x43"))), u"\u4241");
    EXPECT_EQ(Read("\r\n\r", request), QueryFileResult::NoFilename);
}

TEST(QueryFileReader, DetectsUtf16OnlyFromTheFirstHalf)
{
    // 8 bytes: the odd offsets below 4 are 1 and 3.
    const std::string firstHalfZero("a\0b\0c\x01\x02\x03", 8);
    EXPECT_TRUE(LooksLikeUtf16(AsSpan(firstHalfZero)));
    const std::string oddByteSet("a\0b\x01"
                                 "c\0d\0",
        8);
    EXPECT_FALSE(LooksLikeUtf16(AsSpan(oddByteSet)));
}

TEST(QueryFileReader, OddByteCountDropsTheLastByte)
{
    QueryRequest request;
    std::string bytes = Bytes16(u"\\a\r\n_\r\nx\r\n");
    bytes += 'Z';
    ASSERT_EQ(Read(bytes, request), QueryFileResult::Ok);
    EXPECT_EQ(request.requestText, u"x");
    // Cut inside the final LF: the request has no line end any more.
    std::string truncated = Bytes16(u"\\a\r\n_\r\nx\r\n");
    truncated.pop_back();
    EXPECT_EQ(Read(truncated, request), QueryFileResult::NoQuery);
}

TEST(QueryFileReader, AByteOrderMarkMakesTheFileEightBitAndUnreadable)
{
    QueryRequest request;
    std::string bytes = "\xFF\xFE" + Bytes16(u"\\a.sdf\r\n_\r\nx\r\n");
    EXPECT_FALSE(LooksLikeUtf16(AsSpan(bytes)));
    EXPECT_EQ(Read(bytes, request), QueryFileResult::NoFilename);
}

TEST(QueryFileReader, ReadsOnlyTheFirst20000Bytes)
{
    // Exactly 20,000 bytes with the final CR LF in place, then one byte more.
    std::string bytes;
    ASSERT_EQ(BuildQueryFile(u"\\a", u"", std::u16string(9991, u'x'), bytes), QueryFileBuild::Ok);
    bytes += '!';
    ASSERT_EQ(bytes.size(), 20001u);
    QueryRequest request;
    ASSERT_EQ(Read(bytes, request), QueryFileResult::Ok);
    EXPECT_EQ(request.requestText, std::u16string(9991, u'x'));

    // One character more pushes the final LF beyond the limit.
    std::string longer = Bytes16(u"\\a\r\n_\r\n" + std::u16string(9992, u'x') + u"\r\n");
    ASSERT_EQ(longer.size(), 20002u);
    EXPECT_EQ(Read(longer, request), QueryFileResult::NoQuery);
}

TEST(QueryFileReader, KeepsAtMost10000WidenedCharacters)
{
    const std::string head = "\\a\r\n\r\n";
    QueryRequest request;
    std::string fits = head + std::string(10000 - head.size() - 2, 'x') + "\r\n";
    ASSERT_EQ(fits.size(), 10000u);
    ASSERT_EQ(Read(fits, request), QueryFileResult::Ok);
    EXPECT_EQ(request.requestText.size(), 10000 - head.size() - 2);
    std::string tooLong = head + std::string(10000 - head.size() - 1, 'x') + "\r\n";
    EXPECT_EQ(Read(tooLong, request), QueryFileResult::NoQuery);
}

TEST(QueryFileReader, TextEndsAtTheFirstNul)
{
    QueryRequest request;
    EXPECT_EQ(Read(Bytes16(std::u16string(u"\\a\r\n_\r\nx\0y\r\n", 11)), request), QueryFileResult::NoQuery);
    EXPECT_EQ(Read(std::string("\\a\0\r\n\r\nx\r\n", 10), request), QueryFileResult::NoFilename);
}

} // namespace
} // namespace exchange
