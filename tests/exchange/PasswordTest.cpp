#include "exchange/Password.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

TEST(Password, ScramblingExchangesBitsZeroToTwoWithThreeToFive)
{
    // 'a' = 0x61 = 01 100 001 -> 01 001 100 = 0x4C 'L'.
    EXPECT_EQ(ScrambleChar(u'a'), u'L');
    EXPECT_EQ(ScrambleChar(0x0007), 0x0038);
    EXPECT_EQ(ScrambleChar(0xFFC7), 0xFFF8);
    EXPECT_EQ(ScramblePassword(u"abc"), u"_LT\\");
    EXPECT_EQ(ScramblePassword(u""), u"_");
}

TEST(Password, ScramblingIsItsOwnInverseForEveryCharacter)
{
    for (unsigned c = 0; c <= 0xFFFF; ++c)
        ASSERT_EQ(ScrambleChar(ScrambleChar(static_cast<char16_t>(c))), c) << c;
}

TEST(Password, CharactersAboveAsciiSurviveScramblingAndUnscrambling)
{
    const std::u16string password = u"p\u00E4ss\u20AC\U0001F511";
    const std::u16string scrambled = ScramblePassword(password);
    EXPECT_EQ(scrambled[2], ScrambleChar(u'\u00E4'));
    EXPECT_EQ(UnscramblePassword(scrambled), password);
}

TEST(Password, UnscramblingFollowsTheUnderscoreRules)
{
    EXPECT_EQ(UnscramblePassword(u""), u"");
    EXPECT_EQ(UnscramblePassword(u"_"), u"");
    EXPECT_EQ(UnscramblePassword(u"_LT\\"), u"abc");
    // Without the leading "_" the same characters are a plain password.
    EXPECT_EQ(UnscramblePassword(u"LT\\"), u"LT\\");
    EXPECT_EQ(UnscramblePassword(u"secret_"), u"secret_");
    // A plain password that happens to begin with "_" cannot be told apart.
    EXPECT_EQ(UnscramblePassword(u"__"), std::u16string(1, ScrambleChar(u'_')));
}

} // namespace
} // namespace exchange
