// Agent deployment: platform detection, file names, copying when the desktop
// copy is newer, and the test start on Windows CE 4.x.
#include "LinkFixture.h"

#include "desktop/link/AgentDeployment.h"

#include <QDateTime>
#include <QFile>

using devlink::PromptIcon;

namespace linktest {
namespace {

const QString kActiveSyncKey = QStringLiteral("Software\\Microsoft\\Windows CE Services");

void SetActiveSyncValues(const QString& type, const QString& oem)
{
    reg::Hive* hive = settings::SettingsHive();
    ASSERT_TRUE(hive);
    const std::u16string key = U(kActiveSyncKey);
    ASSERT_EQ(hive->CreateKey(reg::HKEY_CURRENT_USER, key), reg::ERROR_SUCCESS);
    auto set = [&](const char16_t* name, const QString& text) {
        if (text.isNull())
            hive->DeleteValue(reg::HKEY_CURRENT_USER, key, name);
        else
            hive->SetValue(
                reg::HKEY_CURRENT_USER, key, name, reg::REG_SZ, text.utf16(), std::uint32_t(text.size() * 2));
    };
    set(u"DeviceType", type);
    set(u"DeviceOemInfo", oem);
}

class LinkPlatform : public LinkTest { };

TEST_F(LinkPlatform, NothingKnownIsAPocketPC)
{
    QString type = QStringLiteral("x");
    int platform = 9;
    EXPECT_FALSE(devlink::DetectDevicePlatform(&type, &platform));
    EXPECT_EQ(type, QStringLiteral("PocketPC"));
    EXPECT_EQ(platform, devlink::kPocketPC);
    EXPECT_EQ(devlink::AgentExeName(2), QStringLiteral("\\Quorvane2003.exe"));
    EXPECT_EQ(devlink::AgentExeName(3), QStringLiteral("\\Quorvane2005.exe"));
    EXPECT_EQ(devlink::AgentExeName(-1), QStringLiteral("\\Quorvane2003.exe"));
    EXPECT_FALSE(devlink::IsNonPocketPCDevice());
}

TEST_F(LinkPlatform, SymbolOemInAnyCaseIsWindowsCeEvenForAPocketPcType)
{
    SetActiveSyncValues(QStringLiteral("PocketPC"), QStringLiteral("SYMBOL"));
    QString type;
    int platform = 0;
    EXPECT_TRUE(devlink::DetectDevicePlatform(&type, &platform));
    EXPECT_EQ(type, QStringLiteral("WindowsCE"));
    EXPECT_EQ(platform, devlink::kWindowsCE);
    EXPECT_EQ(devlink::AgentExeName(2), QStringLiteral("\\QuorvaneWCE2003.exe"));
    EXPECT_EQ(devlink::AgentExeName(3), QStringLiteral("\\QuorvaneWCE2005.exe"));
    EXPECT_TRUE(devlink::IsWindowsCEDevice());
    EXPECT_FALSE(devlink::IsSmartphoneDevice());
}

TEST_F(LinkPlatform, WinceAndSmartphoneTogetherIsWindowsCe)
{
    SetActiveSyncValues(QStringLiteral("Smartphone"), QStringLiteral("Acme WinCE"));
    int platform = 0;
    EXPECT_TRUE(devlink::DetectDevicePlatform(nullptr, &platform));
    EXPECT_EQ(platform, devlink::kWindowsCE);
}

TEST_F(LinkPlatform, SmartphoneFromTypeOrOem)
{
    SetActiveSyncValues(QStringLiteral("SmartPhone"), QString());
    EXPECT_TRUE(devlink::IsSmartphoneDevice());
    EXPECT_EQ(devlink::AgentExeName(2), QStringLiteral("\\QuorvaneSP2003.exe"));
    EXPECT_EQ(devlink::AgentExeName(3), QStringLiteral("\\QuorvaneSP2005.exe"));
    SetActiveSyncValues(QString(), QStringLiteral("my smartphone"));
    EXPECT_TRUE(devlink::IsSmartphoneDevice());
    EXPECT_TRUE(devlink::IsNonPocketPCDevice());
}

TEST_F(LinkPlatform, ConnectedProfilesAreDetectedFromTheValuesTheLinkWrites)
{
    StartAndConnect("wince");
    EXPECT_TRUE(devlink::IsWindowsCEDevice());
    devlink::UninitRapi();
    StopDevice();
    StartAndConnect("smartphone");
    EXPECT_TRUE(devlink::IsSmartphoneDevice());
    devlink::UninitRapi();
    StopDevice();
    StartAndConnect("pocketpc");
    EXPECT_FALSE(devlink::IsNonPocketPCDevice());
}

class LinkDeployment : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
    }

