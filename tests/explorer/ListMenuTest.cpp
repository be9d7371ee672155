// The file list's entries for one selected file against a real cedevice:
// programs run with their kept parameters or ask for them, databases need a
// device that runs the engine, and "Open by.." with its methods and the
// remembered one checked.
#include "ExplorerFixture.h"

#include "desktop/explorer/CFileListCtrl.h"
#include "desktop/explorer/FileOpenRules.h"
#include "desktop/settings/ProgramParameters.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

using namespace windowtest;
using Kind = devlink::ScriptedPrompter::Kind;

namespace {

class ListMenuTest : public ExplorerFixture {
protected:
    void TearDown() override
    {
        delete m_list;
        ExplorerFixture::TearDown();
    }

    // The list view over the opened folder, with `name` selected.
    explorer::CFileListCtrl* Select(const QString& name)
    {
        if (!m_list)
            m_list = new explorer::CFileListCtrl(m_explorer.get());
        explorer::FileListModel* model = m_explorer->listModel();
        m_list->clearSelection();
        m_list->setCurrentIndex(model->index(model->RowOf(name), 0));
        return m_list;
    }

    // The file's own entries of the menu (up to the first separator), as
    // "text", "text (off)" or "text (checked)"; a submenu's items follow
    // its title, indented.
    static QStringList FileEntries(QMenu* menu, const QString& indent = QString())
    {
        QStringList items;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) {
                if (indent.isEmpty())
                    break;
                items.append(indent + QStringLiteral("-"));
                continue;
            }
            items.append(indent + action->text() + (action->isEnabled() ? "" : " (off)")
                + (action->isChecked() ? " (checked)" : ""));
            if (action->menu())
                items += FileEntries(action->menu(), indent + QStringLiteral("  "));
        }
        return items;
    }

    QAction* Action(const char* name) const { return m_list->findChild<QAction*>(QLatin1String(name)); }

    explorer::CFileListCtrl* m_list = nullptr;
};

TEST_F(ListMenuTest, AProgramRunsWithItsKeptParametersAndAsksForThemOtherwise)
{
    const QString program = QStringLiteral("\\Windows\\pword.exe");
    explorer::ExplorerController& explorer = Open(QStringLiteral("\\Windows"));
    QSignalSpy asked(&explorer, &explorer::ExplorerController::runDialogRequested);
    const int row = explorer.listModel()->RowOf(QStringLiteral("pword.exe"));
    ASSERT_GE(row, 0);

    // Nothing kept: the run dialog asks, and nothing runs yet.
    EXPECT_EQ(FileEntries(Select(QStringLiteral("pword.exe"))->BuildContextMenu()),
        QStringList({ "Run \"pword.exe\"" }));
    Action("runAction")->trigger();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked[0][0].toString(), program);
    Settle();
    EXPECT_EQ(m_prompter.Count(), 0);

    // Kept parameters: the program runs with them at once, and the menu
    // offers to give new ones.
    settings::RememberParameters(program, QStringLiteral("a.txt"), true);
    explorer.OpenRow(row);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].kind, Kind::RunningApplication);
    EXPECT_EQ(m_prompter.Records()[0].notice.programPath, program);
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(FileEntries(Select(QStringLiteral("pword.exe"))->BuildContextMenu()),
        QStringList({ "Run \"pword.exe\"", "Run \"pword.exe\" with new command-line parameters" }));
    Action("runWithParametersAction")->trigger();
    ASSERT_EQ(asked.count(), 2);
    EXPECT_EQ(asked[1][0].toString(), program);
    Settle();
    EXPECT_EQ(m_prompter.Count(), 1);
}

