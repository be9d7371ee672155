// The main window against a real device: the start-up sequence behind the
// splash, the menu, a device that is absent, goes and comes back.
#include "ShellFixture.h"

#include "desktop/settings/WindowRect.h"
#include "desktop/shell/ActiveSyncRegistration.h"
#include "desktop/shell/CSplashWindow.h"
#include "desktop/shell/CTipsWindow.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/tools/CRegistryEditor.h"
#include "desktop/tools/CTroubleshooterWindow.h"
#include "desktop/ui/CConnectionErrorDialog.h"
#include "desktop/ui/WidgetPrompter.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>

using namespace shelltest;
using namespace windowtest;
using shell::Command;

namespace {

QStringList ItemTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->menu() ? action->menu()->title() + QStringLiteral(" >") : action->text());
    return texts;
}

TEST(Splash, FadesInOneHundredAndOneStepsRoundedDown)
{
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(0), 255);
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(1), 252);
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(2), 249);
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(50), 127);
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(99), 2);
    EXPECT_EQ(shell::CSplashWindow::FadeAlpha(100), 0);
}

TEST_F(ShellTest, StartUpConnectsDeploysTheAgentAndOffersTheDeviceTools)
{
    StartDevice();
    shell::CMainWindow* window = OpenMainWindow();
    auto* splash = WaitForWindow<shell::CSplashWindow>(QStringLiteral("splashWindow"));
    ASSERT_TRUE(splash);
    EXPECT_EQ(splash->findChild<QLabel*>(QStringLiteral("pleaseWaitLine"))->text(),
        QStringLiteral("Please wait..."));
    EXPECT_FALSE(splash->findChild<QPushButton*>(QStringLiteral("okButton"))->isVisible());
    ASSERT_TRUE(WaitForStartup());
    EXPECT_EQ(m_statuses,
        QStringList(
            { QStringLiteral("Connecting to device..."), QStringLiteral("Checking device-side programs..."),
                QStringLiteral("Reading directory information...") }));
    EXPECT_FALSE(ShownWindow<shell::CSplashWindow>(QStringLiteral("splashWindow")));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("pathField"))->text(), QStringLiteral("\\"));

    for (const char* file :
        { "\\Quorvane\\Quorvane2003.exe", "\\Quorvane\\Quorvane2005.exe", "\\Quorvane\\Haltquill.exe" })
        EXPECT_TRUE(DeviceFileThere(QString::fromLatin1(file))) << file;
    shell::MainController* controller = window->controller();
    EXPECT_TRUE(controller->isConnected());
    for (Command command : { Command::ProcessViewer, Command::RegistryEditor, Command::SoftReset,
             Command::HardReset, Command::SearchDatabases })
        EXPECT_TRUE(controller->IsAllowed(command)) << int(command);

    // Every item of menu 154; those whose window comes later say so.
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("Options"));
    EXPECT_EQ(ItemTexts(menus[0]->menu()),
        QStringList({ QStringLiteral("Check for updates..."), QStringLiteral("&Preferences..."),
            QStringLiteral("&Run..."), QStringLiteral("E&xit") }));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Tools"));
    EXPECT_EQ(ItemTexts(menus[1]->menu()),
        QStringList({ QStringLiteral("&Process Viewer"), QStringLiteral("Registry Editor"),
            QStringLiteral("&Search for all SQLCE databases..."),
            QStringLiteral("Check device's SQLCE libraries"), QStringLiteral("Reset your device >") }));
    EXPECT_EQ(window->ActionOf(Command::SoftReset)->text(), QStringLiteral("Soft reset  (safe)"));
    EXPECT_EQ(window->ActionOf(Command::HardReset)->text(), QStringLiteral("Hard reset (dangerous)"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("&About"));
    EXPECT_EQ(ItemTexts(menus[2]->menu()),
        QStringList({ QStringLiteral("Contact us..."), QStringLiteral("About Quorvane...") }));
    QAction* search = window->ActionOf(Command::SearchDatabases);
    EXPECT_TRUE(search->isEnabled());
    EXPECT_FALSE(search->toolTip().contains(QStringLiteral("not part")));
    EXPECT_TRUE(window->ActionOf(Command::ProcessViewer)->isEnabled());
    EXPECT_TRUE(window->ActionOf(Command::HardReset)->isEnabled());
    EXPECT_TRUE(window->ActionOf(Command::Run)->isEnabled());
    EXPECT_TRUE(window->ActionOf(Command::Preferences)->isEnabled());
    EXPECT_TRUE(window->ActionOf(Command::About)->isEnabled());
    EXPECT_FALSE(window->ActionOf(Command::About)->toolTip().contains(QStringLiteral("not part")));

    // "Registry Editor" opens the editor; a second use hides it again.
    QAction* editor = window->ActionOf(Command::RegistryEditor);
    EXPECT_TRUE(editor->isEnabled());
    EXPECT_EQ(window->registryEditor(), nullptr);
    editor->trigger();
    ASSERT_NE(window->registryEditor(), nullptr);
    EXPECT_TRUE(window->registryEditor()->isVisible());
    EXPECT_EQ(window->registryEditor()->windowTitle(), QStringLiteral("Registry editor"));
    editor->trigger();
    EXPECT_FALSE(window->registryEditor()->isVisible());

    EXPECT_TRUE(window->tipsWindow()->isVisible());
    EXPECT_EQ(window->tipsWindow()->findChild<QLabel*>(QStringLiteral("tipText"))->text(),
        shell::CTipsWindow::Tips().first());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ShellTest, AWindowsCe3DeviceSkipsTheDeviceSideCheckAndTheSplashFades)
{
    settings::DeleteValue(QStringLiteral("SmellTheFlowers"));
    StartDevice("ppc2002");
    OpenMainWindow();
    QPointer<shell::CSplashWindow> splash
        = WaitForWindow<shell::CSplashWindow>(QStringLiteral("splashWindow"));
    ASSERT_TRUE(splash);
    int lastStep = -1;
    qreal lastOpacity = 1;
    QObject::connect(splash, &QDialog::finished, [&] {
        lastStep = splash->fadeStep();
        lastOpacity = splash->windowOpacity();
    });
    ASSERT_TRUE(WaitForStartup());
    EXPECT_EQ(m_statuses,
        QStringList({ QStringLiteral("Connecting to device..."),
            QStringLiteral("Reading directory information...") }));
    EXPECT_EQ(lastStep, 100);
    EXPECT_EQ(lastOpacity, 0.0);
    QString warning;
    settings::ReadString(QStringLiteral("ActiveSyncWarning"), &warning);
    EXPECT_EQ(warning, QStringLiteral("1")) << "ActiveSync's device values name a major version below 4";
}

