// The explorer's controller and models against a real cedevice: the listing
// with its texts and total line, the walk up from a folder deleted on the
// device within one poll, a poll of an unchanged folder, the read-only
// questions of a folder delete, new folder names, renames, and a device
// lost during a delete.
#include "ExplorerFixture.h"

#include "desktop/explorer/CFilePropertiesDialog.h"
#include "desktop/explorer/DeleteProgressWatch.h"
#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/link/AgentInvocation.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>

using namespace windowtest;
using devlink::PromptAnswer;
using devlink::ScriptedPrompter;

namespace {

class ExplorerTest : public ExplorerFixture { };

TEST_F(ExplorerTest, ListingShowsFoldersFirstWithTheTextsAndTotal)
{
    ASSERT_TRUE(MakeDir("\\Data"));
    ASSERT_TRUE(MakeDir("\\Data\\zeta"));
    ASSERT_TRUE(PutDated(
        "\\Data\\big.bin", std::string(1048576, 'x'), QDateTime(QDate(2031, 6, 7), QTime(8, 9), Qt::UTC)));
    ASSERT_TRUE(PutDeviceFile("\\Data\\half.bin", std::string(524288, 'y')));
    ASSERT_TRUE(PutDeviceFile("\\Data\\a.sdf", ""));
    ASSERT_TRUE(PutDeviceFile("\\Data\\b.sdf", ""));
    ASSERT_TRUE(settings::WriteString(devlink::EngineSettingName("\\Data\\b.sdf"), "3"));

    explorer::ExplorerController& explorer = Open("\\Data\\");
    EXPECT_EQ(explorer.dirName(), "\\Data");
    EXPECT_EQ(ListNames(), QStringList({ "zeta", "a.sdf", "b.sdf", "big.bin", "half.bin" }));
    EXPECT_EQ(explorer.listModel()->totalText(), "4 files.  1.5 Mb");
    EXPECT_EQ(Cell(0, explorer::kColumnSize), "");
    EXPECT_EQ(Cell(1, explorer::kColumnType), "SQLCE database");
    EXPECT_EQ(Cell(2, explorer::kColumnType), "SQL Server Mobile database");
    EXPECT_EQ(Cell(3, explorer::kColumnSize), "1,048,576");
    EXPECT_TRUE(Cell(3, explorer::kColumnDate).contains("19  08:09")) << Cell(3, 3).toStdString();

    // The tree reads the way to the folder completely, other branches
    // lazily, and "\Windows" not at all.
    QStandardItem* root = explorer.treeModel()->rootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(), "Mobile Device");
    QStandardItem* windows = explorer::DirectoryTreeModel::ChildNamed(root, "Windows");
    ASSERT_NE(windows, nullptr);
    ASSERT_EQ(windows->rowCount(), 1);
    EXPECT_EQ(windows->child(0)->text(), "ActiveSync");
    EXPECT_NE(explorer.treeModel()->ItemOf("\\Data\\zeta"), root);

    explorer.listModel()->sort(explorer::kColumnSize, Qt::DescendingOrder);
    EXPECT_EQ(ListNames(), QStringList({ "zeta", "big.bin", "half.bin", "a.sdf", "b.sdf" }));
}

