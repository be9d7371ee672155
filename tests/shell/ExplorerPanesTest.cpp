// The explorer in the main window on a real device: a click in the tree
// lists the folder in the path field, the list and its total line; the
// menus of both panes; the list's keys; a database opened from the list
// in its own window.
#include "ShellFixture.h"

#include "desktop/database/CCompactDialog.h"
#include "desktop/database/DatabaseWindow.h"
#include "desktop/explorer/CFileDropTreeCtrl.h"
#include "desktop/explorer/CFileListCtrl.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/tools/CRunApplicationDialog.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

#include <atomic>

using namespace windowtest;

namespace {

class ExplorerPanesTest : public shelltest::ShellTest {
protected:
    // The menu's items as "text" or "text (off)", separators as "-".
    static QStringList Items(QMenu* menu)
    {
        QStringList items;
        for (QAction* action : menu->actions())
            items.append(action->isSeparator() ? QStringLiteral("-")
                                               : action->text() + (action->isEnabled() ? "" : " (off)"));
        return items;
    }

    void ClickTreeItem(const QModelIndex& index)
    {
        explorer::CFileDropTreeCtrl* tree = m_window->directoryTree();
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    }

    bool Settled()
    {
        return WaitFor([this] { return !m_window->explorer()->isBusy(); });
    }
};

TEST_F(ExplorerPanesTest, TreeClickListsTheFolderWithItsMenusAndKeys)
{
    StartDevice();
    for (const char* dir : { "\\Docs", "\\Docs\\Sub" }) {
        const std::u16string name = linktest::U(QString::fromLatin1(dir));
        ASSERT_TRUE(Device().CeCreateDirectory(name.c_str(), nullptr));
    }
    ASSERT_TRUE(PutDeviceFile("\\Docs\\x.sdf", "not a database"));
    ASSERT_TRUE(PutDeviceFile("\\Docs\\note.txt", std::string(10, 'n')));
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(Settled());
    explorer::ExplorerController* explorer = m_window->explorer();
    auto* path = m_window->findChild<QLineEdit*>(QStringLiteral("pathField"));
    auto* total = m_window->findChild<QLabel*>(QStringLiteral("filesTotal"));
    EXPECT_EQ(path->text(), "\\");

    QStandardItem* docs = explorer::DirectoryTreeModel::ChildNamed(explorer->treeModel()->rootItem(), "Docs");
    ASSERT_NE(docs, nullptr);
    ClickTreeItem(docs->index());
    ASSERT_TRUE(WaitFor([&] { return path->text() == "\\Docs"; }));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(total->text(), "2 files.  24 bytes");
    explorer::FileListModel* list = explorer->listModel();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->rowAt(0).name, "Sub");

    EXPECT_EQ(Items(m_window->directoryTree()->BuildContextMenu()),
        QStringList({ "Create new folder..", "-", "Search for SQLCE databases..", "-", "Copy", "Paste (off)",
            "-", "Rename", "Delete", "-", "Refresh" }));

    explorer::CFileListCtrl* files = m_window->fileList();
    files->setCurrentIndex(list->index(list->RowOf("x.sdf"), 0));
    EXPECT_EQ(Items(files->BuildContextMenu()),
        QStringList({ "Open \"x.sdf\"", "Open \"x.sdf\" in a separate thread", "-", "Compact \"x.sdf\"...",
            "-", "Copy", "Paste (off)", "-", "Rename", "Delete ", "-", "Properties", "-", "Refresh", "-",
            "New folder", "Create a new database file..." }));
    // "Compact" opens the compact dialog on that file.
    files->findChild<QAction*>(QStringLiteral("compactAction"))->trigger();
    auto* compact = WaitForWindow<database::CCompactDialog>(QStringLiteral("compactDialog"), 10000);
    ASSERT_NE(compact, nullptr);
    EXPECT_EQ(compact->findChild<QLineEdit*>(QStringLiteral("directoryField"))->text(), "\\Docs");
    EXPECT_EQ(compact->findChild<QLineEdit*>(QStringLiteral("fileNameField"))->text(), "x.sdf");
    compact->close();
    files->clearSelection();
    EXPECT_EQ(Items(files->BuildContextMenu()),
        QStringList({ "Paste (off)", "-", "Properties (off)", "-", "Refresh", "-", "New folder",
            "Create a new database file..." }));

