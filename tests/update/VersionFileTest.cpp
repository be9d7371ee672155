// The version file: its encodings and line ends, the comparison of its
// version with the program's, the update location's rules and the time left
// of a download.
#include "desktop/update/VersionFile.h"
#include "desktop/update/UpdateDialogText.h"
#include "desktop/update/UpdateSettings.h"

#include <QByteArray>
#include <QUrl>

#include <gtest/gtest.h>

using update::ReleaseVersion;

namespace {

QByteArray Utf16(const QString& text, bool mark)
{
    QByteArray bytes = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    return bytes + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

bool NewerThan(const QByteArray& file, ReleaseVersion own)
{
    const update::VersionFile parsed = update::ParseVersionFile(file);
    EXPECT_TRUE(parsed.valid) << file.toStdString();
    return update::IsNewerRelease(parsed.version, own);
}

TEST(VersionFile, ReleaseIsNewerOnlyByAGreaterMajorOrMinorNumber)
{
    const QString features = QStringLiteral("\r\nFaster start\r\nSmaller agent\r\n");
    const QByteArray v2_3999 = Utf16(QStringLiteral("v2.3999") + features, true);
    EXPECT_TRUE(NewerThan(v2_3999, { 2, 3845 }));
    EXPECT_FALSE(NewerThan(Utf16(QStringLiteral("v2.3845") + features, true), { 2, 3845 }));
    EXPECT_TRUE(NewerThan(Utf16(QStringLiteral("v3.0") + features, false), { 2, 3999 }));
    // Minor numbers are whole numbers, not decimal fractions.
    EXPECT_FALSE(NewerThan("v2.400\r\n", { 2, 3999 }));

    const update::VersionFile parsed = update::ParseVersionFile(v2_3999);
    EXPECT_EQ(parsed.versionText, QStringLiteral("2.3999"));
    EXPECT_EQ(parsed.featuresText, QStringLiteral("Faster start\nSmaller agent\n"));
    // The build's own version takes part in the same comparison.
    EXPECT_EQ(update::ProgramVersion().major,
        QStringLiteral(QUORVANE_VERSION).section(QLatin1Char('.'), 0, 0).toInt());
    EXPECT_FALSE(update::ParseVersionFile("no version here\r\n").valid);
    EXPECT_FALSE(update::ParseVersionFile("v2.-5\r\n").valid);
}

TEST(VersionFile, EightBitWithBareCarriageReturnsReadsLikeItsUtf16Form)
{
    const update::VersionFile eightBit = update::ParseVersionFile("v2.3999\rFaster start\rSmaller agent\r");
    const update::VersionFile wide = update::ParseVersionFile(
        Utf16(QStringLiteral("v2.3999\r\nFaster start\r\nSmaller agent\r\n"), false));
    ASSERT_TRUE(eightBit.valid);
    EXPECT_EQ(eightBit.versionText, wide.versionText);
    EXPECT_EQ(eightBit.featuresText, wide.featuresText);
    EXPECT_EQ(eightBit.featuresText, QStringLiteral("Faster start\nSmaller agent\n"));
}

TEST(UpdateLocation, OnlyHttpsOrLoopbackHttpIsUsed)
{
    QUrl folder;
    QString error;
    EXPECT_TRUE(update::CheckUpdateLocation(QStringLiteral("https://example.org/q"), &folder, &error));
    EXPECT_EQ(folder.toString(), QStringLiteral("https://example.org/q/"));
    EXPECT_TRUE(update::CheckUpdateLocation(QStringLiteral("http://127.0.0.1:8080/r/"), &folder, &error));
    EXPECT_FALSE(update::CheckUpdateLocation(QStringLiteral("http://example.org/q/"), &folder, &error));
    EXPECT_EQ(error,
        QStringLiteral("The update location \"http://example.org/q/\" is not a secure (https) web address."));
    EXPECT_FALSE(update::CheckUpdateLocation(QStringLiteral("ftp://127.0.0.1/"), &folder, &error));
    EXPECT_TRUE(update::DefaultUpdateLocation().startsWith(QLatin1String("https://")));
}

TEST(UpdateDialogText, TimeLeftFollowsTheRateSoFarOnceThereIsOne)
{
    EXPECT_EQ(update::TimeLeftText(0.25, 10), QStringLiteral("About 00:30 left"));
    EXPECT_EQ(update::TimeLeftText(0.5, 100), QStringLiteral("About 01:40 left"));
    EXPECT_EQ(update::TimeLeftText(0.01, 10), QString());
    EXPECT_EQ(update::TimeLeftText(0.5, 0), QString());
}

} // namespace
