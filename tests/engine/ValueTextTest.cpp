// Texts the engine reads values from: date-times in the forms users type and
// the agent prints, unique identifiers and bits; and the statement tokenizer
// with its translation to SQLite's dialect.
#include "engine/DateTimeText.h"
#include "engine/GuidText.h"
#include "engine/SqlTokenizer.h"
#include "engine/StatementText.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace enginetest {
namespace {

using namespace engine::detail;

std::string Parsed(const std::string& text)
{
    DateTime v;
    if (!ParseDateTime(std::string_view(text), v))
        return "invalid";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09u", v.year, v.month, v.day, v.hour,
        v.minute, v.second, v.fraction);
    return buf;
}

TEST(DateTimeText, AcceptsTheFormsUsersTypeAndTheAgentPrints)
{
    EXPECT_EQ("1962-02-18 00:00:00.000000000", Parsed("1962/2/18"));
    EXPECT_EQ("2005-12-25 10:00:00.000000000", Parsed("2005/12/25 10:00:00"));
    EXPECT_EQ("2005-12-25 10:00:00.000000000", Parsed("2005/12/25  10:00:00"));
    EXPECT_EQ("2005-12-25 10:00:00.000000000", Parsed("  2005-12-25T10:00:00 "));
    EXPECT_EQ("2005-12-25 10:00:00.123000000", Parsed("2005-12-25 10:00:00.123"));
    EXPECT_EQ("2005-12-25 10:00:59.123456789", Parsed("2005-12-25 10:00:59.1234567891"));
    EXPECT_EQ("2005-12-25 09:05:00.000000000", Parsed("2005.12.25 9:05"));
    EXPECT_EQ("2005-12-24 00:30:00.000000000", Parsed("12/24/2005 12:30 am"));
    EXPECT_EQ("2005-12-24 12:30:00.000000000", Parsed("12/24/2005 12:30PM"));
    EXPECT_EQ("2005-12-25 00:00:00.000000000", Parsed("20051225"));
    EXPECT_EQ("1900-01-01 13:14:15.000000000", Parsed("13:14:15"));
    EXPECT_EQ("2000-02-29 00:00:00.000000000", Parsed("2000/2/29"));
    EXPECT_EQ("1753-01-01 00:00:00.000000000", Parsed("1753-01-01"));
}

TEST(DateTimeText, RejectsImpossibleDatesAndOtherTexts)
{
    for (const char* bad :
        { "", "   ", "1900/2/29", "2005/13/1", "2005/0/1", "2005/4/31", "1752/12/31", "2005/12/25 24:00",
            "2005/12/25 10:60", "2005/12/25 10:00:60", "2005/12/25 13:00 PM", "2005-12/25", "2005/12/25x",
            "05/12/25", "tomorrow", "2005/12/25 10", "2005/12/25 10:00:00.", "10000/1/1" })
        EXPECT_EQ("invalid", Parsed(bad)) << bad;
}

TEST(DateTimeText, SecondKeyOrdersInstantsAndIgnoresFractions)
{
    DateTime a;
    DateTime b;
    ASSERT_TRUE(ParseDateTime(std::string_view("2005/12/25 10:00:00.9"), a));
    ASSERT_TRUE(ParseDateTime(std::string_view("2005-12-25 10:00:00"), b));
    EXPECT_EQ(SecondKey(a), SecondKey(b));
    ASSERT_TRUE(ParseDateTime(std::string_view("2005/12/25 10:00:01"), b));
    EXPECT_LT(SecondKey(a), SecondKey(b));
    ASSERT_TRUE(ParseDateTime(std::string_view("2006/1/1"), a));
    EXPECT_LT(SecondKey(b), SecondKey(a));
    EXPECT_EQ("2005-12-25 10:00:01", FormatDateTime(b));
    b.fraction = 250000000;
    EXPECT_EQ("2005-12-25 10:00:01.250", FormatDateTime(b));
}

