// The program-wide connection: connecting with retries, the connection-error
// dialog, the lost-connection question, ActiveSync's desktop values.
#include "LinkFixture.h"

#include "desktop/settings/SettingsStore.h"

#include <QStringList>

#include <atomic>
#include <thread>

using devlink::ConnectionErrorAnswer;
using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kConnectionLost
    = QStringLiteral("The ActiveSync connection to the device has been lost.\r\n\r\n"
                     "Please make sure the device is connected to your PC, and that ActiveSync\r\n"
                     "is running.\r\n");

class LinkConnection : public LinkTest { };

TEST_F(LinkConnection, WithRetriesIsTrueAtOnceWhenAlreadyConnected)
{
    StartAndConnect();
    StopDevice(); // the device is gone, but the flag says connected
    QStringList shown;
    EXPECT_TRUE(devlink::ConnectWithRetries([&](const QString& text) { shown << text; }));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(devlink::IsConnected());
}

TEST_F(LinkConnection, DeviceThatAnswersOnlyOnTheThirdAttempt)
{
    // Production waits between attempts, so the device has time to come up.
    devlink::LinkTiming timing = TestTiming();
    timing.connectRetryWaitMs = 1000;
    devlink::SetLinkTiming(timing);
    QStringList shown;
    std::thread starter;
    bool ok = devlink::ConnectWithRetries([&](const QString& text) {
        shown << text;
        if (shown.size() == 2)
            starter = std::thread([this] { StartDevice(); });
    });
    if (starter.joinable())
        starter.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(shown,
        QStringList({ QStringLiteral("Connecting to device, retry 1.."),
            QStringLiteral("Connecting to device, retry 2..") }));
    EXPECT_TRUE(devlink::IsConnected());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkConnection, WithRetriesGivesUpAfterThreeAttemptsAndShowsThreeTexts)
{
    QStringList shown;
    EXPECT_FALSE(devlink::ConnectWithRetries([&](const QString& text) { shown << text; }));
    EXPECT_EQ(shown.size(), 3);
    EXPECT_EQ(shown.last(), QStringLiteral("Connecting to device, retry 3.."));
    EXPECT_FALSE(devlink::IsConnected());
}

TEST_F(LinkConnection, ToDeviceOffersTheConnectionDialogUntilCancelled)
{
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Retry);
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Cancel);
    QStringList shown;
    EXPECT_FALSE(devlink::ConnectToDevice([&](const QString& text) { shown << text; }));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 2);
    for (const auto& record : records) {
        EXPECT_EQ(record.kind, ScriptedPrompter::Kind::ConnectionError);
        EXPECT_EQ(record.caption, QStringLiteral("Connection error"));
        EXPECT_EQ(record.text,
            QStringLiteral(
                "Unable to connect to your device.\nPlease make sure your device is connected to your "
                "computer, and that there is a green (not gray) ActiveSync icon in your taskbar."));
        EXPECT_EQ(record.defaultButton, PromptAnswer::Retry);
        EXPECT_EQ(record.retryIntervalMs, TestTiming().connectionDialogRetryMs);
    }
    // Three retries, the dialog, "Connecting to device.." and three more.
    ASSERT_EQ(shown.size(), 7);
    EXPECT_EQ(shown[3], QStringLiteral("Connecting to device.."));
    EXPECT_EQ(shown[4], QStringLiteral("Connecting to device, retry 1.."));
}

TEST_F(LinkConnection, DialogTimerConnectsWhenTheDeviceAppears)
{
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Connected, 50);
    std::atomic<bool> started { false };
    QStringList shown;
    std::thread starter;
    bool ok = devlink::ConnectToDevice([&](const QString& text) {
        shown << text;
        if (shown.size() == 3 && !started.exchange(true))
            starter = std::thread([this] { StartDevice(); });
    });
    if (starter.joinable())
        starter.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(shown.last(), QStringLiteral("Connected."));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].connectionAnswer, ConnectionErrorAnswer::Connected);
    EXPECT_TRUE(devlink::IsConnected());
}

TEST_F(LinkConnection, LostConnectionIsReopenedAndTheOperationRepeated)
{
    StartAndConnect();
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\a.txt"), "x"));
    StopDevice();
    StartDevice();
    // The wrapper's first call fails on the broken connection; it reconnects
    // and repeats without asking anyone.
    const qint64 attributes = devlink::RapiCeGetFileAttributes(QStringLiteral("\\a.txt"));
    EXPECT_EQ(attributes, qint64(Device().CeGetFileAttributes(u"\\a.txt")));
    EXPECT_GE(attributes, 0);
    EXPECT_EQ(m_prompter.Count(), 0);
    EXPECT_TRUE(devlink::IsConnected());
}