TEST_F(ExplorerTest, FolderDeletedOnTheDeviceGivesWayToItsParentWithinOnePoll)
{
    ASSERT_TRUE(MakeDir("\\A"));
    ASSERT_TRUE(MakeDir("\\A\\B"));
    ASSERT_TRUE(PutDeviceFile("\\A\\kept.txt", "k"));
    explorer::ExplorerController& explorer = Open("\\A\\B", 400);
    QSignalSpy paths(&explorer, &explorer::ExplorerController::dirNameChanged);
    ASSERT_EQ(explorer.dirName(), "\\A\\B");
    const std::u16string gone = u"\\A\\B";
    ASSERT_TRUE(Device().CeRemoveDirectory(gone.c_str()));
    // One poll period and one refresh period.
    EXPECT_TRUE(WaitFor([&] { return ListNames() == QStringList({ "kept.txt" }); }, 2000));
    EXPECT_EQ(explorer.dirName(), "\\A");
    ASSERT_FALSE(paths.isEmpty());
    EXPECT_EQ(paths.last().first().toString(), "\\A");
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNames(explorer.treeModel()->ItemOf("\\A")), QStringList());
    EXPECT_EQ(m_prompter.Count(), 0);

    // A folder the user picks that is gone: said once, and its parent shown.
    explorer.SelectDirectory("\\A\\Never\\Deeper", true);
    Settle();
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].caption, "Warning");
    EXPECT_EQ(m_prompter.Records()[0].text,
        "Warning:  This directory cannot be found:   \r\n\r\n  \\A\\Never\\Deeper\r\n");
    EXPECT_EQ(explorer.dirName(), "\\A");

    // Its branch is read again: a folder gone from the device goes from the
    // tree too.
    ASSERT_TRUE(MakeDir("\\A\\C"));
    explorer.Refresh(false);
    Settle();
    ASSERT_NE(explorer::DirectoryTreeModel::ChildNamed(explorer.treeModel()->ItemOf("\\A"), "C"), nullptr);
    const std::u16string c = u"\\A\\C";
    ASSERT_TRUE(Device().CeRemoveDirectory(c.c_str()));
    m_prompter.QueueAnswer(PromptAnswer::Ok);
    explorer.SelectDirectory("\\A\\C", true);
    Settle();
    EXPECT_EQ(explorer.dirName(), "\\A");
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNamed(explorer.treeModel()->ItemOf("\\A"), "C"), nullptr);
}

TEST_F(ExplorerTest, NamesWithEveryAllowedCharacter)
{
    const QString unicode = QString::fromUtf8("Grüße ☃ файл.txt");
    const QString longName = QString(251, QLatin1Char('n')) + QStringLiteral(".txt");
    const QString spaced = QStringLiteral(" spaced  name .txt");
    ASSERT_TRUE(MakeDir("\\U"));
    for (const QString& name : { unicode, longName, spaced })
        ASSERT_TRUE(PutDeviceFile("\\U\\" + name, "u")) << name.toStdString();
    explorer::ExplorerController& explorer = Open("\\U");
    EXPECT_EQ(ListNames(), QStringList({ spaced, unicode, longName }));
    explorer.listModel()->setData(explorer.listModel()->index(1, 0), unicode + QStringLiteral(" 2"));
    Settle();
    EXPECT_EQ(GetDeviceFile("\\U\\" + unicode + QStringLiteral(" 2")), "u");
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ExplorerTest, PollOfAnUnchangedFolderLeavesTheListAlone)
{
    ASSERT_TRUE(MakeDir("\\Same"));
    ASSERT_TRUE(PutDeviceFile("\\Same\\one.txt", "1"));
    explorer::ExplorerController& explorer = Open("\\Same", 200);
    QSignalSpy resets(explorer.listModel(), &QAbstractItemModel::modelReset);
    QSignalSpy polls(&explorer, &explorer::ExplorerController::pollChecked);
    QSignalSpy waits(&explorer, &explorer::ExplorerController::waitingChanged);
    EXPECT_TRUE(WaitFor([&] { return polls.size() >= 3; }, 5000));
    EXPECT_EQ(resets.size(), 0);
    // Polls never show the wait cursor; a refresh the user asked for does, until it is shown.
    EXPECT_EQ(waits.size(), 0);
    explorer.Refresh(false);
    Settle();
    ASSERT_EQ(waits.size(), 2);
    EXPECT_TRUE(waits[0][0].toBool());
    EXPECT_FALSE(waits[1][0].toBool());
    // A changed file is shown by the next cycle.
    ASSERT_TRUE(PutDeviceFile("\\Same\\two.txt", "22"));
    EXPECT_TRUE(WaitFor([&] { return ListNames().size() == 2; }, 3000));
}

