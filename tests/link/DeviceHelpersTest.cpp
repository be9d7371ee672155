// The file wrappers, the file helpers and the agent's registry helpers,
// against a running device.
#include "LinkFixture.h"

#include "desktop/link/AgentInvocation.h"

#include <QElapsedTimer>
#include <QTimer>

using devlink::PromptIcon;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

class DeviceHelpers : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
    }
};

TEST_F(DeviceHelpers, WriteDeviceStringWritesTheUtf16UnitsOnly)
{
    HANDLE h = devlink::RapiCeCreateFile(
        QStringLiteral("\\t.txt"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_GE(h, 0);
    EXPECT_TRUE(devlink::WriteDeviceString(h, QStringLiteral("abc")));
    EXPECT_TRUE(devlink::WriteDeviceString(h, QString::fromUtf16(u"\u00e9\u20ac")));
    CeCloseHandle(h);
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\t.txt")), std::string("a\0b\0c\0\xe9\0\xac\x20", 10));
    quint32 size = 0;
    EXPECT_TRUE(devlink::GetDeviceFileSize(QStringLiteral("\\t.txt"), &size));
    EXPECT_EQ(size, 10u);
}

TEST_F(DeviceHelpers, CreateFileOnAFileHeldOpenReturnsMinusOneAfterOneCall)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\held.txt"), "data"));
    HANDLE held = Device().CeCreateFile(u"\\held.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(devlink::RapiCeCreateFile(QStringLiteral("\\held.txt"), GENERIC_WRITE, 0, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0),
        -1);
    EXPECT_EQ(m_prompter.Count(), 0);
    Device().CeCloseHandle(held);
}

TEST_F(DeviceHelpers, CreateFileOfAMissingFileGivesUpWithMinusTwo)
{
    EXPECT_EQ(devlink::RapiCeCreateFile(QStringLiteral("\\none\\x.txt"), GENERIC_READ, 0, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0),
        -2);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(DeviceHelpers, FileExistsAndSizeNeedMatchingEntries)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\a1.txt"), "12345"));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\a2.txt"), "1"));
    EXPECT_TRUE(devlink::DeviceFileExists(QStringLiteral("\\a1.txt")));
    EXPECT_TRUE(devlink::DeviceFileExists(QStringLiteral("\\a*.txt")));
    EXPECT_FALSE(devlink::DeviceFileExists(QStringLiteral("\\b*.txt")));
    quint32 size = 77;
    EXPECT_TRUE(devlink::GetDeviceFileSize(QStringLiteral("\\a1.txt"), &size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(devlink::GetDeviceFileSize(QStringLiteral("\\a*.txt"), &size)); // two entries
    EXPECT_FALSE(devlink::GetDeviceFileSize(QStringLiteral("\\none.txt"), &size));
}

TEST_F(DeviceHelpers, AttributesWrappers)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\f.txt"), "x"));
    EXPECT_EQ(devlink::RapiCeSetFileAttributes(QStringLiteral("\\f.txt"), FILE_ATTRIBUTE_READONLY), 1);
    EXPECT_EQ(devlink::RapiCeGetFileAttributes(QStringLiteral("\\f.txt")) & FILE_ATTRIBUTE_READONLY,
        FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(devlink::RapiCeSetFileAttributes(QStringLiteral("\\none.txt"), FILE_ATTRIBUTE_NORMAL), -2);
}

TEST_F(DeviceHelpers, MoveFailureTellsTheUserWithBothPathsAndTheDeviceError)
{
    EXPECT_FALSE(devlink::RapiCeMoveFile(QStringLiteral("\\none.txt"), QStringLiteral("\\other.txt")));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].icon, PromptIcon::Warning);
    EXPECT_FALSE(records[0].hasOwner);
    EXPECT_EQ(records[0].text,
        QStringLiteral(
            "Unable to rename this file/directory.\r\n\r\nFrom:\t\\none.txt\r\nTo:\t\\other.txt\r\n\r\n"
            "Error: The system cannot find the file specified."));

    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\m.txt"), "x"));
    EXPECT_TRUE(devlink::RapiCeMoveFile(QStringLiteral("\\m.txt"), QStringLiteral("\\n.txt")));
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\n.txt")));
}

