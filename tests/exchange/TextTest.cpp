#include "exchange/Text.h"
#include "exchange/CaseFold.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

TEST(Utf8Conversion, RoundTripsBasicAndSupplementaryCharacters)
{
    const std::u16string text = u"a\u00E9\u20AC\U0001F600z";
    EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}

TEST(Utf8Conversion, LoneSurrogatesBecomeReplacementCharacters)
{
    const std::u16string loneHigh = { u'a', char16_t(0xD83D), u'b' };
    const std::u16string loneLow = { char16_t(0xDE00), u'c' };
    const std::u16string highAtEnd = { u'x', char16_t(0xD800) };
    EXPECT_EQ(ToUtf8(loneHigh),
        "a\xEF\xBF\xBD"
        "b");
    EXPECT_EQ(ToUtf8(loneLow),
        "\xEF\xBF\xBD"
        "c");
    EXPECT_EQ(ToUtf8(highAtEnd), "x\xEF\xBF\xBD");
}

TEST(Utf8Conversion, MalformedInputGivesOneReplacementPerFault)
{
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
        u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC0\x80"), u"\uFFFD\uFFFD"); // overlong lead is never valid
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD"); // overlong three-byte form
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD"); // encoded surrogate
    EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD"); // truncated tail
    EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD"); // above U+10FFFF
    EXPECT_EQ(FromUtf8("\xE2(x"), u"\uFFFD(x");
}

// Host file names must round-trip exactly: whatever the lenient conversions
// would replace, the strict ones refuse whole, and the rest they convert alike.
TEST(Utf8Conversion, StrictFormsRefuseWhatTheLenientOnesReplace)
{
    for (const char* bad :
        { "a\xFF", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80" })
        EXPECT_FALSE(FromUtf8Strict(bad)) << bad;
    EXPECT_FALSE(ToUtf8Strict(std::u16string { u'a', char16_t(0xD83D) }));
    EXPECT_FALSE(ToUtf8Strict(std::u16string { char16_t(0xDE00), u'c' }));
    const std::u16string good = u"a\u00E9\u20AC\U0001F600\uFFFDz";
    EXPECT_EQ(ToUtf8Strict(good), ToUtf8(good));
    EXPECT_EQ(FromUtf8Strict(ToUtf8(good)), good);
}

// One fold for file and registry names: Unicode upper case per code point,
// pairs folded as one, lone surrogates and plane changes left alone.
TEST(CaseFold, FoldsCodePointsAndKeepsTheLength)
{
    EXPECT_EQ(FoldCase(u"a\u00E4\u03C9\u044F\U00010428z"), U"A\u00C4\u03A9\u042F\U00010400Z");
    EXPECT_EQ(
        FoldCase(std::u16string { u'x', char16_t(0xD801) }), (std::u32string { U'X', char32_t(0xD801) }));
    // U+0131 (dotless i) upper-cases to ASCII I; the sharp s has no one-unit upper form.
    EXPECT_EQ(FoldCase(char32_t(0x0131)), U'I');
    EXPECT_EQ(FoldCase(char32_t(0x00DF)), char32_t(0x00DF));
}

TEST(Utf16Bytes, AreLittleEndianWithoutMarkAndDropAnOddTail)
{
    EXPECT_EQ(ToUtf16LeBytes(u"A\u20AC"), std::string("A\0\xAC\x20", 4));
    EXPECT_EQ(FromUtf16LeBytes(std::string_view("A\0B\0C", 5)), u"AB");
    EXPECT_EQ(WidenLatin1("\xE9\x01"), u"\u00E9\u0001");
}

TEST(AsciiCase, ComparesOnlyAsciiLettersCaseInsensitively)
{
    EXPECT_TRUE(EqualsIgnoreAsciiCase(u"-TEST", u"-test"));
    EXPECT_TRUE(EqualsIgnoreAsciiCase(u"Schema-Ascii", u"SCHEMA-ASCII"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase(u"-test", u"-tests"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase(u"\u00E9", u"\u00C9")); // only a-z fold
    EXPECT_EQ(ToUpperAscii(u"select * from t\u00E9"), u"SELECT * FROM T\u00E9");
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning)
{
    EXPECT_EQ(ReplaceAll(u"a\\b\\c", u"\\", u"_"), u"a_b_c");
    EXPECT_EQ(ReplaceAll(u"aaa", u"aa", u"a"), u"aa");
    EXPECT_EQ(ReplaceAll(u"x2003y2003", u"2003", u"2005"), u"x2005y2005");
    EXPECT_EQ(ReplaceAll(u"abc", u"", u"z"), u"abc");
    EXPECT_TRUE(Contains(u"RENAME TABLE a", u"RENAME TABLE "));
    EXPECT_FALSE(Contains(u"rename table a", u"RENAME TABLE "));
}

TEST(Format, FillsTheSystemsFixedFormats)
{
    EXPECT_EQ(Format(u"Query file: \"%s\" doesn't exist.", u"\\Quorvane\\SQLquery.txt"),
        u"Query file: \"\\Quorvane\\SQLquery.txt\" doesn't exist.");
    EXPECT_EQ(Format(u"%d:%02d:%02d - %s", 9, 5, 7, "Running..."), u"9:05:07 - Running...");
    EXPECT_EQ(Format(u"%03d", 7), u"007");
    EXPECT_EQ(Format(u"%03d", 1000), u"1000");
    EXPECT_EQ(Format(u"Row %d of %d", 1, 120), u"Row 1 of 120");
    EXPECT_EQ(Format(u"%c%lu bytes", u'\u0006', 123456789012ULL), u"\u0006123456789012 bytes");
    EXPECT_EQ(Format(u"100%%"), u"100%");
}

TEST(Format, HandlesWidthsSignsAndPrecision)
{
    EXPECT_EQ(Format(u"[%5d]", -42), u"[  -42]");
    EXPECT_EQ(Format(u"[%05d]", -42), u"[-0042]");
    EXPECT_EQ(Format(u"[%-5d]", 42), u"[42   ]");
    EXPECT_EQ(Format(u"[%+d]", 42), u"[+42]");
    EXPECT_EQ(Format(u"%d", -9223372036854775807LL - 1), u"-9223372036854775808");
    EXPECT_EQ(Format(u"%u", 4294967295U), u"4294967295");
    EXPECT_EQ(Format(u"%x %X %08X", 255, 255, 0xBEEF), u"ff FF 0000BEEF");
    EXPECT_EQ(Format(u"%f", 2.5), u"2.500000");
    EXPECT_EQ(Format(u"%.2f", 1.235), u"1.24"); // 1.235 is stored a little above
    EXPECT_EQ(Format(u"%.0f", 2.5), u"2"); // round half to even, like printf
    EXPECT_EQ(Format(u"%f", -0.0), u"-0.000000");
    EXPECT_EQ(Format(u"%f", 1e300).size(), 301u + 7u);
    EXPECT_EQ(Format(u"[%.3s|%6s]", u"abcdef", u"ab"), u"[abc|    ab]");
}

TEST(Format, IsDefinedForMissingOrMismatchedArguments)
{
    EXPECT_EQ(Format(u"a%sb%dc"), u"abc");
    EXPECT_EQ(Format(u"%s", 12), u"12");
    EXPECT_EQ(Format(u"%d", u"text"), u"0");
    EXPECT_EQ(Format(u"%q%"), u"%q%");
    EXPECT_EQ(Format(u"%d", 1e300), u"9223372036854775807");
}

} // namespace
} // namespace exchange
