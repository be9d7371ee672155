#include "exchange/ValueText.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace exchange {
namespace {

std::vector<std::uint8_t> Le(std::uint64_t value, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

std::vector<std::uint8_t> Utf16(std::u16string_view text)
{
    std::string bytes = ToUtf16LeBytes(text);
    return { bytes.begin(), bytes.end() };
}

TEST(FormatReal, TrimsZerosThenThePointAndUsesTheDecimalPointCharacter)
{
    EXPECT_EQ(FormatReal(2.5, u","), u"2,5\t");
    EXPECT_EQ(FormatReal(2.5, u"ab"), u"2.5\t"); // two characters: ignored
    EXPECT_EQ(FormatReal(2.5, u""), u"2.5\t");
    EXPECT_EQ(FormatReal(3.0, u","), u"3\t");
    EXPECT_EQ(FormatReal(100.0, u"."), u"100\t"); // only fraction zeros go
    EXPECT_EQ(FormatReal(0.0, u"."), u"0\t");
    EXPECT_EQ(FormatReal(-1.25, u"."), u"-1.25\t");
    EXPECT_EQ(FormatReal(0.1, u"."), u"0.1\t");
    EXPECT_EQ(FormatReal(1.0 / 3.0, u"."), u"0.333333\t");
    EXPECT_EQ(FormatReal(0.0000004, u"."), u"0\t"); // six decimals only
    EXPECT_EQ(FormatReal(-0.0000004, u"."), u"-0\t"); // "%f" keeps the sign
    EXPECT_EQ(FormatReal(1e20, u"."), u"100000000000000000000\t");
}

TEST(FormatReal, PrintsInfinitiesAndNanWithoutDecimals)
{
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity(), u","), u"inf\t");
    EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity(), u","), u"-inf\t");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN(), u","), u"nan\t");
}

TEST(ValueText, IntegersBoolsAndCurrency)
{
    EXPECT_EQ(FormatInteger(-32768), u"-32768\t");
    EXPECT_EQ(FormatInteger(9223372036854775807LL), u"9223372036854775807\t");
    EXPECT_EQ(FormatBool(0), u"false\t");
    EXPECT_EQ(FormatBool(0xFF), u"true\t");
    EXPECT_EQ(FormatCurrency(123456, u","), u"12,3456\t");
    EXPECT_EQ(FormatCurrency(-50000, u"."), u"-5\t");
}

TEST(ValueText, GuidKeepsStorageOrderInUpperCase)
{
    const std::array<std::uint8_t, 16> guid
        = { 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFF };
    EXPECT_EQ(FormatGuid(guid), u"{01234567-89AB-CDEF-0011-2233445566FF}\t");
}

TEST(ValueText, NumericIsTheUnscaledValueOverTenToTheScale)
{
    DbNumeric numeric;
    numeric.scale = 2;
    numeric.sign = 1;
    numeric.value[0] = 0x39; // 12345 = 0x3039
    numeric.value[1] = 0x30;
    EXPECT_EQ(FormatNumeric(numeric, u","), u"123,45\t");
    numeric.sign = 0;
    EXPECT_EQ(FormatNumeric(numeric, u"."), u"-123.45\t");
    numeric.scale = 0;
    numeric.value = {};
    numeric.value[8] = 1; // 2^64
    numeric.sign = 1;
    EXPECT_EQ(FormatNumeric(numeric, u"."), u"18446744073709551616\t");
}

TEST(ValueText, TimestampHasTwoSpacesAndNoFraction)
{
    DbTimestamp stamp { 2024, 3, 7, 9, 5, 0, 999999999 };
    EXPECT_EQ(FormatTimestamp(stamp), u"2024/03/07  09:05:00\t");
}

TEST(ValueText, AutomationDatesUseTheDateTimeText)
{
    EXPECT_EQ(FormatOleDate(0.0), u"1899/12/30  00:00:00\t");
    EXPECT_EQ(FormatOleDate(45358.25), u"2024/03/07  06:00:00\t");
    EXPECT_EQ(FormatOleDate(-1.5), u"1899/12/29  12:00:00\t");
    EXPECT_EQ(FormatOleDate(1.99999999), u"1900/01/01  00:00:00\t"); // rounds into the next day
    EXPECT_EQ(FormatOleDate(1e9), u"1000000000\t");
    EXPECT_EQ(FormatOleDate(std::nan("")), u"nan\t");
}

TEST(ValueText, StrAndWstrReplaceLineBreaksAndTabsDifferently)
{
    EXPECT_EQ(FormatStrValue(u"a\r\nb\tc\rd\ne"), u"a\u001D\u001Eb\tc\rd\ne\t");
    EXPECT_EQ(FormatWstrValue(u"a\r\nb\tc\rd\ne"), u"a\u001D\u001Eb\u0007c\rd\ne\t");
}

