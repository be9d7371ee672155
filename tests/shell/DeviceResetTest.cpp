// Resets from the main window's menu against a real device: the device is
// treated as gone once the agent was started and comes back through the
// device host's notices; a hard reset wipes the user's files; a reset whose
// agent cannot start says so and leaves the window connected.
#include "ShellFixture.h"

#include "desktop/shell/ActiveSyncRegistration.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/tools/CHardResetDialog.h"
#include "desktop/tools/CProcessViewer.h"
#include "desktop/tools/CResetDialog.h"
#include "desktop/tools/DeviceResetter.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

using namespace shelltest;
using namespace windowtest;
using shell::Command;
using Kind = devlink::ScriptedPrompter::Kind;

namespace {

class DeviceResetTest : public ShellTest {
protected:
    // A device whose notices reach this process's windows, and the main
    // window started on it.
    void StartWithNotices()
    {
        ASSERT_TRUE(shell::RegisterWithActiveSync(QStringLiteral(QV_QUORVANE)));
        ASSERT_TRUE(m_channel.Listen(&m_why)) << m_why.toStdString();
        int notices = 0;
        QObject::connect(&m_channel, &shell::InstanceChannel::noticeReceived, [&] { ++notices; });
        StartDevice();
        ASSERT_TRUE(WaitFor([&] { return notices == 1; })) << "the device's connect notice did not arrive";
        QObject::disconnect(&m_channel, &shell::InstanceChannel::noticeReceived, nullptr, nullptr);
        OpenMainWindow();
        ASSERT_TRUE(WaitForStartup());
    }

    tools::CResetDialog* ChooseReset(Command command)
    {
        m_window->ActionOf(command)->trigger();
        return WaitForWindow<tools::CResetDialog>(QStringLiteral("resetDialog"));
    }

    // Waits until the device has gone and come back, and the tools with it.
    bool WaitForReturn()
    {
        shell::MainController* controller = m_window->controller();
        QAction* viewer = m_window->ActionOf(Command::ProcessViewer);
        bool wentAway = false;
        // The restart dropped the test's own connection too.
        m_deviceSide.reset();
        return WaitFor(
            [&] {
                wentAway = wentAway || (!controller->isConnected() && !viewer->isEnabled());
                return wentAway && controller->isConnected() && viewer->isEnabled();
            },
            90000);
    }

    shell::InstanceChannel m_channel;
    QString m_why;
};

TEST_F(DeviceResetTest, ASoftResetDisconnectsKeepsTheFilesAndTheDeviceComesBack)
{
    StartWithNotices();
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\keep.txt"), "kept"));
    tools::CResetDialog* first = ChooseReset(Command::SoftReset);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->isHard());
    QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("yesButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForReturn());
    ASSERT_GE(m_prompter.Count(), 1);
    const auto notice = m_prompter.Records()[0];
    EXPECT_EQ(notice.kind, Kind::RunningApplication);
    EXPECT_TRUE(notice.notice.labelHidden);
    EXPECT_EQ(notice.notice.text, QStringLiteral("Soft-reseting your device.."));
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
    EXPECT_FALSE(m_window->controller()->restartRequested());
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\My Documents\\keep.txt")), "kept");
}

TEST_F(DeviceResetTest, AHardResetThroughBothWindowsWipesAUserFile)
{
    StartWithNotices();
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\mine.txt"), "mine"));
    tools::CResetDialog* first = ChooseReset(Command::HardReset);
    ASSERT_TRUE(first);
    auto* deleteAll = first->findChild<QPushButton*>(QStringLiteral("deleteAllButton"));
    ASSERT_TRUE(WaitFor([&] { return deleteAll->isEnabled(); }));
    QTest::mouseClick(deleteAll, Qt::LeftButton);
    tools::CHardResetDialog* second = first->secondDialog();
    ASSERT_TRUE(second);
    QTest::mouseClick(second->findChild<QRadioButton*>(QStringLiteral("deleteAllRadio")), Qt::LeftButton);
    QTest::mouseClick(second->findChild<QCheckBox*>(QStringLiteral("noValueCheckBox")), Qt::LeftButton);
    QTest::mouseClick(second->findChild<QPushButton*>(QStringLiteral("yesButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForReturn());
    EXPECT_EQ(m_prompter.Records().value(0).notice.text, QStringLiteral("Hard-reseting your device.."));
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\My Documents\\mine.txt")));
    // The reconnection put the agent back on the wiped device.
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
}

TEST_F(DeviceResetTest, AResetWhoseAgentCannotStartSaysSoAndStaysConnected)
{
    StartDevice();
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(Device().CeDeleteFile(u"\\Quorvane\\Quorvane2003.exe"));
    tools::CResetDialog* first = ChooseReset(Command::SoftReset);
    ASSERT_TRUE(first);
    bool finished = false;
    QObject::connect(m_window->resetter(), &tools::DeviceResetter::finished, [&] { finished = true; });
    QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("yesButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return finished && m_prompter.Count() == 2; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(m_prompter.Records()[0].text.contains(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
    EXPECT_EQ(m_prompter.Records()[1].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records()[1].text, tools::DeviceResetter::NotResetText());
    EXPECT_TRUE(m_window->controller()->isConnected());
    EXPECT_TRUE(m_window->ActionOf(Command::SoftReset)->isEnabled());
}

TEST_F(DeviceResetTest, TheProcessViewerIsOneWindowOpenedFromTheMenu)
{
    StartDevice();
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    QAction* viewer = m_window->ActionOf(Command::ProcessViewer);
    ASSERT_TRUE(viewer->isEnabled());
    viewer->trigger();
    tools::CProcessViewer* shown = m_window->processViewer();
    ASSERT_TRUE(shown && shown->isVisible());
    ASSERT_TRUE(WaitFor([&] { return shown->model()->list()->rowCount() > 0 && !shown->model()->isBusy(); }));
    shown->reject();
    viewer->trigger();
    EXPECT_EQ(m_window->processViewer(), shown);
    EXPECT_TRUE(shown->isVisible());
}

} // namespace
