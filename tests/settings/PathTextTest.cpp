#include "desktop/settings/PathText.h"

#include <gtest/gtest.h>

using namespace settings;

namespace {

TEST(PathText, DirectoryFileNameAndExtension)
{
    const QString path = QStringLiteral("\\My Documents\\Data\\orders.backup.sdf");
    EXPECT_EQ(DirectoryPart(path), QStringLiteral("\\My Documents\\Data"));
    EXPECT_EQ(FileNamePart(path), QStringLiteral("orders.backup.sdf"));
    EXPECT_EQ(ExtensionPart(path), QStringLiteral("sdf"));

    EXPECT_EQ(DirectoryPart(QStringLiteral("orders.sdf")), QString());
    EXPECT_EQ(FileNamePart(QStringLiteral("orders.sdf")), QStringLiteral("orders.sdf"));
    EXPECT_EQ(DirectoryPart(QStringLiteral("\\orders.sdf")), QString());
    EXPECT_EQ(FileNamePart(QStringLiteral("\\Windows\\")), QString());
    EXPECT_EQ(DirectoryPart(QStringLiteral("\\Windows\\")), QStringLiteral("\\Windows"));

    EXPECT_EQ(ExtensionPart(QStringLiteral("\\My.Folder\\readme")), QString());
    EXPECT_EQ(ExtensionPart(QStringLiteral("\\a\\archive.")), QString());
    EXPECT_EQ(ExtensionPart(QStringLiteral("\\a\\.profile")), QStringLiteral("profile"));
    EXPECT_EQ(ExtensionPart(QStringLiteral("Setup.CAB")), QStringLiteral("CAB"));
}

TEST(PathText, ElapsedTimeShowsHoursOnlyWhenThereAreAny)
{
    EXPECT_EQ(ElapsedTimeText(0), QStringLiteral("00:00"));
    EXPECT_EQ(ElapsedTimeText(59), QStringLiteral("00:59"));
    EXPECT_EQ(ElapsedTimeText(61), QStringLiteral("01:01"));
    EXPECT_EQ(ElapsedTimeText(3599), QStringLiteral("59:59"));
    EXPECT_EQ(ElapsedTimeText(3600), QStringLiteral("01:00:00"));
    EXPECT_EQ(ElapsedTimeText(3 * 3600 + 25 * 60 + 7), QStringLiteral("03:25:07"));
    EXPECT_EQ(ElapsedTimeText(100 * 3600), QStringLiteral("100:00:00"));
    EXPECT_EQ(ElapsedTimeText(-5), QStringLiteral("00:00"));
}

} // namespace