TEST(ValueText, PlaceholdersAndFixedTexts)
{
    EXPECT_EQ(FormatBinaryPlaceholder(0), u"\u00060 bytes\t");
    EXPECT_EQ(FormatBinaryPlaceholder(5000000000ULL), u"\u00065000000000 bytes\t");
    EXPECT_EQ(FormatNull(), u"(null)\t");
    EXPECT_EQ(FormatBlobUnavailable(), u"<BLOB>\t");
    EXPECT_EQ(FormatFirstFourBytes(Le(0xFFFFFFFEULL, 8)), u"-2\t");
    EXPECT_EQ(FormatFirstFourBytes(Le(0x0102, 2)), u"258\t"); // missing bytes read as 0
}

TEST(LongValue, TextTestAcceptsLatin1TabsAndLineBreaksOnly)
{
    EXPECT_TRUE(IsLongValueText(Utf16(u"a\tb\r\nc\u00FF ")));
    EXPECT_FALSE(IsLongValueText(Utf16(u"")));
    EXPECT_FALSE(IsLongValueText(Utf16(u"a\u0100"))); // a set odd byte
    EXPECT_FALSE(IsLongValueText(Utf16(u"a\u001F"))); // a control character
    EXPECT_FALSE(IsLongValueText(Utf16(u"a\u0007")));
    std::vector<std::uint8_t> odd = Utf16(u"ab");
    odd.push_back('c');
    EXPECT_FALSE(IsLongValueText(odd)); // not whole UTF-16 units
}

TEST(LongValue, TextIsEncodedAndOtherBytesCounted)
{
    EXPECT_EQ(FormatLongValue(Utf16(u"x\r\ny\tz"), 10), u"x\u001D\u001Ey\u0008z\t");
    EXPECT_EQ(FormatLongValue(Utf16(u"\u4E2D"), 70000), u"\u000670000 bytes\t");
    EXPECT_EQ(FormatLongValue({}, 0), u"(null)\t");
    EXPECT_EQ(FormatLongValue({}, 20480), u"\u000620480 bytes\t");
}

TEST(LongValue, RetainsWholeChunksBelow20000BytesAndCountsAll)
{
    LongValueBuffer buffer;
    const std::vector<std::uint8_t> chunk(4096, 'a');
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(buffer.AddChunk(chunk));
    EXPECT_EQ(buffer.retained().size(), 16384u);
    EXPECT_TRUE(buffer.AddChunk(chunk)); // 20,480 would not stay below 20,000
    EXPECT_EQ(buffer.retained().size(), 16384u);
    // A short last chunk that would fit is not kept either: the retained
    // bytes stay the value's beginning.
    EXPECT_FALSE(buffer.AddChunk(std::vector<std::uint8_t>(100, 'b')));
    EXPECT_EQ(buffer.retained().size(), 16384u);
    EXPECT_EQ(buffer.total(), 5u * 4096u + 100u);
    buffer.Clear();
    EXPECT_EQ(buffer.total(), 0u);
    EXPECT_TRUE(buffer.retained().empty());
}

TEST(LongValue, TheRetainedBytesStayStrictlyBelow20000)
{
    const std::vector<std::uint8_t> chunk(4096, 'a');
    for (const std::size_t last : { std::size_t(3615), std::size_t(3616) }) {
        LongValueBuffer buffer;
        for (int i = 0; i < 4; ++i)
            buffer.AddChunk(chunk);
        EXPECT_FALSE(buffer.AddChunk(std::vector<std::uint8_t>(last, 'b')));
        EXPECT_EQ(buffer.total(), 16384u + last);
        // 19,999 bytes are kept whole; 20,000 would reach the limit.
        EXPECT_EQ(buffer.retained().size(), last == 3615 ? 19999u : 16384u) << last;
    }
}

TEST(LongValue, StopsReadingAfterAChunkOf4093BytesOrLess)
{
    LongValueBuffer buffer;
    EXPECT_TRUE(buffer.AddChunk(std::vector<std::uint8_t>(4094, 0)));
    EXPECT_FALSE(buffer.AddChunk(std::vector<std::uint8_t>(4093, 0)));
    EXPECT_EQ(buffer.retained().size(), 8187u); // stays below 20,000 with both
}

TEST(FormatValue, NullStatusWinsOverTheValue)
{
    const std::vector<std::uint8_t> value = Le(7, 4);
    EXPECT_EQ(FormatValue(kDbI4, value, 3, u"."), u"(null)\t");
    EXPECT_EQ(FormatValue(kDbI4, value, 1, u"."), u"(null)\t");
    EXPECT_EQ(FormatValue(kDbI4, value, 2, u"."), u"(null)\t");
    EXPECT_EQ(FormatValue(kDbI4, value, 4, u"."), u"7\t");
}

