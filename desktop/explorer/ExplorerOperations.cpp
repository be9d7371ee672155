// The explorer's file operations: deletes from the tree and the list, new
// folders, in-place renames, properties and opening a row.
#include "desktop/explorer/ExplorerController.h"

#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileOpenRules.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/settings/ProgramParameters.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QSet>

#include <algorithm>
#include <memory>

namespace explorer {
namespace {

using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;

bool AskYes(const QString& caption, const QString& text)
{
    return devlink::ShowMessage(caption, text, PromptIcon::Question, PromptButtons::YesNoCancel)
        == PromptAnswer::Yes;
}

// What a delete did, for the panes to show.
struct DeleteOutcome {
    bool confirmed = false;
    bool folderDeleted = false;
    QStringList deletedNames; // entries of the listed directory that are gone
    QStringList removedDirs; // device paths of folders removed
    // The directory to show afterwards and its listing, when it could be read.
    QString dirName;
    bool listed = false;
    FileRows files;
    FileRows dirs;
};

// Marks a delete's progress finished however its work ends.
struct FinishedAtEnd {
    DeleteProgress& progress;
    ~FinishedAtEnd() { progress.finished = true; }
};

} // namespace

void ExplorerController::DeleteTreeDirectory()
{
    QStandardItem* item = CurrentTreeItem();
    if (!item)
        return;
    const QString dir = m_dirName;
    const bool hasChildren = item->rowCount() > 0;
    const QString name = item->text();
    auto outcome = std::make_shared<DeleteOutcome>();
    auto progress = std::make_shared<DeleteProgress>();
    emit deleteStarted(progress);
    PausePoll();
    Run(
        [outcome, progress, dir, hasChildren, name] {
            FinishedAtEnd finished { *progress };
            const QString question = dir == QLatin1String("\\")
                ? QStringLiteral("Delete all of the files and directories on the device ?")
                : QStringLiteral("Delete the directory \"%1\"%2")
                      .arg(name,
                          hasChildren ? QStringLiteral(" and all of it's subdirectories ?")
                                      : QStringLiteral(" ?"));
            if (!AskYes(QStringLiteral("Delete directory"), question))
                return;
            outcome->confirmed = true;
            // The folder itself goes too, unless it is the root.
            progress->total
                = std::max(0, CountEntriesBelow(dir, progress.get())) + (dir == QLatin1String("\\") ? 0 : 1);
            DeleteState state;
            state.progress = progress.get();
            DeleteDirectory(dir, &state);
            outcome->removedDirs = state.removedDirs;
            outcome->dirName = dir;
            while (outcome->dirName != QLatin1String("\\") && state.removedDirs.contains(outcome->dirName))
                outcome->dirName = ParentDevicePath(outcome->dirName);
            // A cancelled delete leaves the device reachable: show what stayed.
            if (!state.stopped || progress->cancelled)
                outcome->listed = ReadDirectory(outcome->dirName, &outcome->files, &outcome->dirs);
        },
        [this, outcome, dir] {
            if (!outcome->confirmed)
                return;
            for (const QString& removed : std::as_const(outcome->removedDirs)) {
                QString matched;
                QStandardItem* gone = m_tree.ItemOf(removed, &matched);
                if (gone && gone->parent() && matched.compare(removed, Qt::CaseInsensitive) == 0)
                    gone->parent()->removeRow(gone->row());
            }
            SetDirName(outcome->dirName);
            if (outcome->listed) {
                ShowList(outcome->files, outcome->dirs);
            } else if (outcome->dirName == dir) {
                // The device went away: what is known to be gone goes from
                // the list, nothing else.
                QStringList names;
                for (const QString& removed : std::as_const(outcome->removedDirs))
                    if (ParentDevicePath(removed) == dir)
                        names.append(LastComponent(removed));
                m_list.RemoveNames(names);
            }
            if (QStandardItem* item = CurrentTreeItem())
                emit currentTreeItemChanged(item->index());
        },
        [this] { ResumePoll(); });
}

void ExplorerController::DeleteListSelection(const QList<int>& rows)
{
    if (rows.isEmpty())
        return;
    struct Item {
        QString name;
        bool isDir;
    };
    QVector<Item> items;
    for (int row : rows)
        if (row >= 0 && row < m_list.rowCount())
            items.append({ m_list.rowAt(row).name, m_list.rowAt(row).isDir });
    const QString dir = m_dirName;
    const QStringList treeFolders = DirectoryTreeModel::ChildNames(CurrentTreeItem());
    auto outcome = std::make_shared<DeleteOutcome>();
    auto progress = std::make_shared<DeleteProgress>();
    emit deleteStarted(progress);
    PausePoll();
    Run(
        [outcome, progress, items, dir, treeFolders] {
            FinishedAtEnd finished { *progress };
            QString question = items.size() == 1
                ? QString::fromLatin1(items[0].isDir ? "This will delete the directory \"%1\"\r\n\r\n"
                                                     : "This will delete the file \"%1\"\r\n\r\n")
                      .arg(items[0].name)
                : QStringLiteral("This will delete %1 items.\r\n\r\n").arg(items.size());
            if (!AskYes(QStringLiteral("Delete"), question + QStringLiteral("Are you sure ?")))
                return;
            outcome->confirmed = true;
            int total = 0;
            for (const Item& item : items)
                total += 1
                    + (item.isDir
                            ? std::max(0, CountEntriesBelow(JoinDevicePath(dir, item.name), progress.get()))
                            : 0);
            progress->total = total;
            for (const Item& item : items) {
                if (progress->cancelled)
                    break;
                const QString path = JoinDevicePath(dir, item.name);
                if (!item.isDir) {
                    if (DeleteListFile(path, item.name)) {
                        outcome->deletedNames.append(item.name);
                        ++progress->removed;
                    }
                    continue;
                }
                if (!treeFolders.contains(item.name, Qt::CaseInsensitive)) {
                    devlink::ShowMessage(QStringLiteral("Quorvane"),
                        QStringLiteral("Could not delete directory \"%1\"").arg(item.name));
                    continue;
                }
                DeleteState state;
                state.progress = progress.get();
                const bool deleted = DeleteDirectory(path, &state);
                outcome->removedDirs += state.removedDirs;
                if (deleted) {
                    outcome->deletedNames.append(item.name);
                    outcome->folderDeleted = true;
                } else {
                    break;
                }
            }
        },
        [this, outcome] {
            if (!outcome->confirmed)
                return;
            // Shown as gone at once; the refresh below shows the rest.
            m_list.RemoveNames(outcome->deletedNames);
            for (const QString& removed : std::as_const(outcome->removedDirs)) {
                QString matched;
                QStandardItem* gone = m_tree.ItemOf(removed, &matched);
                if (gone && gone->parent() && matched.compare(removed, Qt::CaseInsensitive) == 0)
                    gone->parent()->removeRow(gone->row());
            }
            for (const QString& name : std::as_const(outcome->deletedNames)) {
                for (FileRows* rows : { &m_files, &m_dirs })
                    rows->removeIf([&name](const FileRow& row) { return row.name == name; });
            }
            emit totalTextChanged(m_list.totalText());
            if (!outcome->deletedNames.isEmpty())
                Refresh(!outcome->folderDeleted);
        },
        [this] { ResumePoll(); });
}

void ExplorerController::CreateTreeFolder()
{
    CreateFolder(true);
}

void ExplorerController::CreateListFolder()
{
    CreateFolder(false);
}

void ExplorerController::CreateFolder(bool fromTree)
{
    const QString dir = m_dirName;
    auto created = std::make_shared<QString>();
    PausePoll();
    Run(
        [dir, created, fromTree] {
            // The tree and the list name their new folders differently.
            const std::optional<QString> name = fromTree
                ? FreeFolderName(dir, QStringLiteral("New Folder"), QStringLiteral(" "), 999)
                : FreeFolderName(dir, QStringLiteral("New folder"), QString(), 0);
            if (!name)
                return;
            const QString path = JoinDevicePath(dir, *name);
            if (!CreateDeviceDirectory(path)) {
                if (fromTree)
                    devlink::ShowMessage(QStringLiteral("Create Directory"),
                        QStringLiteral("Unable to create temporary directory:\r\n") + path,
                        PromptIcon::Warning);
                else
                    devlink::ShowMessage(QStringLiteral("Error"),
                        QStringLiteral("Unable to create default directory name: %1.\r\n").arg(*name),
                        PromptIcon::Warning);
                return;
            }
            *created = *name;
        },
        [this, dir, created, fromTree] {
            QStandardItem* parent = m_tree.ItemOf(dir);
            const bool parentShown = parent && DirectoryTreeModel::PathOf(parent) == dir;
            if (created->isEmpty())
                return;
            devlink::TraceLine(QStringLiteral("m_dirName = ") + dir);
            QStandardItem* item = parentShown ? m_tree.InsertFolder(parent, *created) : nullptr;
            if (m_dirName == dir) {
                FileRow row;
                row.isDir = true;
                row.name = *created;
                m_dirs.append(row);
                m_list.AddFolder(*created);
            }
            if (fromTree && item)
                emit editTreeItemRequested(item->index());
            else if (!fromTree && m_dirName == dir)
                emit editListRowRequested(m_list.RowOf(*created));
        },
        [this] { ResumePoll(); });
}

void ExplorerController::BeginEdit()
{
    PausePoll();
}

void ExplorerController::EndEdit()
{
    ResumePoll();
}

void ExplorerController::RenameTreeItem(const QModelIndex& index, const QString& newName)
{
    QStandardItem* item = m_tree.itemFromIndex(index);
    if (!item || !item->parent() || newName.isEmpty() || newName == item->text())
        return;
    const QString from = DirectoryTreeModel::PathOf(item);
    const QString to = JoinDevicePath(ParentDevicePath(from), newName);
    const QPersistentModelIndex kept(index);
    auto renamed = std::make_shared<bool>(false);
    PausePoll();
    Run([from, to, renamed] { *renamed = RenameTreeDirectory(from, to); },
        [this, kept, from, to, newName, renamed] {
            QStandardItem* item = m_tree.itemFromIndex(kept);
            if (!*renamed || !item)
                return;
            m_movingTreeItem = true;
            m_tree.RenameFolder(item, newName);
            m_movingTreeItem = false;
            if (m_dirName == from || m_dirName.startsWith(from + QLatin1Char('\\')))
                SetDirName(to + m_dirName.mid(from.size()));
            else if (ParentDevicePath(from) == m_dirName)
                Refresh(true);
            if (QStandardItem* current = CurrentTreeItem())
                emit currentTreeItemChanged(current->index());
        },
        [this] { ResumePoll(); });
}

void ExplorerController::RenameListRow(int row, const QString& newName)
{
    if (row < 0 || row >= m_list.rowCount() || newName.isEmpty())
        return;
    const FileRow& entry = m_list.rowAt(row);
    const QString oldName = entry.name;
    // The same name changes nothing on the device.
    if (newName == oldName)
        return;
    const bool isDir = entry.isDir;
    const QString dir = m_dirName;
    const QString from = JoinDevicePath(dir, oldName), to = JoinDevicePath(dir, newName);
    auto renamed = std::make_shared<bool>(false);
    PausePoll();
    Run([from, to, renamed] { *renamed = devlink::RapiCeMoveFile(from, to); },
        [this, dir, oldName, newName, isDir, renamed] {
            if (!*renamed || m_dirName != dir)
                return;
            m_list.RenameRow(m_list.RowOf(oldName), newName);
            for (FileRows* rows : { &m_files, &m_dirs })
                for (FileRow& row : *rows)
                    if (row.name == oldName) {
                        row.name = newName;
                        row.upperName = newName.toUpper();
                    }
            if (isDir)
                if (QStandardItem* child = DirectoryTreeModel::ChildNamed(CurrentTreeItem(), oldName))
                    m_tree.RenameFolder(child, newName);
        },
        [this] { ResumePoll(); });
}

QString ExplorerController::PathOfRow(int row) const
{
    if (row < 0 || row >= m_list.rowCount())
        return {};
    return JoinDevicePath(m_dirName, m_list.rowAt(row).name);
}

void ExplorerController::AddCreatedFolder(const QString& parentDir, const QString& name)
{
    QStandardItem* parent = m_tree.ItemOf(parentDir);
    if (parent && DirectoryTreeModel::PathOf(parent).compare(parentDir, Qt::CaseInsensitive) == 0
        && !DirectoryTreeModel::ChildNamed(parent, name))
        m_tree.InsertFolder(parent, name);
    if (m_dirName.compare(parentDir, Qt::CaseInsensitive) != 0 || m_list.RowOf(name) >= 0)
        return;
    FileRow row;
    row.isDir = true;
    row.name = name;
    row.upperName = name.toUpper();
    m_dirs.append(row);
    m_list.AddFolder(name);
}

void ExplorerController::ShowProperties(int row)
{
    if (row < 0 || row >= m_list.rowCount())
        return;
    auto properties = std::make_shared<FileProperties>();
    properties->path = PathOfRow(row);
    properties->typeText = m_list.rowAt(row).typeText;
    properties->icon = m_list.data(m_list.index(row, kColumnName), Qt::DecorationRole).value<QIcon>();
    auto found = std::make_shared<bool>(false);
    Run([properties, found] { *found = FindEntry(properties->path, &properties->found); },
        [this, properties, found] {
            if (*found)
                emit propertiesReady(*properties);
        });
}

void ExplorerController::OpenRow(int row, bool askParameters)
{
    if (row < 0 || row >= m_list.rowCount())
        return;
    const FileRow& entry = m_list.rowAt(row);
    const QString path = PathOfRow(row);
    if (entry.isDir) {
        SelectDirectory(path, true);
        return;
    }
    const QString extension = FileExtension(entry.name);
    if (extension == QLatin1String("sdf")) {
        if (m_engineUsable)
            emit openDatabaseRequested(path);
        else
            ui::TellFromWindow(parent() ? parent() : this, QStringLiteral("Quorvane"),
                QStringLiteral("Quorvane cannot open SQLCE files on this type of device."),
                PromptIcon::Information);
    } else if (extension == QLatin1String("cab")) {
        emit cabInstallRequested(path);
    } else if (extension == QLatin1String("exe")) {
        QString parameters;
        if (askParameters || !settings::RememberedParameters(path, &parameters))
            emit runDialogRequested(path);
        else
            Run([path, parameters] { devlink::RunDeviceCommand(path, parameters); }, [] {});
    } else {
        emit openFileRequested(path);
    }
}

} // namespace explorer