    // A desktop copy with the given content and modification time.
    void PutDesktopFile(const QString& name, const QByteArray& content, const QDateTime& modified)
    {
        QFile file(QString::fromStdString((programDir() / name.toStdString()).string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }

    // The device copy's last write time, in whole seconds since 1970.
    qint64 DeviceTime(const QString& path)
    {
        const std::u16string name = U(path);
        DWORD count = 0;
        CE_FIND_DATA* records = nullptr;
        EXPECT_TRUE(Device().CeFindAllFiles(name.c_str(), FAF_NAME | FAF_LASTWRITE_TIME, &count, &records));
        qint64 seconds = count == 1
            ? qint64(FileTimeToU64(records[0].ftLastWriteTime) / 10000000ULL) - 11644473600LL
            : -1;
        CeRapiFreeBuffer(records);
        return seconds;
    }
};

TEST_F(LinkDeployment, MissingDeviceCopyIsCopied)
{
    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "agent-v1", QDateTime::currentDateTime().addDays(-1));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "agent-v1");
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2003.exe.new")));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkDeployment, NewerDesktopCopyReplacesTheDeviceCopy)
{
    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "agent-v1", QDateTime::currentDateTime().addDays(-1));
    ASSERT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    PutDesktopFile(
        QStringLiteral("Quorvane2003.dll"), "agent-v2", QDateTime::currentDateTime().addSecs(3600));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "agent-v2");
}

TEST_F(LinkDeployment, DesktopCopyOfTheSameSecondOrOlderIsNotCopied)
{
    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "agent-v1", QDateTime::currentDateTime().addDays(-1));
    ASSERT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    const qint64 deviceSeconds = DeviceTime(QStringLiteral("\\Quorvane\\Quorvane2003.exe"));
    ASSERT_GT(deviceSeconds, 0);
    // Same second, with a fraction on the desktop side: no copy.
    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "agent-v2",
        QDateTime::fromMSecsSinceEpoch(deviceSeconds * 1000 + 700));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "agent-v1");
    PutDesktopFile(
        QStringLiteral("Quorvane2003.dll"), "agent-v3", QDateTime::fromSecsSinceEpoch(deviceSeconds - 60));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "agent-v1");
    // One second later is newer.
    PutDesktopFile(
        QStringLiteral("Quorvane2003.dll"), "agent-v4", QDateTime::fromSecsSinceEpoch(deviceSeconds + 1));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "agent-v4");
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkDeployment, MissingDesktopCopyUsesTheDeviceCopy)
{
    ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Quorvane\\Haltquill.exe"), "stopper"));
    EXPECT_TRUE(devlink::CopyAgentIfNewer(QStringLiteral("\\Haltquill.exe")));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Haltquill.exe")), "stopper");
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkDeployment, BothCopiesMissingIsAFatalError)
{
    EXPECT_FALSE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2005.exe")));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].icon, PromptIcon::Warning);
    const QString source = QString::fromStdString((programDir() / "Quorvane2005.dll").string());
    EXPECT_EQ(records[0].text,
        QStringLiteral("Fatal error:\r\n\r\nThe following file is missing:\r\n") + source
            + QStringLiteral(
                "\r\n\r\nYou must have this .exe stored in this directory for the Quorvane   \r\n"
                "program to run properly.\r\n\r\n"));
}