TEST_F(DeviceHelpers, ShowDeviceErrorWithoutAnyErrorSaysUnknownError)
{
    ASSERT_NE(CeGetFileAttributes(u"\\Windows"), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(
        CeCreateFile(u"\\ok.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0x80, 0), INVALID_HANDLE_VALUE);
    ASSERT_EQ(CeGetLastError(), 0u);
    devlink::ShowDeviceError(QStringLiteral("Prefix: "));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Prefix: Unknown error"));
}

TEST_F(DeviceHelpers, ReadAgentRegStringOfAMissingValueIsEmptyAndCreatesTheKey)
{
    DeleteDeviceKey(QStringLiteral("\\Software\\Quorvane\\Debug"));
    DeleteDeviceKey(QStringLiteral("\\Software\\Quorvane"));
    bool ok = true;
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("Status"), &ok), QString());
    EXPECT_FALSE(ok);
    HKEY key = 0;
    EXPECT_EQ(Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, 0, &key), 0);
    Device().CeRegCloseKey(key);
}

TEST_F(DeviceHelpers, ReadAgentRegStringReturnsAtMostOneHundredCharacters)
{
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QString(100, QLatin1Char('x'))));
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("Status")), QString(100, QLatin1Char('x')));
    // A longer value does not fit the 200 bytes offered: it is not read.
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QString(101, QLatin1Char('y'))));
    bool ok = true;
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("Status"), &ok), QString());
    EXPECT_FALSE(ok);
}

TEST_F(DeviceHelpers, AgentValuesAreWrittenWithTheirTypesAndSizes)
{
    EXPECT_TRUE(devlink::WriteAgentRegString(QStringLiteral("DecimalPointChar"), QStringLiteral(",")));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetDeviceValue(
        QStringLiteral("\\Software\\Quorvane"), QStringLiteral("DecimalPointChar"), &type, &data));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, std::string(",\0\0\0", 4));

    EXPECT_TRUE(devlink::WriteAgentRegDword(QStringLiteral("Cancel"), 1));
    ASSERT_TRUE(
        GetDeviceValue(QStringLiteral("\\Software\\Quorvane"), QStringLiteral("Cancel"), &type, &data));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, std::string("\1\0\0\0", 4));
    quint32 value = 0;
    EXPECT_TRUE(devlink::ReadAgentRegDword(QStringLiteral("Cancel"), &value));
    EXPECT_EQ(value, 1u);

    EXPECT_TRUE(
        devlink::DeleteAgentRegValue(QStringLiteral("\\Software\\Quorvane"), QStringLiteral("Cancel")));
    EXPECT_FALSE(devlink::ReadAgentRegDword(QStringLiteral("Cancel"), &value));
    EXPECT_FALSE(
        devlink::DeleteAgentRegValue(QStringLiteral("\\Software\\Quorvane"), QStringLiteral("Cancel")));
}

TEST_F(DeviceHelpers, GenericRegistryHelpersUseAnyRootAndCreateTheKey)
{
    const char16_t data[] = u"v";
    EXPECT_TRUE(devlink::WriteDeviceRegValue(
        HKEY_CURRENT_USER, QStringLiteral("\\A\\B"), QStringLiteral("n"), data, 2, REG_SZ));
    char16_t buffer[8] = {};
    DWORD type = 0, size = 0;
    EXPECT_TRUE(devlink::ReadDeviceRegValue(HKEY_CURRENT_USER, QStringLiteral("\\A\\B"), QStringLiteral("n"),
        buffer, sizeof buffer, &type, &size));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(buffer[0], u'v');
    EXPECT_FALSE(devlink::ReadDeviceRegValue(
        HKEY_CURRENT_USER, QStringLiteral("\\A\\C"), QStringLiteral("n"), buffer, sizeof buffer));
    HKEY key = 0;
    EXPECT_EQ(Device().CeRegOpenKeyEx(HKEY_CURRENT_USER, u"\\A\\C", 0, 0, &key), 0);
    Device().CeRegCloseKey(key);
}

TEST_F(DeviceHelpers, WaitWithMessagesDispatchesEventsAndDoesNotReturnEarly)
{
    int fired = 0;
    QTimer::singleShot(20, [&] { ++fired; });
    QElapsedTimer clock;
    clock.start();
    devlink::WaitWithMessages(150);
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_EQ(fired, 1);
}

TEST(RetryWithWaits, TriesExactlyAsOftenAsAllowed)
{
    int calls = 0;
    // Success on the last allowed try still counts.
    EXPECT_TRUE(devlink::RetryWithWaits(10, 0, [&] { return ++calls == 10; }));
    EXPECT_EQ(calls, 10);
    calls = 0;
    EXPECT_FALSE(devlink::RetryWithWaits(10, 0, [&] { return ++calls == 11; }));
    EXPECT_EQ(calls, 10);
}

} // namespace
} // namespace linktest