TEST_F(ExplorerTest, ReadOnlyFilesAskOnceWithTheAllAnswers)
{
    for (const char* dir : { "\\Del", "\\Del\\Sub" })
        ASSERT_TRUE(MakeDir(dir));
    for (const char* file : { "\\Del\\r1.txt", "\\Del\\Sub\\r2.txt", "\\Del\\Sub\\r3.txt" }) {
        ASSERT_TRUE(PutDeviceFile(file, "r"));
        ASSERT_TRUE(SetAttributes(file, 0x01));
    }
    ASSERT_TRUE(PutDeviceFile("\\Del\\plain.txt", "p"));
    explorer::ExplorerController& explorer = Open("\\Del");

    // "No to all": the read-only files and their folders stay, nothing more
    // is asked or reported.
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.QueueAnswer(PromptAnswer::NoToAll);
    explorer.DeleteTreeDirectory();
    Settle();
    QList<ScriptedPrompter::Record> records = m_prompter.Records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].caption, "Delete directory");
    EXPECT_EQ(records[0].text, "Delete the directory \"Del\" and all of it's subdirectories ?");
    EXPECT_EQ(records[1].text, "\\Del\\Sub\\r2.txt\r\n\r\nThis file is Read-Only.  Delete it anyway ?");
    EXPECT_EQ(records[1].buttons, devlink::PromptButtons::YesAllNoAllCancel);
    EXPECT_TRUE(DeviceFileThere("\\Del\\Sub\\r3.txt"));
    EXPECT_TRUE(DeviceFileThere("\\Del\\r1.txt"));
    EXPECT_FALSE(DeviceFileThere("\\Del\\plain.txt"));
    EXPECT_EQ(explorer.dirName(), "\\Del");
    EXPECT_EQ(ListNames(), QStringList({ "Sub", "r1.txt" }));

    // "Yes to all": every read-only file goes after one question.
    m_prompter.Clear();
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.QueueAnswer(PromptAnswer::YesToAll);
    explorer.DeleteTreeDirectory();
    Settle();
    EXPECT_EQ(m_prompter.Count(), 2);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
    EXPECT_FALSE(DeviceFileThere("\\Del"));
    EXPECT_EQ(explorer.dirName(), "\\");
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNamed(explorer.treeModel()->rootItem(), "Del"), nullptr);
}

TEST_F(ExplorerTest, ACancelledDeleteStopsBeforeItsNextEntryAndShowsWhatStayed)
{
    ASSERT_TRUE(MakeDir("\\Big"));
    ASSERT_TRUE(MakeDir("\\Big\\Sub"));
    ASSERT_TRUE(PutDeviceFile("\\Big\\Sub\\ro.txt", "r"));
    ASSERT_TRUE(SetAttributes("\\Big\\Sub\\ro.txt", 0x01));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Big\\f%1.txt").arg(i), "f"));
    explorer::ExplorerController& explorer = Open("\\Big");
    std::shared_ptr<explorer::DeleteProgress> progress;
    QObject::connect(&explorer, &explorer::ExplorerController::deleteStarted,
        [&](std::shared_ptr<explorer::DeleteProgress> started) { progress = started; });

    // The read-only question comes first (folders go deepest first); Cancel
    // is pressed while it is up, so the file asked about goes and nothing after it.
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.SetHook([&](const ScriptedPrompter::Record& record) {
        if (record.text.contains(QStringLiteral("Read-Only")))
            progress->cancelled = true;
    });
    explorer.DeleteTreeDirectory();
    Settle();
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->finished);
    EXPECT_EQ(progress->total, 23); // 20 files, Sub, ro.txt and Big itself
    EXPECT_EQ(progress->removed, 1);
    EXPECT_FALSE(DeviceFileThere("\\Big\\Sub\\ro.txt"));
    EXPECT_TRUE(DeviceFileThere("\\Big\\Sub"));
    EXPECT_TRUE(DeviceFileThere("\\Big\\f19.txt"));
    EXPECT_EQ(explorer.dirName(), "\\Big");
    EXPECT_EQ(ListNames().size(), 21);
    EXPECT_EQ(m_prompter.Count(), 2);

    EXPECT_EQ(explorer::DeleteProgressWatch::Text(0, 40, 5000), "Deleted 0 of 40 files and folders.");
    EXPECT_EQ(explorer::DeleteProgressWatch::Text(10, 40, 5000),
        "Deleted 10 of 40 files and folders.\nTime remaining: 00:16");
    EXPECT_EQ(explorer::DeleteProgressWatch::Text(1, 100, 2001),
        "Deleted 1 of 100 files and folders.\nTime remaining: 03:19");
}