TEST_F(LinkConnection, CreateFileReconnectsOnceAndOpensTheFile)
{
    StartAndConnect();
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\b.txt"), "y"));
    StopDevice();
    StartDevice();
    HANDLE h = devlink::RapiCeCreateFile(
        QStringLiteral("\\b.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_GE(h, 0);
    char byte = 0;
    DWORD done = 0;
    EXPECT_TRUE(CeReadFile(h, &byte, 1, &done, nullptr));
    EXPECT_EQ(byte, 'y');
    CeCloseHandle(h);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkConnection, LostConnectionAsksAbortRetryIgnore)
{
    StartAndConnect();
    StopDevice();
    ASSERT_EQ(CeGetFileAttributes(u"\\Windows"), INVALID_FILE_ATTRIBUTES);
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Retry);
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Ignore);
    EXPECT_EQ(devlink::IsRAPIopen(), devlink::kRapiIgnore);
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records[1].kind, ScriptedPrompter::Kind::Message);
    EXPECT_EQ(records[1].caption, QStringLiteral("Connection error"));
    EXPECT_EQ(records[1].text, kConnectionLost);
    EXPECT_EQ(records[1].buttons, PromptButtons::AbortRetryIgnore);
    EXPECT_FALSE(records[1].hasOwner);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);

    m_prompter.Clear();
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Abort);
    ASSERT_EQ(CeGetFileAttributes(u"\\Windows"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(devlink::IsRAPIopen(), devlink::kRapiAbort);
    // A wrapper that gets Abort gives up with -2.
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Abort);
    EXPECT_EQ(devlink::RapiCeGetFileAttributes(QStringLiteral("\\Windows")), -2);
}

TEST_F(LinkConnection, OtherFailureIsNotALostConnection)
{
    StartAndConnect();
    ASSERT_EQ(CeGetFileAttributes(u"\\missing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(devlink::IsRAPIopen(), devlink::kRapiOtherError);
    EXPECT_EQ(devlink::RapiCeGetFileAttributes(QStringLiteral("\\missing.txt")), -2);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkConnection, UninitClearsTheFlagAndTheNextInitReconnects)
{
    StartAndConnect();
    devlink::UninitRapi();
    EXPECT_FALSE(devlink::IsConnected());
    EXPECT_EQ(CeGetFileAttributes(u"\\Windows"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(devlink::InitRapi());
    EXPECT_NE(CeGetFileAttributes(u"\\Windows"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LinkConnection, InitWritesActiveSyncValuesOfTheDevice)
{
    StartAndConnect("smartphone");
    const QString key = QStringLiteral("Software\\Microsoft\\Windows CE Services");
    QString type, oem;
    ASSERT_TRUE(settings::ReadString(reg::HKEY_CURRENT_USER, key, QStringLiteral("DeviceType"), &type));
    ASSERT_TRUE(settings::ReadString(reg::HKEY_CURRENT_USER, key, QStringLiteral("DeviceOemInfo"), &oem));
    EXPECT_EQ(type, QStringLiteral("SmartPhone"));
    EXPECT_EQ(oem, QStringLiteral("Quorvane Smartphone (Windows Mobile 5.0)"));
    quint32 major = 0, minor = 0;
    ASSERT_TRUE(settings::ReadDword(reg::HKEY_LOCAL_MACHINE, key, QStringLiteral("MajorVersion"), &major));
    ASSERT_TRUE(settings::ReadDword(reg::HKEY_LOCAL_MACHINE, key, QStringLiteral("MinorVersion"), &minor));
    EXPECT_EQ(major, 5u);
    EXPECT_EQ(minor, 1u);
}

TEST_F(LinkConnection, OsVersionTests)
{
    // No device: the version query fails.
    EXPECT_TRUE(devlink::DeviceOsAtLeast4());
    EXPECT_FALSE(devlink::DeviceOsAtLeast5());
    StartAndConnect("ppc2002");
    EXPECT_FALSE(devlink::DeviceOsAtLeast4());
    EXPECT_FALSE(devlink::DeviceOsAtLeast5());
    devlink::UninitRapi();
    StopDevice();
    StartAndConnect("pocketpc2003");
    EXPECT_TRUE(devlink::DeviceOsAtLeast4());
    EXPECT_FALSE(devlink::DeviceOsAtLeast5());
    devlink::UninitRapi();
    StopDevice();
    StartAndConnect("pocketpc");
    EXPECT_TRUE(devlink::DeviceOsAtLeast4());
    EXPECT_TRUE(devlink::DeviceOsAtLeast5());
}

} // namespace
} // namespace linktest