TEST(FormatValue, ReadsEachBoundTypeFromItsBytes)
{
    const char16_t* dp = u",";
    EXPECT_EQ(FormatValue(kDbI2, Le(0xFFFF, 2), 0, dp), u"-1\t");
    EXPECT_EQ(FormatValue(kDbI4, Le(0x80000000, 4), 0, dp), u"-2147483648\t");
    EXPECT_EQ(FormatValue(kDbUI1, Le(0xFF, 1), 0, dp), u"255\t");
    EXPECT_EQ(FormatValue(kDbI8, Le(0x8000000000000000ULL, 8), 0, dp), u"-9223372036854775808\t");
    EXPECT_EQ(FormatValue(kDbR4, Le(0x40200000, 4), 0, dp), u"2,5\t"); // 2.5f
    EXPECT_EQ(FormatValue(kDbR8, Le(0x4004000000000000ULL, 8), 0, dp), u"2,5\t"); // 2.5
    EXPECT_EQ(FormatValue(kDbCurrency, Le(25000, 8), 0, dp), u"2,5\t");
    EXPECT_EQ(FormatValue(kDbBool, Le(0xFFFF, 2), 0, dp), u"true\t");
    EXPECT_EQ(FormatValue(kDbBool, Le(0x0000, 2), 0, dp), u"false\t");
    EXPECT_EQ(FormatValue(kDbWStr, Utf16(u"a\tb"), 0, dp), u"a\u0007b\t");
    EXPECT_EQ(FormatValue(kDbWStr, Utf16(std::u16string(u"ab\0junk", 7)), 0, dp), u"ab\t");
    const std::vector<std::uint8_t> str = { 'x', '\r', '\n', 0xE9, 0, 'z' };
    EXPECT_EQ(FormatValue(kDbStr, str, 0, dp), u"x\u001D\u001E\u00E9\t");
    EXPECT_EQ(FormatValue(kDbBytes, std::vector<std::uint8_t>(37, 0xAB), 0, dp), u"\u000637 bytes\t");
    EXPECT_EQ(FormatValue(999, Le(42, 4), 0, dp), u"42\t");
    EXPECT_EQ(FormatValue(kDbLongValue, Utf16(u"t"), 3, dp), u"t\t"); // long data ignores the status
}

TEST(FormatValue, ReadsStructuredTypesFieldByField)
{
    std::vector<std::uint8_t> stamp;
    for (std::uint16_t field : { 2005, 12, 31, 23, 59, 58 })
        for (std::uint8_t b : Le(field, 2))
            stamp.push_back(b);
    for (std::uint8_t b : Le(5, 4))
        stamp.push_back(b);
    EXPECT_EQ(FormatValue(kDbTimestamp, stamp, 0, u"."), u"2005/12/31  23:59:58\t");

    std::vector<std::uint8_t> numeric(kDbNumericBytes, 0);
    numeric[0] = 10; // precision
    numeric[1] = 3; // scale
    numeric[2] = 0; // negative
    numeric[3] = 0xD2; // 1234
    numeric[4] = 0x04;
    EXPECT_EQ(FormatValue(kDbNumeric, numeric, 0, u"."), u"-1.234\t");

    std::vector<std::uint8_t> guid(16);
    for (std::size_t i = 0; i < guid.size(); ++i)
        guid[i] = static_cast<std::uint8_t>(i * 17);
    EXPECT_EQ(FormatValue(kDbGuid, guid, 0, u"."), u"{00112233-4455-6677-8899-AABBCCDDEEFF}\t");
    EXPECT_EQ(FormatValue(kDbGuid, {}, 0, u"."), u"{00000000-0000-0000-0000-000000000000}\t");

    EXPECT_EQ(
        FormatValue(kDbDate, Le(0x40E1A82000000000ULL, 8), 0, u"."), u"1999/01/01  00:00:00\t"); // 36161.0
}

TEST(TypesLine, MapsTypeCodesToTheFourWords)
{
    EXPECT_EQ(TypesLineWord(kDbI2), u"int");
    EXPECT_EQ(TypesLineWord(kDbR4), u"real");
    EXPECT_EQ(TypesLineWord(kDbR8), u"real");
    EXPECT_EQ(TypesLineWord(kDbCurrency), u"int");
    EXPECT_EQ(TypesLineWord(kDbTimestamp), u"datetime");
    EXPECT_EQ(TypesLineWord(kDbDate), u"datetime");
    EXPECT_EQ(TypesLineWord(kDbStr), u"nvarchar");
    EXPECT_EQ(TypesLineWord(kDbWStr), u"nvarchar");
    EXPECT_EQ(TypesLineWord(kDbLongValue), u"int");
    EXPECT_EQ(TypesLineWord(kDbGuid), u"int");
    EXPECT_EQ(TypesLineWord(kDbI8), u"int");
}

} // namespace
} // namespace exchange