TEST_F(ListMenuTest, DatabasesNeedADeviceThatRunsTheEngine)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\x.sdf"), "db"));
    explorer::ExplorerController& explorer = Open(QStringLiteral("\\"));
    QSignalSpy opened(&explorer, &explorer::ExplorerController::openDatabaseRequested);
    QSignalSpy separate(&explorer, &explorer::ExplorerController::openDatabaseSeparatelyRequested);
    QSignalSpy compact(&explorer, &explorer::ExplorerController::compactDatabaseRequested);

    EXPECT_EQ(FileEntries(Select(QStringLiteral("x.sdf"))->BuildContextMenu()),
        QStringList({ "Open \"x.sdf\"", "Open \"x.sdf\" in a separate thread" }));
    Action("openThreadAction")->trigger();
    ASSERT_EQ(separate.count(), 1);
    EXPECT_EQ(separate[0][0].toString(), QStringLiteral("\\x.sdf"));

    explorer.SetEngineUsable(false);
    QMenu* menu = Select(QStringLiteral("x.sdf"))->BuildContextMenu();
    EXPECT_EQ(FileEntries(menu),
        QStringList({ "Open \"x.sdf\" (off)", "Open \"x.sdf\" in a separate thread (off)" }));
    EXPECT_FALSE(Action("compactAction")->isEnabled());
    // A double click says why, and opens nothing.
    explorer.OpenRow(explorer.listModel()->RowOf(QStringLiteral("x.sdf")));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records()[0].icon, devlink::PromptIcon::Information);
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("Quorvane cannot open SQLCE files on this type of device."));
    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(compact.count(), 0);
}

TEST_F(ListMenuTest, OpenByOffersTheMethodsWithTheRememberedOneChecked)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\notes.TXT"), "n"));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\README"), "r"));
    explorer::ExplorerController& explorer = Open(QStringLiteral("\\"));
    QSignalSpy openWith(&explorer, &explorer::ExplorerController::openFileWithRequested);
    QSignalSpy choose(&explorer, &explorer::ExplorerController::chooseOpenMethodRequested);

    // Nothing remembered: nothing checked, and no device program to open with.
    EXPECT_EQ(FileEntries(Select(QStringLiteral("notes.TXT"))->BuildContextMenu()),
        QStringList({ "Open \"notes.TXT\"", "Open by..", "  Copy to PC and open there",
            "  Open on the device (off)", "  Open using built-in text editor", "  -",
            "  Choose default Open method for *.txt files.." }));
    Action("copyToPcAction")->trigger();
    ASSERT_EQ(openWith.count(), 1);
    EXPECT_EQ(openWith[0][0].toString(), QStringLiteral("\\notes.TXT"));
    EXPECT_EQ(openWith[0][1].value<explorer::OpenMethod>(), explorer::OpenMethod::CopyToPc);

    // Another file of the extension shows what was remembered for it.
    explorer::StoreOpenMethod(QStringLiteral("txt"), explorer::OpenMethod::Editor);
    explorer::StoreApplication(QStringLiteral("txt"), QStringLiteral("\\Windows\\pword.exe %1"));
    EXPECT_EQ(FileEntries(Select(QStringLiteral("notes.TXT"))->BuildContextMenu()),
        QStringList({ "Open \"notes.TXT\"", "Open by..", "  Copy to PC and open there",
            "  Open on the device", "  Open using built-in text editor (checked)", "  -",
            "  Choose default Open method for *.txt files.." }));
    Action("openOnDeviceAction")->trigger();
    ASSERT_EQ(openWith.count(), 2);
    EXPECT_EQ(openWith[1][1].value<explorer::OpenMethod>(), explorer::OpenMethod::OnDevice);
    Action("chooseOpenMethodAction")->trigger();
    ASSERT_EQ(choose.count(), 1);
    EXPECT_EQ(choose[0][0].toString(), QStringLiteral("\\notes.TXT"));

    // A file without an extension has no entries of its own.
    EXPECT_EQ(
        FileEntries(Select(QStringLiteral("README"))->BuildContextMenu()).value(0), QStringLiteral("Copy"));
}

} // namespace