TEST_F(ExplorerTest, DeleteFromTheList)
{
    for (const char* dir : { "\\L", "\\L\\Sub", "\\L\\Sub\\Deep" })
        ASSERT_TRUE(MakeDir(dir));
    ASSERT_TRUE(PutDeviceFile("\\L\\Sub\\Deep\\d.txt", "d"));
    ASSERT_TRUE(PutDeviceFile("\\L\\f.txt", "f"));
    ASSERT_TRUE(PutDeviceFile("\\L\\kept.txt", "k"));
    explorer::ExplorerController& explorer = Open("\\L");
    ASSERT_EQ(ListNames(), QStringList({ "Sub", "f.txt", "kept.txt" }));

    // "No" changes nothing.
    m_prompter.QueueAnswer(PromptAnswer::No);
    explorer.DeleteListSelection({ 1 });
    Settle();
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].caption, "Delete");
    EXPECT_EQ(m_prompter.Records()[0].text, "This will delete the file \"f.txt\"\r\n\r\nAre you sure ?");
    EXPECT_TRUE(DeviceFileThere("\\L\\f.txt"));

    m_prompter.Clear();
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    explorer.DeleteListSelection({ 0, 1 });
    Settle();
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text, "This will delete 2 items.\r\n\r\nAre you sure ?");
    EXPECT_FALSE(DeviceFileThere("\\L\\Sub"));
    EXPECT_FALSE(DeviceFileThere("\\L\\f.txt"));
    EXPECT_EQ(ListNames(), QStringList({ "kept.txt" }));
    EXPECT_EQ(explorer.listModel()->totalText(), "1 file  1 bytes");
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNames(explorer.treeModel()->ItemOf("\\L")), QStringList());
}

TEST_F(ExplorerTest, NewFolderNamesSkipThoseThatExist)
{
    // Device names ignore case: "New Folder" is also "New folder".
    for (const char* dir : { "\\N", "\\N\\New Folder", "\\N\\New Folder 1" })
        ASSERT_TRUE(MakeDir(dir));
    explorer::ExplorerController& explorer = Open("\\N");
    QSignalSpy treeEdits(&explorer, &explorer::ExplorerController::editTreeItemRequested);
    QSignalSpy listEdits(&explorer, &explorer::ExplorerController::editListRowRequested);
    explorer.CreateTreeFolder();
    Settle();
    EXPECT_TRUE(DeviceFileThere("\\N\\New Folder 2"));
    ASSERT_EQ(treeEdits.size(), 1);
    EXPECT_EQ(treeEdits.first().first().toModelIndex().data().toString(), "New Folder 2");
    explorer.CreateListFolder();
    Settle();
    EXPECT_TRUE(DeviceFileThere("\\N\\New folder1"));
    ASSERT_EQ(listEdits.size(), 1);
    EXPECT_EQ(explorer.listModel()->rowAt(listEdits.first().first().toInt()).name, "New folder1");
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ExplorerTest, RenamesToTheSameOrAnExistingName)
{
    ASSERT_TRUE(MakeDir("\\R"));
    ASSERT_TRUE(PutDeviceFile("\\R\\a.txt", "a"));
    ASSERT_TRUE(PutDeviceFile("\\R\\b.txt", "b"));
    explorer::ExplorerController& explorer = Open("\\R");
    explorer::FileListModel* list = explorer.listModel();
    // The list's own label change is always refused.
    EXPECT_FALSE(list->setData(list->index(0, 0), "a.txt"));
    Settle();
    EXPECT_EQ(m_prompter.Count(), 0);

    list->setData(list->index(0, 0), "b.txt");
    Settle();
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].caption, "Error");
    EXPECT_TRUE(m_prompter.Records()[0].text.contains("Cannot create a file when that file already exists"))
        << m_prompter.Records()[0].text.toStdString();
    EXPECT_EQ(GetDeviceFile("\\R\\a.txt"), "a");
    EXPECT_EQ(ListNames(), QStringList({ "a.txt", "b.txt" }));

    list->setData(list->index(0, 0), "c.txt");
    Settle();
    EXPECT_EQ(GetDeviceFile("\\R\\c.txt"), "a");
    EXPECT_EQ(ListNames(), QStringList({ "c.txt", "b.txt" }));

    // The tree's root item cannot be renamed; the shown folder can, and the
    // shown path follows it.
    const QModelIndex root = explorer.treeModel()->rootItem()->index();
    EXPECT_FALSE(explorer.treeModel()->flags(root) & Qt::ItemIsEditable);
    ASSERT_TRUE(MakeDir("\\Taken"));
    m_prompter.Clear();
    const QModelIndex folder = explorer.treeModel()->ItemOf("\\R")->index();
    explorer.treeModel()->setData(folder, "Taken");
    Settle();
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_TRUE(
        m_prompter.Records()[0].text.startsWith("Unable to rename \r\n\\R\r\nto:\r\n\\Taken.\r\n\r\nError: "))
        << m_prompter.Records()[0].text.toStdString();
    EXPECT_EQ(explorer.dirName(), "\\R");
    explorer.treeModel()->setData(folder, "R2");
    Settle();
    EXPECT_EQ(explorer.dirName(), "\\R2");
    EXPECT_EQ(GetDeviceFile("\\R2\\c.txt"), "a");
    EXPECT_EQ(explorer.treeModel()->ItemOf("\\R2")->text(), "R2");
}

