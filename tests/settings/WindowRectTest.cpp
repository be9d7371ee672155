#include "desktop/settings/WindowRect.h"

#include "SettingsFixture.h"

using namespace settings;

namespace {

class WindowRectTest : public SettingsFixture { };

TEST(WindowRectParse, FollowsTheStoredTextRules)
{
    struct Case {
        QString text;
        bool ok;
        WindowRect rect;
    };
    const WindowRect untouched { -1, -2, -3, -4 };
    const std::vector<Case> cases = {
        { QStringLiteral("10,20,300,400"), true, { 10, 20, 300, 400 } },
        { QStringLiteral(""), true, { 0, 0, 0, 0 } },
        { QStringLiteral("7"), true, { 7, 0, 0, 0 } },
        { QStringLiteral("1,2"), true, { 1, 2, 0, 0 } },
        { QStringLiteral("1,,3,"), true, { 1, 0, 3, 0 } },
        { QStringLiteral("007,08,0,2147483647"), true, { 7, 8, 0, 2147483647 } },
        { QStringLiteral("1,2,3,4,"), false, untouched }, // a fourth comma
        { QStringLiteral(",,,,"), false, untouched },
        { QStringLiteral("-5,0,100,100"), false, untouched }, // negative coordinates are not restored
        { QStringLiteral("1, 2,3,4"), false, untouched },
        { QStringLiteral("1,2,3,4\r\n"), false, untouched },
        { QStringLiteral("1;2;3;4"), false, untouched },
        { QStringLiteral("\u0661,2,3,4"), false, untouched }, // an Arabic-Indic digit is not a digit here
        { QStringLiteral("2147483648,0,0,0"), false, untouched },
        { QStringLiteral("99999999999999999999"), false, untouched },
    };
    for (const Case& c : cases) {
        WindowRect r = untouched;
        EXPECT_EQ(ParseWindowRect(c.text, &r), c.ok) << c.text.toStdString();
        EXPECT_EQ(r, c.rect) << c.text.toStdString();
    }
}

TEST(WindowRectParse, TextAndQRectConversions)
{
    EXPECT_EQ(WindowRectText({ 10, 20, 300, 400 }), QStringLiteral("10,20,300,400"));
    EXPECT_EQ(WindowRectText({ -5, 0, 1, 2 }), QStringLiteral("-5,0,1,2"));
    QRect q = ToQRect({ 10, 20, 300, 400 });
    EXPECT_EQ(q, QRect(10, 20, 290, 380));
    EXPECT_EQ(FromQRect(q), (WindowRect { 10, 20, 300, 400 }));
}

TEST_F(WindowRectTest, SavedRectanglesLoadBack)
{
    ASSERT_TRUE(SaveWindowRect(QStringLiteral("MainWndRect"), { 12, 34, 800, 600 }));
    QString text;
    ASSERT_TRUE(ReadString(QStringLiteral("MainWndRect"), &text));
    EXPECT_EQ(text, QStringLiteral("12,34,800,600"));
    WindowRect r;
    ASSERT_TRUE(LoadWindowRect(QStringLiteral("MainWndRect"), &r));
    EXPECT_EQ(r, (WindowRect { 12, 34, 800, 600 }));
}

TEST_F(WindowRectTest, MissingOrNegativeRectanglesKeepTheDefaultPlace)
{
    const WindowRect defaults { 100, 100, 500, 400 };
    WindowRect r = defaults;
    EXPECT_FALSE(LoadWindowRect(QStringLiteral("TableRect"), &r));
    EXPECT_EQ(r, defaults);
    ASSERT_TRUE(SaveWindowRect(QStringLiteral("TableRect"), { -8, -8, 1032, 776 })); // a maximised window
    EXPECT_FALSE(LoadWindowRect(QStringLiteral("TableRect"), &r));
    EXPECT_EQ(r, defaults);
    ASSERT_TRUE(WriteString(QStringLiteral("TableRect"), QString()));
    EXPECT_TRUE(LoadWindowRect(QStringLiteral("TableRect"), &r));
    EXPECT_EQ(r, (WindowRect { 0, 0, 0, 0 }));
}

} // namespace
