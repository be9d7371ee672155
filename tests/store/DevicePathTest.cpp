#include "platform/store/DevicePath.h"

#include <gtest/gtest.h>

using store::DevicePath;
using store::ParseDevicePath;
using store::PathKind;

namespace {

std::u16string Normal(std::u16string_view path, PathKind kind = PathKind::Name)
{
    DevicePath p;
    DWORD error = ParseDevicePath(path, kind, &p);
    if (error != ERROR_SUCCESS)
        return u"error " + std::u16string(1, char16_t(u'0' + error % 10));
    return p.Text();
}

DWORD ErrorOf(std::u16string_view path, PathKind kind = PathKind::Name)
{
    DevicePath p;
    return ParseDevicePath(path, kind, &p);
}

TEST(DevicePath, DotDotChainsStopAtTheRoot)
{
    EXPECT_EQ(Normal(u"\\..\\..\\..\\etc\\passwd"), u"\\etc\\passwd");
    EXPECT_EQ(Normal(u"\\a\\b\\..\\..\\..\\c"), u"\\c");
    EXPECT_EQ(Normal(u"\\a\\.\\b\\..\\c"), u"\\a\\c");
    EXPECT_EQ(Normal(u"\\.."), u"\\");
    EXPECT_EQ(Normal(u"..\\x"), u"\\x");
}

TEST(DevicePath, EmptyComponentsAndMissingLeadingBackslashAreTolerated)
{
    EXPECT_EQ(Normal(u"\\\\a\\\\\\b\\"), u"\\a\\b");
    EXPECT_EQ(Normal(u"My Documents\\x.txt"), u"\\My Documents\\x.txt");
    EXPECT_EQ(Normal(u""), u"\\");
    EXPECT_EQ(Normal(u"\\"), u"\\");
}

TEST(DevicePath, TrailingDotsAndSpacesAreDroppedLikeWindows)
{
    EXPECT_EQ(Normal(u"\\a.txt."), u"\\a.txt");
    EXPECT_EQ(Normal(u"\\dir. \\f  "), u"\\dir\\f");
    EXPECT_EQ(ErrorOf(u"\\. .\\f"), ERROR_INVALID_NAME);
    EXPECT_EQ(ErrorOf(u"\\..."), ERROR_INVALID_NAME);
}

TEST(DevicePath, EveryCharacterWindowsForbidsGivesInvalidName)
{
    for (char16_t c : std::u16string(u"<>:\"/|?*")) {
        std::u16string path = u"\\a";
        path += c;
        path += u"b";
        EXPECT_EQ(ErrorOf(path), ERROR_INVALID_NAME) << char(c);
    }
    for (char16_t c = 1; c < 0x20; ++c)
        EXPECT_EQ(ErrorOf(std::u16string(u"\\x") + c), ERROR_INVALID_NAME) << int(c);
    EXPECT_EQ(ErrorOf(std::u16string(u"\\a\0b", 4)), ERROR_INVALID_NAME);
    EXPECT_EQ(ErrorOf(std::u16string(u"\\a") + char16_t(0xD800)), ERROR_INVALID_NAME);
    EXPECT_EQ(ErrorOf(std::u16string(u"\\a") + char16_t(0xDC00) + u"b"), ERROR_INVALID_NAME);
    // A well-formed pair is fine.
    EXPECT_EQ(ErrorOf(std::u16string(u"\\a") + char16_t(0xD83D) + char16_t(0xDE00)), ERROR_SUCCESS);
}

TEST(DevicePath, WildcardsOnlyInTheLastComponentOfAPattern)
{
    EXPECT_EQ(ErrorOf(u"\\a\\*.txt", PathKind::Pattern), ERROR_SUCCESS);
    EXPECT_EQ(ErrorOf(u"\\a\\*.txt", PathKind::Name), ERROR_INVALID_NAME);
    EXPECT_EQ(ErrorOf(u"\\*\\b", PathKind::Pattern), ERROR_INVALID_NAME);
    DevicePath p;
    ASSERT_EQ(ParseDevicePath(u"\\a\\*.", PathKind::Pattern, &p), ERROR_SUCCESS);
    EXPECT_TRUE(p.wildcard);
    EXPECT_EQ(p.Text(), u"\\a\\*.");
    ASSERT_EQ(ParseDevicePath(u"\\a\\b", PathKind::Pattern, &p), ERROR_SUCCESS);
    EXPECT_FALSE(p.wildcard);
}

TEST(DevicePath, OverlongComponentsAndPathsAreRefused)
{
    std::u16string c255(255, u'x'), c256(256, u'x');
    EXPECT_EQ(ErrorOf(u"\\" + c255), ERROR_SUCCESS);
    EXPECT_EQ(ErrorOf(u"\\" + c256), ERROR_FILENAME_EXCED_RANGE);
    // 259 units in all is the longest path.
    std::u16string ok = u"\\" + std::u16string(200, u'a') + u"\\" + std::u16string(57, u'b');
    ASSERT_EQ(ok.size(), 259u);
    EXPECT_EQ(ErrorOf(ok), ERROR_SUCCESS);
    EXPECT_EQ(ErrorOf(ok + u"c"), ERROR_PATH_NOT_FOUND);
    // Length counts after "..": a long detour that comes back is fine.
    EXPECT_EQ(ErrorOf(u"\\" + c255 + u"\\..\\x"), ERROR_SUCCESS);
    EXPECT_EQ(ErrorOf(std::u16string(40000, u'\\')), ERROR_FILENAME_EXCED_RANGE);
}

TEST(DevicePath, ValidComponents)
{
    EXPECT_TRUE(store::IsValidComponent(u"My Documents"));
    EXPECT_TRUE(store::IsValidComponent(u"a.b.c"));
    EXPECT_FALSE(store::IsValidComponent(u""));
    EXPECT_FALSE(store::IsValidComponent(u".."));
    EXPECT_FALSE(store::IsValidComponent(u"a\\b"));
    EXPECT_FALSE(store::IsValidComponent(u"trail."));
    EXPECT_FALSE(store::IsValidComponent(u"trail "));
    EXPECT_FALSE(store::IsValidComponent(u"a?"));
}

TEST(DevicePattern, WindowsWildcardRules)
{
    using store::MatchesPattern;
    EXPECT_TRUE(MatchesPattern(u"*", u"anything.txt"));
    EXPECT_TRUE(MatchesPattern(u"*.*", u"noext"));
    EXPECT_TRUE(MatchesPattern(u"*.SDF", u"northwind.sdf"));
    EXPECT_FALSE(MatchesPattern(u"*.sdf", u"northwind.sdf.bak"));
    EXPECT_TRUE(MatchesPattern(u"a?c", u"abc"));
    EXPECT_FALSE(MatchesPattern(u"a?c", u"ac"));
    EXPECT_TRUE(MatchesPattern(u"abc.*", u"ABC"));
    EXPECT_TRUE(MatchesPattern(u"*.", u"README"));
    EXPECT_FALSE(MatchesPattern(u"*.", u"a.txt"));
    EXPECT_TRUE(MatchesPattern(u"*a*b*", u"xxAyyBzz"));
    EXPECT_FALSE(MatchesPattern(u"*a*b", u"xxAyyBzz"));
    // Non-ASCII letters fold too.
    EXPECT_TRUE(MatchesPattern(u"ÄRGER*", u"ärger.txt"));
    EXPECT_TRUE(MatchesPattern(u"σ*", u"Σίσυφος"));
}

} // namespace