TEST_F(LinkDeployment, DeviceFailureIsReportedWithBothPathsAndTheDeviceError)
{
    // A file where the agent folder should be: nothing can be created in it.
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Quorvane"), "not a folder"));
    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "agent", QDateTime::currentDateTime());
    EXPECT_FALSE(devlink::CopyAgentIfNewer(QStringLiteral("\\Quorvane2003.exe")));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    const QString source = QString::fromStdString((programDir() / "Quorvane2003.dll").string());
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].text,
        QStringLiteral("Unable to copy the file\r\n    ") + source
            + QStringLiteral("  \r\nto\r\n    \\Quorvane\\Quorvane2003.exe.\r\n\r\n\r\n"
                             "Device error: The system cannot find the path specified.\r\n\r\n"
                             "You will not be able to view/edit any of your databases\r\n"
                             "on the device without this file in place.\r\n\r\n"));
}

TEST_F(LinkDeployment, DeployStopsAtTheFirstFailedFile)
{
    PutDesktopFile(QStringLiteral("Quorvane2005.dll"), "engine3", QDateTime::currentDateTime());
    PutDesktopFile(QStringLiteral("Haltquill.dll"), "stopper", QDateTime::currentDateTime());
    EXPECT_FALSE(devlink::DeployAgentFiles());
    EXPECT_EQ(m_prompter.Count(), 1);
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2005.exe")));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\Haltquill.exe")));

    PutDesktopFile(QStringLiteral("Quorvane2003.dll"), "engine2", QDateTime::currentDateTime());
    EXPECT_TRUE(devlink::DeployAgentFiles());
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe")), "engine2");
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2005.exe")), "engine3");
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\Quorvane\\Haltquill.exe")), "stopper");
}

TEST_F(LinkDeployment, TestRunOnWindowsCe5IsTrueWithoutAStart)
{
    EXPECT_TRUE(devlink::TestRunAgent());
}

TEST(LinkDeploymentNames, DesktopCopyIsBesideTheProgramUnderDll)
{
    setenv("QUORVANE_PROGRAM_DIR", "/opt/q/bin/", 1);
    EXPECT_EQ(devlink::GetProgramDir(), QStringLiteral("/opt/q/bin"));
    EXPECT_EQ(devlink::DesktopCopyPath(QStringLiteral("\\Haltquill.exe")),
        QStringLiteral("/opt/q/bin/Haltquill.dll"));
    EXPECT_TRUE(devlink::GetProgramPath().startsWith(QStringLiteral("/opt/q/bin/")));
    unsetenv("QUORVANE_PROGRAM_DIR");
}

class LinkTestRun : public LinkTest { };

TEST_F(LinkTestRun, BelowWindowsCe4TheDeviceToolsStayOff)
{
    StartAndConnect("ppc2002");
    ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Quorvane\\Quorvane2003.exe"), "agent"));
    EXPECT_FALSE(devlink::TestRunAgent());
    // Nothing was started or removed.
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
}

TEST_F(LinkTestRun, OnWindowsCe4AnAgentThatCannotStartLosesTheAgentFolder)
{
    StartAndConnect("pocketpc2003");
    ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
    for (const char* name :
        { "\\Quorvane\\Quorvane2003.exe", "\\Quorvane\\Quorvane2005.exe", "\\Quorvane\\Haltquill.exe" })
        ASSERT_TRUE(PutDeviceFile(QString::fromLatin1(name), "not a program"));
    EXPECT_FALSE(devlink::TestRunAgent());
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\Haltquill.exe")));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane")));
    EXPECT_EQ(m_prompter.Count(), 0);
}

} // namespace
} // namespace linktest