TEST_F(ExplorerTest, PropertiesOfAFile)
{
    ASSERT_TRUE(MakeDir("\\P"));
    ASSERT_TRUE(
        PutDated("\\P\\p.txt", std::string(1000, 'p'), QDateTime(QDate(2010, 3, 4), QTime(5, 6), Qt::UTC)));
    ASSERT_TRUE(SetAttributes("\\P\\p.txt", 0x03));
    explorer::ExplorerController& explorer = Open("\\P");
    QSignalSpy ready(&explorer, &explorer::ExplorerController::propertiesReady);
    explorer.ShowProperties(0);
    Settle();
    ASSERT_EQ(ready.size(), 1);
    explorer::CFilePropertiesDialog dialog(ready.first().first().value<explorer::FileProperties>());
    EXPECT_EQ(dialog.windowTitle(), "File properties");
    auto text = [&](const char* name) { return dialog.findChild<QLineEdit*>(name)->text(); };
    EXPECT_EQ(text("fileNameField"), "p.txt");
    EXPECT_EQ(text("locationField"), "\\P");
    EXPECT_EQ(text("sizeField"), "1,000");
    EXPECT_TRUE(text("modifiedField")
                    .startsWith(explorer::DeviceDateText(
                        QDateTime(QDate(2010, 3, 4), QTime(5, 6), Qt::UTC), explorer::DesktopDatePattern())
                                    .left(8)));
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("hiddenCheck")->isChecked());
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("readOnlyCheck")->isChecked());
}

TEST_F(ExplorerTest, DeviceLostDuringADeleteShowsOnlyWhatWasDeleted)
{
    for (const char* dir : { "\\Lost", "\\Lost\\Gone", "\\Lost\\Ro" })
        ASSERT_TRUE(MakeDir(dir));
    ASSERT_TRUE(PutDeviceFile("\\Lost\\Gone\\g.txt", "g"));
    ASSERT_TRUE(PutDeviceFile("\\Lost\\Ro\\r.txt", "r"));
    ASSERT_TRUE(SetAttributes("\\Lost\\Ro\\r.txt", 0x01));
    explorer::ExplorerController& explorer = Open("\\Lost");
    ASSERT_EQ(ListNames(), QStringList({ "Gone", "Ro" }));

    m_prompter.SetHook([this](const ScriptedPrompter::Record& record) {
        if (record.text.contains("Read-Only"))
            StopDevice();
    });
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    explorer.DeleteTreeDirectory();
    Settle();
    m_prompter.SetHook({});
    const QList<ScriptedPrompter::Record> records = m_prompter.Records();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[2].caption, "Error");
    EXPECT_TRUE(records[2].text.startsWith("Unable to delete the file:\r\n\\Lost\\Ro\\r.txt.\r\n\r\nError: "))
        << records[2].text.toStdString();
    EXPECT_EQ(ListNames(), QStringList({ "Ro" }));
    QStandardItem* lost = explorer.treeModel()->ItemOf("\\Lost");
    EXPECT_EQ(explorer::DirectoryTreeModel::ChildNames(lost), QStringList({ "Ro" }));
}

} // namespace