TEST(GuidText, BytesFollowTheWrittenOrder)
{
    GuidBytes g {};
    ASSERT_TRUE(ParseGuid(std::u16string_view(u"{12345678-9ABC-DEF0-1234-56789abcdef0}"), g));
    EXPECT_EQ(0x12, g[0]);
    EXPECT_EQ(0x78, g[3]);
    EXPECT_EQ(0x9A, g[4]);
    EXPECT_EQ(0xF0, g[15]);
    EXPECT_EQ("12345678-9ABC-DEF0-1234-56789ABCDEF0", FormatGuid(g));
    ASSERT_TRUE(ParseGuid(std::string_view(" 123456789ABCDEF0123456789ABCDEF0 "), g));
    EXPECT_EQ("12345678-9ABC-DEF0-1234-56789ABCDEF0", FormatGuid(g));
    for (const char* bad :
        { "", "{}", "12345678-9ABC-DEF0-1234-56789ABCDEF", "12345678-9ABC-DEF0-1234-56789ABCDEF0G",
            "123456789-ABC-DEF0-1234-56789ABCDEF0", "{12345678-9ABC-DEF0-1234-56789ABCDEF0", "1234" })
        EXPECT_FALSE(ParseGuid(std::string_view(bad), g)) << bad;
}

TEST(GuidText, BitsReadTrueFalseAndNumbers)
{
    bool b = false;
    EXPECT_TRUE(ParseBit(std::string_view("TRUE"), b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(ParseBit(std::string_view(" false "), b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(ParseBit(std::string_view("0"), b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(ParseBit(std::string_view("-2"), b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(ParseBit(std::string_view("yes"), b));
    EXPECT_FALSE(ParseBit(std::string_view(""), b));
    EXPECT_FALSE(ParseBit(std::string_view("1.0"), b));
}

std::string Kinds(const std::u16string& text)
{
    auto r = Tokenize(text);
    std::string out;
    for (const auto& t : r.tokens) {
        static const char* names[] = { "W", "Q", "S", "N", "#", "B", "?", "." };
        out += names[static_cast<int>(t.kind)];
        out += ":";
        for (char16_t c : t.text)
            out.push_back(static_cast<char>(c));
        out += " ";
    }
    return out;
}

TEST(SqlTokenizer, RespectsLiteralsNamesAndComments)
{
    EXPECT_EQ("W:SELECT Q:[a b] .:, Q:\"c\"\"d\" .:, S:'it''s' .:, N:N'x' .:, B:0x1F .:, #:1.5e3 W:FROM W:T "
              ".:<= ?:? ",
        Kinds(u"SELECT [a b], \"c\"\"d\", 'it''s', N'x', 0x1F, 1.5e3 FROM T <= ?"));
    EXPECT_EQ("W:a .:- #:1 ", Kinds(u"a -- comment 'x\n- 1 /* [ */"));
    EXPECT_EQ("W:name .:. W:N .:= S:'x' ", Kinds(u"name.N='x'"));
    auto r = Tokenize(u"SELECT 'open");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(7u, r.errorOffset);
    EXPECT_FALSE(Tokenize(u"SELECT [open").ok);
    EXPECT_FALSE(Tokenize(u"SELECT 1 /* open").ok);
    auto names = Tokenize(u"[a]]b] \"c\"\"d\" plain");
    ASSERT_EQ(3u, names.tokens.size());
    EXPECT_EQ(u"a]b", names.tokens[0].Name());
    EXPECT_EQ(u"c\"d", names.tokens[1].Name());
    EXPECT_EQ(u"plain", names.tokens[2].Name());
}

TEST(SqlTokenizer, TranslationTouchesOnlyTheEngineForms)
{
    std::u16string text
        = u"INSERT INTO [My T] VALUES (N'a''b', 0xABC, CURRENT_TIMESTAMP, 'N''x', [c]]d]) -- N'z'";
    auto r = Tokenize(text);
    EXPECT_EQ(u"INSERT INTO \"My T\" VALUES ('a''b', X'0ABC', getdate(), 'N''x', \"c]d\") -- N'z'",
        TranslateForSqlite(text, r.tokens));
}

TEST(SqlTokenizer, LineAndOffsetCountFromOne)
{
    std::size_t line = 0;
    std::size_t offset = 0;
    LineAndOffset(u"ab\r\ncd\nef", 8, line, offset);
    EXPECT_EQ(3u, line);
    EXPECT_EQ(2u, offset);
    LineAndOffset(u"ab", 0, line, offset);
    EXPECT_EQ(1u, line);
    EXPECT_EQ(1u, offset);
}

} // namespace
} // namespace enginetest