    // Ctrl+A selects everything; Escape leaves the window open.
    files->setFocus();
    QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(files->SelectedRows().size(), 3);
    QTest::keyClick(files, Qt::Key_Escape);
    EXPECT_TRUE(m_window->isVisible());

    // Enter on the one selected database opens it in its own window.
    files->clearSelection();
    files->setCurrentIndex(list->index(list->RowOf("x.sdf"), 0));
    QTest::keyClick(files, Qt::Key_Return);
    auto* database = WaitForWindow<database::DatabaseWindow>(QStringLiteral("databaseWindow"), 10000);
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->windowTitle(), "Tables");
    auto* label = database->findChild<QLabel*>(QStringLiteral("databasePathLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().contains("\\Docs\\x.sdf")) << label->text().toStdString();
    database->close();

    // A program without kept parameters asks for them in the run window.
    explorer->SelectDirectory(QStringLiteral("\\Windows"), false);
    ASSERT_TRUE(WaitFor([&] { return path->text() == "\\Windows"; }));
    ASSERT_TRUE(Settled());
    const int program = list->RowOf(QStringLiteral("pword.exe"));
    ASSERT_GE(program, 0);
    explorer->OpenRow(program);
    auto* run = WaitForWindow<tools::CRunApplicationDialog>(QStringLiteral("runApplicationDialog"), 10000);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->findChild<QLabel*>(QStringLiteral("programName"))->text(), "\\Windows\\pword.exe");
    run->reject();

    // The test start at the connection let databases open; without the
    // device they cannot.
    EXPECT_TRUE(explorer->isEngineUsable());
    m_window->controller()->OnDeviceDisconnected();
    EXPECT_FALSE(explorer->isEngineUsable());
}

TEST_F(ExplorerPanesTest, TreeKeysRenameAndDeleteTheSelectedFolder)
{
    StartDevice();
    for (const char* dir : { "\\Docs", "\\Docs\\Sub" }) {
        const std::u16string name = linktest::U(QString::fromLatin1(dir));
        ASSERT_TRUE(Device().CeCreateDirectory(name.c_str(), nullptr));
    }
    ASSERT_TRUE(PutDeviceFile("\\Docs\\Sub\\note.txt", "n"));
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(Settled());
    explorer::ExplorerController* explorer = m_window->explorer();
    explorer::CFileDropTreeCtrl* tree = m_window->directoryTree();
    auto* path = m_window->findChild<QLineEdit*>(QStringLiteral("pathField"));
    QStandardItem* docs = explorer::DirectoryTreeModel::ChildNamed(explorer->treeModel()->rootItem(), "Docs");
    ASSERT_NE(docs, nullptr);
    ClickTreeItem(docs->index());
    ASSERT_TRUE(WaitFor([&] { return path->text() == "\\Docs"; }));
    ASSERT_TRUE(Settled());
    QStandardItem* sub = explorer::DirectoryTreeModel::ChildNamed(docs, "Sub");
    ASSERT_NE(sub, nullptr);
    ClickTreeItem(sub->index());
    ASSERT_TRUE(WaitFor([&] { return path->text() == "\\Docs\\Sub"; }));
    ASSERT_TRUE(Settled());

    // F2 edits the folder's name in place; Enter renames it on the device.
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_F2);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Kept"));
    QTest::keyClick(editor, Qt::Key_Return);
    const auto exists
        = [&](const char16_t* name) { return Device().CeGetFileAttributes(name) != 0xFFFFFFFF; };
    ASSERT_TRUE(WaitFor([&] { return exists(u"\\Docs\\Kept\\note.txt"); }));
    EXPECT_FALSE(exists(u"\\Docs\\Sub"));
    ASSERT_TRUE(Settled());

    // Delete asks first, then removes the folder with what it holds and
    // shows its parent.
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Delete);
    ASSERT_TRUE(WaitFor([&] { return !exists(u"\\Docs\\Kept"); }));
    ASSERT_TRUE(Settled());
    ASSERT_GE(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().front().text, QStringLiteral("Delete the directory \"Kept\" ?"));
    EXPECT_TRUE(WaitFor([&] { return path->text() == "\\Docs"; }));
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNamed(docs, "Kept"), nullptr);
}

