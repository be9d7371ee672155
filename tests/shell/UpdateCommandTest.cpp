// The online update in the main window: the start-up check's announcement in
// the tips window, and "Check for updates..." from the check to the start of
// the downloaded program with "-upgrade".
#include "ShellFixture.h"

#include "desktop/shell/CTipsWindow.h"
#include "desktop/update/CUpdateDialog.h"
#include "desktop/update/UpdateSettings.h"
#include "tests/update/LocalHttpServer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

using namespace shelltest;
using namespace windowtest;

namespace {

class UpdateCommandTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // The program's folder is this test's own, so that a download lands
        // there; the agent builds are linked in from the build.
        const QString dir = QString::fromStdString(programDir().string());
        for (const QString& name : update::ReleaseFiles().mid(1))
            ASSERT_TRUE(QFile::link(QStringLiteral(QV_BIN_DIR "/") + name, dir + QLatin1Char('/') + name));
        setenv("QUORVANE_PROGRAM_DIR", programDir().c_str(), 1);

        for (const QString& name : update::ReleaseFiles())
            m_server.Put(name, "new " + name.toUtf8());
        m_server.Put(QStringLiteral("SHA256SUMS"), m_server.ChecksumsOf(update::ReleaseFiles()));
        m_server.Put(QStringLiteral("Version.txt"), "v3.0\r\nFaster start\r\n");
        settings::WriteString(QStringLiteral("UpdateLocation"), m_server.Location());
    }

    updatetest::LocalHttpServer m_server;
};

TEST_F(UpdateCommandTest, StartUpAnnouncesTheNewReleaseAndTheDownloadIsHandedOver)
{
    StartDevice();
    shell::CMainWindow* window = OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    auto* tip = window->tipsWindow()->findChild<QLabel*>(QStringLiteral("tipText"));
    const QString announcement = QStringLiteral("There is a new version of \"Quorvane\" now\n"
                                                "available to download.\n"
                                                "Click on \"Options\\Check for Updates\" for details.");
    ASSERT_TRUE(WaitFor([&] { return tip->text() == announcement; })) << tip->text().toStdString();
    EXPECT_TRUE(window->tipsWindow()->isVisible());

    QStringList started;
    window->SetUpgradeStarter([&started](const QString& program, const QStringList& arguments) {
        started << program << arguments;
        return true;
    });
    QAction* command = window->ActionOf(shell::Command::CheckForUpdates);
    ASSERT_TRUE(command->isEnabled());
    command->trigger();
    auto* dialog = WaitForWindow<update::CUpdateDialog>(QStringLiteral("onlineUpdateDialog"));
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(WaitFor([&] { return dialog->update()->record().done; }));
    dialog->findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return !dialog->update()->isRunning(); }));
    ASSERT_TRUE(dialog->update()->record().done) << dialog->update()->record().statusText.toStdString();
    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();

    const QString program = update::DownloadFolder() + QLatin1Char('/') + update::ReleaseFiles().first();
    EXPECT_EQ(started, (QStringList { program, QStringLiteral("-upgrade") }));
    EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(UpdateCommandTest, NoAnnouncementWhenTheUserDoesNotWantToBeTold)
{
    settings::WriteDword(QStringLiteral("TellMeAboutUpdates"), 0);
    StartDevice();
    shell::CMainWindow* window = OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(WaitFor([&] { return window->controller()->updateCheck()->record().done; }));
    EXPECT_TRUE(window->controller()->updateCheck()->record().newVersionAvailable);
    EXPECT_FALSE(window->tipsWindow()
                     ->findChild<QLabel*>(QStringLiteral("tipText"))
                     ->text()
                     .startsWith(QLatin1String("There is a new version")));
}

} // namespace
