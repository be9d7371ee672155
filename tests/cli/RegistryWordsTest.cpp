// How the cli's reg reads what it is given: type names as a query prints
// them (and their short forms), data as cereg takes it, keys by their root,
// and a value read again when it grew between its size and its data.
#include "cli/RegistryCommands.h"
#include "desktop/link/DeviceRegistryTree.h"
#include "platform/registry/Hive.h"
#include "platform/registry/ValueText.h"

#include <gtest/gtest.h>

namespace {

TEST(CliRegistryValues, EncodingAsCeregTakesIt)
{
    QByteArray data;
    QString why;
    ASSERT_TRUE(cli::EncodeValue(REG_SZ, QStringLiteral("Aé"), &data, &why));
    EXPECT_EQ(data, QByteArray("A\0\xe9\0\0\0", 6));
    ASSERT_TRUE(cli::EncodeValue(REG_DWORD, QStringLiteral("0xDEADBEEF"), &data, &why));
    EXPECT_EQ(data, QByteArray("\xef\xbe\xad\xde", 4));
    EXPECT_FALSE(cli::EncodeValue(REG_DWORD, QStringLiteral("-1"), &data, &why));
    EXPECT_FALSE(cli::EncodeValue(REG_DWORD, QStringLiteral("0x1FFFFFFFF"), &data, &why));
    // Blanks between the pairs, as the cli always took them.
    ASSERT_TRUE(cli::EncodeValue(REG_BINARY, QStringLiteral("de ad BE ef"), &data, &why));
    EXPECT_EQ(data, QByteArray("\xde\xad\xbe\xef", 4));
    EXPECT_FALSE(cli::EncodeValue(REG_BINARY, QStringLiteral("abc"), &data, &why));
    EXPECT_FALSE(cli::EncodeValue(REG_BINARY, QStringLiteral("zz"), &data, &why));
    EXPECT_FALSE(why.isEmpty());
    ASSERT_TRUE(cli::EncodeValue(REG_MULTI_SZ, QStringLiteral("a\\0b"), &data, &why));
    EXPECT_EQ(data, QByteArray("a\0\0\0b\0\0\0\0\0", 10));

    cli::ParsedKey key;
    ASSERT_TRUE(cli::ParseKey(QStringLiteral("hkey_current_user\\Software\\"), &key));
    EXPECT_EQ(key.root, HKEY_CURRENT_USER);
    EXPECT_EQ(key.rootName, QStringLiteral("HKEY_CURRENT_USER"));
    EXPECT_EQ(key.path, QStringLiteral("Software"));
    ASSERT_TRUE(cli::ParseKey(QStringLiteral("HKCR"), &key));
    EXPECT_EQ(key.path, QString());
    EXPECT_FALSE(cli::ParseKey(QStringLiteral("Software\\x"), &key));
}

TEST(CliRegistryValues, EveryTypeNameAsPrintedIsTakenBack)
{
    for (DWORD type : { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
             REG_MULTI_SZ, DWORD(reg::REG_LINK), DWORD(reg::REG_QWORD), DWORD(0x1234) }) {
        const QString printed = QString::fromStdString(reg::TypeName(type));
        DWORD read = 0xFFFF;
        EXPECT_TRUE(cli::ParseValueType(printed, &read)) << printed.toStdString();
        EXPECT_EQ(read, type) << printed.toStdString();
    }
    DWORD read = 0;
    for (const char* shortName : { "sz", "expand_sz", "binary", "dword", "multi_sz", "Dword_Big_Endian" }) {
        EXPECT_TRUE(cli::ParseValueType(QString::fromLatin1(shortName), &read)) << shortName;
    }
    EXPECT_TRUE(cli::ParseValueType(QStringLiteral("dword"), &read));
    EXPECT_EQ(read, REG_DWORD);
    EXPECT_FALSE(cli::ParseValueType(QStringLiteral("qwerty"), &read));
    EXPECT_FALSE(cli::ParseValueType(QStringLiteral("REG_"), &read));
}

// A value that grows between the size call and the data call ("Status"
// while an agent writes it) is asked for again, not given up on.
TEST(CliRegistryValues, AValueThatGrowsIsReadAgain)
{
    QByteArray value("Row 9 of 10");
    int calls = 0;
    auto read = [&](BYTE* data, DWORD* size) -> LONG {
        ++calls;
        if (calls == 2)
            value = "Row 10 of 10"; // grew after its size was read
        if (!data || *size < DWORD(value.size())) {
            const bool tooSmall = data != nullptr;
            *size = DWORD(value.size());
            return tooSmall ? LONG(ERROR_MORE_DATA) : 0;
        }
        std::memcpy(data, value.constData(), std::size_t(value.size()));
        *size = DWORD(value.size());
        return 0;
    };
    QByteArray data;
    EXPECT_EQ(devlink::ReadSizedValue(read, &data), 0);
    EXPECT_EQ(data, QByteArray("Row 10 of 10"));
    EXPECT_GT(calls, 2);

    // One that never stops growing ends with the device's answer.
    auto growing = [&](BYTE* data, DWORD* size) -> LONG {
        value.append('x');
        const bool tooSmall = data != nullptr;
        *size = DWORD(value.size()) + 1000;
        return tooSmall ? LONG(ERROR_MORE_DATA) : 0;
    };
    EXPECT_EQ(devlink::ReadSizedValue(growing, &data), LONG(ERROR_MORE_DATA));
}

} // namespace
