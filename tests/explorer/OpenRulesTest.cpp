// Which extension a file has, and the device program and command line that
// open it, as exact texts.
#include "desktop/explorer/FileOpenRules.h"

#include <gtest/gtest.h>

using namespace explorer;

namespace {

TEST(OpenRules, ExtensionsAreLowerCaseAndTakeTheLastFullStop)
{
    EXPECT_EQ(FileExtension(QStringLiteral("notes.TXT")), QStringLiteral("txt"));
    EXPECT_EQ(FileExtension(QStringLiteral("x.txt")), QStringLiteral("txt"));
    EXPECT_EQ(FileExtension(QStringLiteral("a.b.jpeg")), QStringLiteral("jpeg"));
    EXPECT_EQ(FileExtension(QStringLiteral("README")), QString());
    EXPECT_EQ(
        ProgramFileOf(QStringLiteral("\\Windows\\PWord.EXE -x")), QStringLiteral("\\windows\\pword.exe"));
    EXPECT_EQ(ProgramFileOf(QStringLiteral("\\Windows\\viewer")), QStringLiteral("\\windows\\viewer"));
}

TEST(OpenRules, TheFileTakesThePlaceOfPercentOneOrFollowsTheProgramQuoted)
{
    const QString file = QStringLiteral("\\My Documents\\Note One.pwd");
    DeviceCommand c = DeviceCommandFor(QStringLiteral("\\Windows\\pword.exe %1"), file);
    EXPECT_EQ(c.program, QStringLiteral("\\windows\\pword.exe"));
    EXPECT_EQ(c.arguments, file);
    c = DeviceCommandFor(QStringLiteral("\"\\Program Files\\View.exe\" -open \"%1\""), file);
    EXPECT_EQ(c.program, QStringLiteral("\\program files\\view.exe"));
    EXPECT_EQ(c.arguments, QStringLiteral("-open \"") + file);
    c = DeviceCommandFor(QStringLiteral("\\Windows\\pword.exe /new"), file);
    EXPECT_EQ(c.program, QStringLiteral("\\windows\\pword.exe"));
    EXPECT_EQ(c.arguments, QLatin1Char('"') + file + QLatin1Char('"'));
}

} // namespace