TEST_F(ShellTest, WithoutADeviceTheConnectionDialogIsShownAndCancelLeavesTheToolsOff)
{
    ui::WidgetPrompter widgets;
    devlink::SetPrompter(&widgets);
    shell::CMainWindow* window = OpenMainWindow();
    auto* dialog = WaitForWindow<ui::CConnectionErrorDialog>(QStringLiteral("connectionErrorDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Connection error"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("messageLabel"))->text(),
        QStringLiteral("Unable to connect to your device."));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForStartup());
    EXPECT_EQ(m_statuses.last(), QStringLiteral("No Windows Mobile devices detected."));
    EXPECT_FALSE(window->controller()->isConnected());
    EXPECT_FALSE(window->controller()->IsAllowed(Command::SearchDatabases));
    EXPECT_FALSE(window->controller()->IsAllowed(Command::ProcessViewer));
    EXPECT_FALSE(window->findChild<QTreeView*>(QStringLiteral("directoryTree"))->isEnabled());
    EXPECT_FALSE(window->findChild<QTreeView*>(QStringLiteral("fileList"))->isEnabled());
    EXPECT_TRUE(window->isVisible()) << "the main window stays without a device";
    devlink::SetPrompter(&m_prompter);
}

TEST_F(ShellTest, RetryConnectsToADeviceStartedWhileTheDialogWasOpen)
{
    devlink::LinkTiming timing = linktest::TestTiming();
    timing.connectionDialogRetryMs = 600000; // only "&Retry" connects
    devlink::SetLinkTiming(timing);
    ui::WidgetPrompter widgets;
    devlink::SetPrompter(&widgets);
    shell::CMainWindow* window = OpenMainWindow();
    auto* dialog = WaitForWindow<ui::CConnectionErrorDialog>(QStringLiteral("connectionErrorDialog"));
    ASSERT_TRUE(dialog);
    StartDevice();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("retryButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForStartup());
    EXPECT_TRUE(m_statuses.contains(QStringLiteral("Checking device-side programs...")));
    EXPECT_TRUE(window->controller()->isConnected());
    EXPECT_TRUE(window->controller()->IsAllowed(Command::ProcessViewer));
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\Quorvane\\Haltquill.exe")));
    devlink::SetPrompter(&m_prompter);
}

TEST_F(ShellTest, ADeviceThatVanishesDuringTheSplashEndsTheStartUpWithoutAHang)
{
    StartDevice();
    shell::CMainWindow* window = OpenMainWindow();
    bool stopped = false;
    // Gone as soon as the work has connected; every question that follows
    // gets the answer that changes nothing.
    QObject::connect(window->startup(), &shell::StartupSequence::statusChanged, window, [&] {
        if (!stopped) {
            stopped = true;
            StopDevice();
        }
    });
    ASSERT_TRUE(WaitForStartup());
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(ShownWindow<shell::CSplashWindow>(QStringLiteral("splashWindow")));
    // The window still answers the user.
    QTest::mouseClick(window->menuBar(), Qt::LeftButton, {},
        window->menuBar()->actionGeometry(window->menuBar()->actions().first()).center());
    EXPECT_TRUE(WaitFor([&] { return window->menuBar()->actions().first()->menu()->isVisible(); }));
    window->menuBar()->actions().first()->menu()->close();
}

TEST_F(ShellTest, TheDeviceGoingAndComingBackSwitchesTheToolsAndTheExplorer)
{
    // The device host runs the real program's notices, which reach this
    // process's windows through its instance channel.
    ASSERT_TRUE(shell::RegisterWithActiveSync(QStringLiteral(QV_QUORVANE)));
    shell::InstanceChannel channel;
    QString why;
    ASSERT_TRUE(channel.Listen(&why)) << why.toStdString();
    int notices = 0;
    QObject::connect(&channel, &shell::InstanceChannel::noticeReceived, [&] { ++notices; });
    StartDevice();
    ASSERT_TRUE(WaitFor([&] { return notices == 1; })) << "the device's connect notice did not arrive";

    shell::CMainWindow* window = OpenMainWindow();
    window->SetCommandHandler(Command::ProcessViewer, [] {});
    window->SetCommandHandler(Command::SoftReset, [] {});
    ASSERT_TRUE(WaitForStartup());
    QAction* viewer = window->ActionOf(Command::ProcessViewer);
    QAction* reset = window->ActionOf(Command::SoftReset);
    auto* tree = window->findChild<QTreeView*>(QStringLiteral("directoryTree"));
    ASSERT_TRUE(viewer->isEnabled() && reset->isEnabled() && tree->isEnabled());

    StopDevice();
    ASSERT_TRUE(WaitFor([&] { return !viewer->isEnabled() && !reset->isEnabled() && !tree->isEnabled(); }));
    EXPECT_FALSE(window->controller()->isConnected());

    StartDevice();
    ASSERT_TRUE(WaitFor([&] { return viewer->isEnabled() && reset->isEnabled() && tree->isEnabled(); }));
    EXPECT_TRUE(window->controller()->isConnected());
    EXPECT_FALSE(window->controller()->restartRequested());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ShellTest, AReconnectionThatFailsStartsTheProgramAnew)
{
    m_prompter.QueueConnectionAnswer(devlink::ConnectionErrorAnswer::Cancel);
    shell::CMainWindow* window = OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    int starts = 0;
    bool startable = false;
    window->controller()->SetInstanceStarter([&] {
        ++starts;
        return startable;
    });

    // The new copy cannot be started: the window says so and stays.
    QCoreApplication::postEvent(window, new QEvent(shell::kDeviceConnectedEvent));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 2; }));
    const auto record = m_prompter.Records().last();
    EXPECT_EQ(record.caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(record.text,
        QStringLiteral("Unable to launch a new copy of our .exe :\r\n%1\r\n")
            .arg(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(record.icon, devlink::PromptIcon::Information);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->controller()->restartRequested());

    startable = true;
    QCoreApplication::postEvent(window, new QEvent(shell::kDeviceConnectedEvent));
    ASSERT_TRUE(WaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(starts, 2);
    EXPECT_TRUE(window->controller()->restartRequested());
}

TEST_F(ShellTest, CtrlTAndCtrlRInTheExplorerShowAndHideTheirWindowsAndGiveTheFocusBack)
{
    StartDevice();
    shell::CMainWindow* window = OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    auto* tree = window->findChild<QTreeView*>(QStringLiteral("directoryTree"));
    window->activateWindow();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(window->troubleshooter()->isVisible());
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == tree; }));
    QTest::keyClick(tree, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(window->troubleshooter()->isVisible());

    auto* files = window->findChild<QAbstractItemView*>(QStringLiteral("fileList"));
    ASSERT_TRUE(files);
    files->setFocus();
    QTest::keyClick(files, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(window->registryEditor());
    EXPECT_TRUE(window->registryEditor()->isVisible());
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == files; }));
    QTest::keyClick(files, Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(window->registryEditor()->isVisible());
}

TEST_F(ShellTest, TheMainWindowKeepsItsRectangleAndIgnoresABrokenOne)
{
    m_prompter.QueueConnectionAnswer(devlink::ConnectionErrorAnswer::Cancel);
    settings::WriteString(QStringLiteral("MainWndRect"), QStringLiteral("40,30,640,430"));
    shell::CMainWindow* window = OpenMainWindow();
    EXPECT_EQ(window->geometry(), QRect(40, 30, 600, 400));
    window->setGeometry(50, 60, 500, 300);
    window->hide();
    settings::WindowRect stored;
    ASSERT_TRUE(settings::LoadWindowRect(QStringLiteral("MainWndRect"), &stored));
    EXPECT_EQ(settings::ToQRect(stored), QRect(50, 60, 500, 300));
    delete window;

    for (const char* broken : { "40,-30,640,430", "40,30,41,31", "1,2,3,4,5", "" }) {
        settings::WriteString(QStringLiteral("MainWndRect"), QString::fromLatin1(broken));
        window = OpenMainWindow();
        EXPECT_EQ(window->size(), QSize(780, 540)) << broken;
        delete window;
    }
}

} // namespace
