// The explorer's texts and order without a device: the three size forms,
// the total line, search patterns, the date pattern with the year clamp,
// and folders above files whichever way a column sorts.
#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileSizeText.h"
#include "desktop/explorer/FileTypes.h"
#include "exchange/Trace.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

using namespace explorer;

namespace {

TEST(ListingText, SizesInTheirThreeForms)
{
    EXPECT_EQ(FormatFileSize(1234567, kSizePlain), "1234567");
    EXPECT_EQ(FormatFileSize(999, kSizeGrouped), "999");
    EXPECT_EQ(FormatFileSize(1000, kSizeGrouped), "1,000");
    EXPECT_EQ(FormatFileSize(1002003, kSizeGrouped), "1,002,003");
    EXPECT_EQ(FormatFileSize(1234567, kSizeGrouped), "1,234,567");
    EXPECT_EQ(FormatFileSize(1023, kSizeUnits), "1023 bytes");
    EXPECT_EQ(FormatFileSize(1536, kSizeUnits), "1.50 Kb");
    EXPECT_EQ(FormatFileSize(1572864, kSizeUnits), "1.50 Mb");
    EXPECT_EQ(FormatFileSize(77, 9), "77");
}

TEST(ListingText, TotalLine)
{
    EXPECT_EQ(FilesTotalText(1, 10), "1 file  10 bytes");
    EXPECT_EQ(FilesTotalText(0, 0), "0 files.  0 bytes");
    EXPECT_EQ(FilesTotalText(2, 2047), "2 files.  1 Kb");
    EXPECT_EQ(FilesTotalText(3, 1572864), "3 files.  1.5 Mb");
    // The last 4 Kb below a whole megabyte stay at the ninth tenth.
    EXPECT_EQ(FilesTotalText(2, 2 * 1048576 - 1), "2 files.  1.9 Mb");
}

TEST(ListingText, SearchPatternsAndPaths)
{
    EXPECT_EQ(SearchPattern("\\"), "\\*");
    EXPECT_EQ(SearchPattern("\\Storage Card\\"), "\\Storage Card\\*");
    EXPECT_EQ(SearchPattern("\\My Documents"), "\\My Documents\\*");
    EXPECT_EQ(ParentDevicePath("\\A\\B"), "\\A");
    EXPECT_EQ(ParentDevicePath("\\A"), "\\");
    EXPECT_EQ(JoinDevicePath("\\", "A"), "\\A");
    EXPECT_EQ(JoinDevicePath("\\A", "b.txt"), "\\A\\b.txt");
}

TEST(ListingText, DatesInTheDesktopOrderUpTo2019)
{
    const QString us = DatePatternOf(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us, "%m/%d/%2y");
    const QString german = DatePatternOf(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german, "%d.%m.%2y");
    // A short format with a month name gets the month's number instead.
    EXPECT_EQ(DatePatternOf(QLocale::c()), "%d %m %4y");
    const QDateTime time(QDate(2031, 2, 28), QTime(5, 6, 7), Qt::UTC);
    const QDateTime shown = ClampListYear(time);
    EXPECT_EQ(DeviceDateText(shown, us), "02/28/19  05:06");
    EXPECT_EQ(DeviceDateText(shown, QStringLiteral("%4y-%m-%d"), true), "2019-02-28  05:06:07");
    // 29 February has no 2019.
    EXPECT_EQ(ClampListYear(QDateTime(QDate(2024, 2, 29), QTime(), Qt::UTC)).date(), QDate(2019, 2, 28));
    EXPECT_EQ(ClampListYear(QDateTime(QDate(2012, 7, 1), QTime(), Qt::UTC)).date(), QDate(2012, 7, 1));
}

FileRow Row(const char* name, bool isDir, quint32 size = 0)
{
    FileRow row;
    row.name = QString::fromUtf8(name);
    row.upperName = row.name.toUpper();
    row.isDir = isDir;
    row.size = size;
    return row;
}

TEST(ListingOrder, FoldersStayAboveFilesBothWays)
{
    FileRows rows = { Row("b", true), Row("A", true), Row("ten", false, 10), Row("nine", false, 9),
        Row("big", false, 4000000000u) };
    SortRows(&rows, 2, kColumnSize, Qt::AscendingOrder);
    EXPECT_EQ(NamesOf(rows), QStringList({ "b", "A", "nine", "ten", "big" }));
    SortRows(&rows, 2, kColumnSize, Qt::DescendingOrder);
    EXPECT_EQ(NamesOf(rows), QStringList({ "b", "A", "big", "ten", "nine" }));
    SortRows(&rows, 2, kColumnName, Qt::DescendingOrder);
    EXPECT_EQ(NamesOf(rows), QStringList({ "b", "A", "ten", "nine", "big" }));
    SortRows(&rows, 2, kColumnName, Qt::AscendingOrder);
    EXPECT_EQ(NamesOf(rows), QStringList({ "A", "b", "big", "nine", "ten" }));
    // The command line's listing in the same order.
    EXPECT_TRUE(DefaultListLess(true, "z", false, "a"));
    EXPECT_TRUE(DefaultListLess(false, "Big", false, "nine"));
}

TEST(ListingText, FileTypesComeFromTheMimeDatabaseOncePerExtension)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString trace = folder.filePath(QStringLiteral("trace"));
    ::setenv("QUORVANE_TRACE", QFile::encodeName(trace).constData(), 1);
    ASSERT_TRUE(exchange::ConfigureTrace());

    // Known to the desktop: its own description and icon names, whatever
    // the case of the extension.
    const QMimeType text = QMimeDatabase().mimeTypeForName(QStringLiteral("text/plain"));
    ASSERT_TRUE(text.isValid());
    const FileTypeDetails txt = FileTypeDetailsOf(QStringLiteral("TxT"));
    EXPECT_EQ(txt.description, text.comment());
    EXPECT_NE(txt.description, QStringLiteral("txt file"));
    EXPECT_EQ(txt.iconName, text.iconName());
    EXPECT_EQ(FileTypeDetailsOf(QStringLiteral("txt")).description, txt.description);
    // Unknown: the extension's own words, and no icon.
    const FileTypeDetails unknown = FileTypeDetailsOf(QStringLiteral("QVZZ"));
    EXPECT_EQ(unknown.description, QStringLiteral("qvzz file"));
    EXPECT_TRUE(unknown.iconName.isEmpty());
    EXPECT_EQ(FileTypeDetailsOf(QString()).description, QStringLiteral("File"));
    // The type column: a database by its engine, anything else by the table.
    EXPECT_EQ(
        FileTypeText(QStringLiteral("a.b.qvzz"), QStringLiteral("\\a.b.qvzz")), QStringLiteral("qvzz file"));
    EXPECT_EQ(FileTypeText(QStringLiteral("README"), QStringLiteral("\\README")), QStringLiteral("File"));

    ::unsetenv("QUORVANE_TRACE");
    exchange::ConfigureTrace();
    QFile lines(trace);
    ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
    const QString traced = QString::fromUtf8(lines.readAll());
    EXPECT_EQ(traced.count(QStringLiteral("Added Extension details for txt")), 1) << traced.toStdString();
    EXPECT_EQ(traced.count(QStringLiteral("Added Extension details for qvzz")), 1) << traced.toStdString();
}

} // namespace
