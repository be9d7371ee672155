// Which kind of text a device file holds, and the bytes that save it back,
// as exact bytes.
#include "desktop/editor/EditorText.h"

#include <gtest/gtest.h>

#include <set>

using namespace editor;

namespace {

QByteArray Utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void ExpectRoundTrip(const QByteArray& bytes)
{
    const DeviceText decoded = DecodeDeviceText(bytes);
    QByteArray again;
    ASSERT_TRUE(EncodeDeviceText(decoded.text, decoded, &again));
    EXPECT_EQ(again, bytes);
}

TEST(EditorText, Utf16And8BitFilesAreToldApartAndWrittenBackByteForByte)
{
    const QString latin = QString(149, u'q') + QStringLiteral("\r\nend");
    const QByteArray marked = QByteArray("\xff\xfe", 2) + Utf16(latin);
    DeviceText decoded = DecodeDeviceText(marked);
    EXPECT_FALSE(decoded.isAnsi);
    EXPECT_TRUE(decoded.hasMark);
    EXPECT_EQ(decoded.text, QString(149, u'q') + QStringLiteral("\nend"));
    ExpectRoundTrip(marked);

    // Without a mark: UTF-16 when the first pairs are a letter and a zero.
    decoded = DecodeDeviceText(Utf16(QStringLiteral("plain")));
    EXPECT_FALSE(decoded.isAnsi);
    EXPECT_EQ(decoded.text, QStringLiteral("plain"));
    ExpectRoundTrip(Utf16(QStringLiteral("plain")));

    const QByteArray ansi("h\xe9llo\r\nw\xf6rld\r\n");
    decoded = DecodeDeviceText(ansi);
    EXPECT_TRUE(decoded.isAnsi);
    EXPECT_EQ(decoded.text, QStringLiteral("h\u00e9llo\nw\u00f6rld\n"));
    ExpectRoundTrip(ansi);
    // An odd byte count is 8-bit text, so its last byte is kept.
    ExpectRoundTrip(QByteArray("a\0b", 3));
    ExpectRoundTrip(QByteArray());

    // An 8-bit file cannot take a character beyond one byte.
    QByteArray bytes("x");
    EXPECT_FALSE(EncodeDeviceText(QStringLiteral("\u20ac"), decoded, &bytes));
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(EditorText, TheBackupTakesTheFirstFreeNumberFromTwo)
{
    std::set<QString> taken;
    const auto exists = [&taken](const QString& name) { return taken.count(name) > 0; };
    EXPECT_EQ(BackupName(QStringLiteral("\\x.txt"), exists), QStringLiteral("\\x.txt02"));
    taken.insert(QStringLiteral("\\x.txt02"));
    EXPECT_EQ(BackupName(QStringLiteral("\\x.txt"), exists), QStringLiteral("\\x.txt03"));
    EXPECT_EQ(BackupName(QStringLiteral("\\x.txt"), [](const QString&) { return true; }),
        QStringLiteral("\\x.txt99"));
}

} // namespace