TEST_F(ExplorerPanesTest, ALongDeleteShowsItsProgressAndStopsAtCancel)
{
    StartDevice();
    for (const char* dir : { "\\Big", "\\Big\\Sub" }) {
        const std::u16string name = linktest::U(QString::fromLatin1(dir));
        ASSERT_TRUE(Device().CeCreateDirectory(name.c_str(), nullptr));
    }
    ASSERT_TRUE(PutDeviceFile("\\Big\\Sub\\ro.txt", "r"));
    ASSERT_TRUE(Device().CeSetFileAttributes(u"\\Big\\Sub\\ro.txt", 0x01));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Big\\f%1.txt").arg(i), "f"));
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(Settled());
    explorer::ExplorerController* explorer = m_window->explorer();
    QStandardItem* big = explorer::DirectoryTreeModel::ChildNamed(explorer->treeModel()->rootItem(), "Big");
    ASSERT_NE(big, nullptr);
    ClickTreeItem(big->index());
    ASSERT_TRUE(Settled());

    // The read-only question holds the delete long enough for its progress
    // to show; the user presses Cancel meanwhile.
    std::atomic<bool> cancelPressed { false };
    m_prompter.SetHook([&](const devlink::ScriptedPrompter::Record& record) {
        if (record.text.contains(QStringLiteral("Read-Only")))
            WaitFor([&] { return cancelPressed.load(); }, 20000);
    });
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    explorer::CFileDropTreeCtrl* tree = m_window->directoryTree();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Delete);
    QProgressDialog* progress = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        progress = m_window->findChild<QProgressDialog*>(QStringLiteral("deleteProgressDialog"));
        return progress && progress->isVisible();
    }));
    EXPECT_EQ(progress->labelText(), QStringLiteral("Deleted 0 of 13 files and folders."));
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    cancelPressed = true;
    ASSERT_TRUE(WaitFor(
        [&] { return !m_window->findChild<QProgressDialog*>(QStringLiteral("deleteProgressDialog")); }));
    ASSERT_TRUE(Settled());
    const auto exists
        = [&](const char16_t* name) { return Device().CeGetFileAttributes(name) != 0xFFFFFFFF; };
    EXPECT_FALSE(exists(u"\\Big\\Sub\\ro.txt"));
    EXPECT_TRUE(exists(u"\\Big\\Sub"));
    EXPECT_TRUE(exists(u"\\Big\\f9.txt"));
    m_prompter.SetHook({});
}

TEST_F(ExplorerPanesTest, AReconnectedDeviceIsReadAgain)
{
    StartDevice();
    OpenMainWindow();
    ASSERT_TRUE(WaitForStartup());
    ASSERT_TRUE(Settled());
    explorer::ExplorerController* explorer = m_window->explorer();
    QCoreApplication::postEvent(m_window, new QEvent(shell::kDeviceDisconnectedEvent));
    ASSERT_TRUE(WaitFor([&] { return !m_window->directoryTree()->isEnabled(); }));
    EXPECT_FALSE(explorer->isConnected());

    const std::u16string later = u"\\Later";
    ASSERT_TRUE(Device().CeCreateDirectory(later.c_str(), nullptr));
    // Read at the reconnection, well before the poll's first period (10 s)
    // and the refresh timer's (5 s) could have shown it.
    QCoreApplication::postEvent(m_window, new QEvent(shell::kDeviceConnectedEvent));
    EXPECT_TRUE(WaitFor(
        [&] {
            return m_window->directoryTree()->isEnabled()
                && explorer::DirectoryTreeModel::ChildNamed(explorer->treeModel()->rootItem(), "Later");
        },
        7000));
    EXPECT_TRUE(Settled());
}

} // namespace
