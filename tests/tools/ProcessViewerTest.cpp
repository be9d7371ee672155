// The process viewer window on a real device and the real agent: the list,
// the agent's own row, a kill and the refresh after it, the Smartphone
// device where no agent runs, and the window's rectangle.
#include "WindowFixture.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/settings/WindowRect.h"
#include "desktop/tools/CProcessViewer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

using namespace windowtest;

namespace {

class ProcessViewerTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
    }

    void StartWithAgent(const std::string& profile = "pocketpc")
    {
        StartAndConnect(profile);
        ASSERT_TRUE(devlink::DeployAgentFiles());
    }

    tools::CProcessViewer* OpenViewer()
    {
        m_viewer = new tools::CProcessViewer;
        m_viewer->model()->SetTickMs(20);
        QObject::connect(
            m_viewer->model(), &tools::ProcessViewerModel::queryFinished, m_viewer, [this] { ++m_queries; });
        m_list = m_viewer->findChild<QTreeView*>(QStringLiteral("processList"));
        m_status = m_viewer->findChild<QLabel*>(QStringLiteral("statusText"));
        m_kill = m_viewer->findChild<QPushButton*>(QStringLiteral("killButton"));
        m_refresh = m_viewer->findChild<QPushButton*>(QStringLiteral("refreshButton"));
        m_cancel = m_viewer->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        m_viewer->Open();
        return m_viewer;
    }

    // Waits for the end of the next query.
    bool WaitForList()
    {
        const int next = m_waited + 1;
        m_waited = next;
        return WaitFor([this, next] { return m_queries >= next; }, 60000);
    }

    QStringList Rows() const
    {
        QStringList rows;
        for (int row = 0; row < m_list->model()->rowCount(); ++row)
            rows.append(m_list->model()->index(row, 0).data().toString());
        return rows;
    }

    void ClickRow(const QString& name)
    {
        const int row = int(Rows().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        const QRect rect = m_list->visualRect(m_list->model()->index(row, 0));
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QAction* StopItemOf(const QString& name)
    {
        const int row = int(Rows().indexOf(name));
        QMenu* menu = m_viewer->ShowRowMenu(m_list->visualRect(m_list->model()->index(row, 0)).center());
        return menu ? menu->findChild<QAction*>(QStringLiteral("stopProcessAction")) : nullptr;
    }

    bool StartDeviceProgram(const QString& path) { return devlink::RunDeviceExe(path, QString(), true); }

    tools::CProcessViewer* m_viewer = nullptr;
    QTreeView* m_list = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_kill = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_queries = 0; // queries ended
    int m_waited = 0; // queries waited for
};

TEST_F(ProcessViewerTest, ListsTheProcessesAndTheAgentsOwnRowCannotBeKilled)
{
    StartWithAgent();
    OpenViewer();
    EXPECT_EQ(m_viewer->windowTitle(), QStringLiteral("Process Viewer"));
    EXPECT_TRUE(m_cancel->isVisible());
    EXPECT_FALSE(m_kill->isVisible());
    EXPECT_FALSE(m_refresh->isVisible());
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(m_list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Process name"));
    EXPECT_EQ(Rows(),
        QStringList({ QStringLiteral("NK.EXE"), QStringLiteral("filesys.exe"), QStringLiteral("device.exe"),
            QStringLiteral("gwes.exe"), QStringLiteral("services.exe"), QStringLiteral("shell32.exe"),
            QStringLiteral("connmgr.exe"), QStringLiteral("repllog.exe"),
            QStringLiteral("Quorvane2003.exe") }));
    EXPECT_EQ(m_status->text(), QStringLiteral("9 processes found."));
    EXPECT_FALSE(m_cancel->isVisible());
    EXPECT_TRUE(m_kill->isVisible());
    EXPECT_FALSE(m_kill->isEnabled());
    EXPECT_TRUE(m_refresh->isEnabled());

    ClickRow(QStringLiteral("Quorvane2003.exe"));
    EXPECT_FALSE(m_kill->isEnabled());
    QAction* item = StopItemOf(QStringLiteral("Quorvane2003.exe"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), QStringLiteral("Cannot stop this process."));
    EXPECT_FALSE(item->isEnabled());
    qobject_cast<QMenu*>(item->parent())->close();

    ClickRow(QStringLiteral("gwes.exe"));
    EXPECT_TRUE(m_kill->isEnabled());
    item = StopItemOf(QStringLiteral("gwes.exe"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), QStringLiteral("Stop the process: \"gwes.exe\""));
    EXPECT_TRUE(item->isEnabled());
    qobject_cast<QMenu*>(item->parent())->close();
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ProcessViewerTest, AKillEndsEveryCopyAndRefreshAfterwardsKillsNothingMore)
{
    StartWithAgent();
    ASSERT_TRUE(StartDeviceProgram(QStringLiteral("\\Windows\\pword.exe")));
    ASSERT_TRUE(StartDeviceProgram(QStringLiteral("\\Windows\\pword.exe")));
    OpenViewer();
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(Rows().count(QStringLiteral("pword.exe")), 2);

    ClickRow(QStringLiteral("pword.exe"));
    QTest::mouseClick(m_kill, Qt::LeftButton);
    EXPECT_EQ(m_status->text(), QStringLiteral("Killing \"pword.exe\"..."));
    EXPECT_FALSE(m_kill->isEnabled());
    ASSERT_TRUE(WaitForList());
    EXPECT_FALSE(Rows().contains(QStringLiteral("pword.exe")));
    EXPECT_EQ(m_status->text(), QStringLiteral("9 processes found."));

    // A new copy under the same name: Refresh lists it and leaves it running.
    ASSERT_TRUE(StartDeviceProgram(QStringLiteral("\\Windows\\pword.exe")));
    QTest::mouseClick(m_refresh, Qt::LeftButton);
    EXPECT_FALSE(m_refresh->isEnabled());
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(Rows().count(QStringLiteral("pword.exe")), 1);
    EXPECT_EQ(m_status->text(), QStringLiteral("10 processes found."));

    // Shown again after closing: a plain list once more.
    QTest::mouseClick(m_refresh, Qt::LeftButton);
    m_viewer->reject();
    EXPECT_FALSE(m_viewer->isVisible());
    m_viewer->Open();
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(Rows().count(QStringLiteral("pword.exe")), 1);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
}

TEST_F(ProcessViewerTest, OnASmartphoneNoAgentRunsAndTheMissingResultsFileIsReported)
{
    StartWithAgent("smartphone");
    // An answer left from an earlier run is not taken for this one.
    ASSERT_TRUE(
        PutDeviceFile(QStringLiteral("\\Quorvane\\SQLresults.txt"), linktest::Bytes16(u"stale.exe\r\n")));
    settings::WriteString(QStringLiteral("ProcessViewerRect"), QStringLiteral("30,40,430,440"));
    OpenViewer();
    EXPECT_EQ(m_viewer->geometry(), QRect(30, 40, 400, 400));
    ASSERT_TRUE(WaitForList());
    ASSERT_EQ(m_prompter.Count(), 1);
    const auto box = m_prompter.Records()[0];
    EXPECT_EQ(box.caption, QStringLiteral("Error"));
    EXPECT_EQ(box.text, QStringLiteral("Unable to open results file on the device."));
    EXPECT_EQ(box.icon, devlink::PromptIcon::Information);
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(m_status->text(), QString());
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\Quorvane\\SQLresults.txt")));

    m_viewer->setGeometry(50, 60, 380, 300);
    QTest::mouseClick(m_refresh, Qt::LeftButton);
    m_viewer->reject();
    settings::WindowRect stored;
    ASSERT_TRUE(settings::LoadWindowRect(QStringLiteral("ProcessViewerRect"), &stored));
    EXPECT_EQ(settings::ToQRect(stored), QRect(50, 60, 380, 300));
}

} // namespace
