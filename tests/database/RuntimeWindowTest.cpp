// The engine runtime window against a device whose profile has no engine
// runtimes: its texts, the automatic check's countdown and setting, and
// installing both runtimes from it, after which the agent serves a request
// it could not serve before.
#include "WindowFixture.h"

#include "desktop/database/CEngineRuntimeDialog.h"
#include "desktop/explorer/CCopyProgressDialog.h"
#include "desktop/link/AgentDeployment.h"
#include "desktop/settings/SettingsStore.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <fstream>

namespace {

using database::CEngineRuntimeDialog;

class RuntimeWindowTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        std::ofstream(home() / "bare.profile") << "base = pocketpc\nname = bare\nruntimes = none\n";
        // The runtime CABs and the agent files are beside the built programs.
        setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
        StartAndConnect((home() / "bare.profile").string());
        ASSERT_TRUE(devlink::DeployAgentFiles());
    }

    static QString Text(QWidget* window, const char* name)
    {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    }

    bool KeyThere(const std::u16string& path)
    {
        HKEY key = 0;
        if (Device().CeRegOpenKeyEx(HKEY_CLASSES_ROOT, path.c_str(), 0, 0, &key) != 0)
            return false;
        Device().CeRegCloseKey(key);
        return true;
    }

    testsupport::RunResult NewDatabase(const std::string& path)
    {
        return testsupport::RunProgram(
            { testsupport::Cli().string(), "--socket", socket().string(), "newdb", path }, home());
    }
};

TEST_F(RuntimeWindowTest, BothRuntimesInstalledFromTheWindowLetTheAgentCreateADatabase)
{
    // Without a runtime the agent cannot create a database.
    testsupport::RunResult before = NewDatabase("\\My Documents\\Before.sdf");
    ASSERT_NE(before.status, 0) << before.out;

    database::CheckEngineRuntimes(true, nullptr);
    auto* window = windowtest::WaitForWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog"));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvane"));
    EXPECT_EQ(Text(window, "statusText"),
        QStringLiteral("This device does not have any of the Microsoft SQLCE libraries installed on it."));
    EXPECT_EQ(Text(window, "engine20Explanation"),
        QStringLiteral("SQLCE 2.0 is not currently installed on your device."));
    EXPECT_EQ(Text(window, "engine30Explanation"),
        QStringLiteral("SQLCE 3.0 is not currently installed on your device."));
    auto* box20 = window->findChild<QCheckBox*>(QStringLiteral("engine20Box"));
    auto* box30 = window->findChild<QCheckBox*>(QStringLiteral("engine30Box"));
    ASSERT_TRUE(box20 && box30);
    EXPECT_TRUE(box20->isChecked() && box20->isEnabled() && box30->isChecked() && box30->isEnabled());
    // Asked for from the menu: no countdown and no "show each time" box.
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("showEachTimeBox"))->isVisible());
    auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    EXPECT_EQ(cancel->text(), QStringLiteral("&Cancel"));

    database::RuntimeInstallTiming fast;
    fast.beforeCopyMs = 10;
    fast.afterStartMs = 10;
    fast.afterRemovedMs = 10;
    window->installer()->setTiming(fast);
    QPointer<CEngineRuntimeDialog> alive(window);
    QStringList seen;
    QObject::connect(window->installer(), &database::RuntimeInstaller::progressChanged, window,
        [&] { seen << window->installer()->statusLine(); });
    // Each CAB goes to the device behind the copy window.
    QStringList copied;
    QObject::connect(window->installer(), &database::RuntimeInstaller::copyStarted, window,
        [&](std::shared_ptr<explorer::CopyJob> job) {
            const auto shown = window->findChildren<explorer::CCopyProgressDialog*>();
            if (!shown.isEmpty() && shown.last()->isVisible())
                copied << job->toText();
        });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("installButton")), Qt::LeftButton);
    EXPECT_FALSE(box20->isEnabled());
    ASSERT_TRUE(windowtest::WaitFor([&] { return !alive || !alive->isVisible(); }, 120000));

    EXPECT_TRUE(seen.contains(QStringLiteral("Copying file to device..")));
    EXPECT_TRUE(copied.contains(QStringLiteral("\\sqlce.wce4.armv4.cab"))) << copied.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(seen.contains(QStringLiteral("Installing \"sqlce.wce4.armv4.cab\" on the device...\r\nPlease "
                                             "check for messages on your device's screen.")));
    EXPECT_TRUE(KeyThere(u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}"));
    EXPECT_TRUE(KeyThere(u"CLSID\\{32ce2952-2585-49a6-aeff-1732076c2945}"));
    // The installer removed each CAB when it was done.
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\sqlce.wce4.armv4.cab")));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\sqlce30.ppc.wce5.armv4i.cab")));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\sqlce30.repl.wce5.armv4i.cab")));

    testsupport::RunResult after = NewDatabase("\\My Documents\\After.sdf");
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\My Documents\\After.sdf")));

    // Asked again, the window says the device has everything.
    database::CheckEngineRuntimes(true, nullptr);
    window = windowtest::WaitForWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog"));
    ASSERT_TRUE(window);
    EXPECT_EQ(Text(window, "statusText"),
        QStringLiteral("This device has all SQLCE 2.0 and 3.0 libraries installed on it."));
    EXPECT_EQ(Text(window, "engine20Explanation"),
        QStringLiteral("SQLCE 2.0 is already installed on your device."));
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("engine20Box"))->isEnabled());
    EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("installButton"))->isEnabled());
}

TEST_F(RuntimeWindowTest, TheAutomaticWindowCountsDownUntilItsBoxIsClicked)
{
    database::CheckEngineRuntimes(false, nullptr);
    auto* window = windowtest::WaitForWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog"));
    ASSERT_TRUE(window);
    auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    auto* box = window->findChild<QCheckBox*>(QStringLiteral("showEachTimeBox"));
    ASSERT_TRUE(box->isVisible());
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(windowtest::WaitFor([&] { return cancel->text() == QLatin1String("Cancel (10)"); }, 5000))
        << cancel->text().toStdString();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(cancel->text(), QStringLiteral("&Cancel"));
    quint32 stored = 7;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("DisplayWhenDeviceConnects"), &stored));
    EXPECT_EQ(stored, 0u);
    QTest::qWait(1500);
    EXPECT_EQ(cancel->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(window->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());

    // With the setting 0 the automatic check shows nothing; the menu's does.
    database::CheckEngineRuntimes(false, nullptr);
    DrainSession();
    QCoreApplication::processEvents();
    EXPECT_EQ(windowtest::ShownWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog")), nullptr);
    database::CheckEngineRuntimes(true, nullptr);
    EXPECT_TRUE(windowtest::WaitForWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog")));
}

} // namespace

namespace {

TEST_F(RuntimeWindowTest, TheWindowClosesWhenTheDeviceGoesAway)
{
    database::CheckEngineRuntimes(true, nullptr);
    auto* window = windowtest::WaitForWindow<CEngineRuntimeDialog>(QStringLiteral("engineRuntimeDialog"));
    ASSERT_TRUE(window);
    QPointer<CEngineRuntimeDialog> alive(window);
    StopDevice();
    // The device is looked for every 3 seconds.
    EXPECT_TRUE(windowtest::WaitFor([&] { return !alive || !alive->isVisible(); }, 10000));
    EXPECT_FALSE(devlink::IsConnected());
}

} // namespace
