#include "desktop/explorer/ExplorerController.h"

#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileSizeText.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestContext.h"
#include "platform/rapi/Rapi.h"

#include <QDateTime>

#include <memory>

namespace explorer {
namespace {

bool DirectoryExists(const QString& path)
{
    if (path.isEmpty() || path == QLatin1String("\\"))
        return true;
    const std::u16string name = path.toStdU16String();
    const DWORD attributes = CeGetFileAttributes(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kAttributeDirectory);
}

// The nearest existing folder of `path`, itself included.
QString NearestExisting(QString path)
{
    while (path != QLatin1String("\\") && !DirectoryExists(path))
        path = ParentDevicePath(path);
    return path;
}

} // namespace

ExplorerController::ExplorerController(QObject* parent)
    : QObject(parent)
    , m_tree(this)
    , m_list(this)
    , m_transfers(new FileTransfers(this))
{
    m_pollTimer.setInterval(10000);
    m_refreshTimer.setInterval(5000);
    connect(&m_pollTimer, &QTimer::timeout, this, &ExplorerController::PollNow);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ExplorerController::OnRefreshTimer);
    connect(&m_tree, &DirectoryTreeModel::renameRequested, this, &ExplorerController::RenameTreeItem);
    connect(&m_list, &FileListModel::renameRequested, this, &ExplorerController::RenameListRow);
}

ExplorerController::~ExplorerController()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void ExplorerController::SetIntervals(int pollMs, int refreshMs)
{
    m_pollTimer.setInterval(pollMs);
    m_refreshTimer.setInterval(refreshMs);
}

void ExplorerController::Run(
    std::function<void()> work, std::function<void()> done, std::function<void()> ended)
{
    ++m_pending;
    auto ran = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this,
        [work = std::move(work), ran](devlink::RequestContext&) {
            work();
            *ran = true;
        },
        [this, done = std::move(done), ended = std::move(ended), ran](devlink::RequestEnd) {
            --m_pending;
            if (ended)
                ended();
            // Work that never ran (cancelled, or the device kept by another
            // program) leaves everything as it was.
            if (*ran && !m_stopped)
                done();
            if (m_pending == 0)
                emit settled();
        });
}

void ExplorerController::RunWaited(std::function<void()> work, std::function<void()> done)
{
    if (m_waitedReads++ == 0)
        emit waitingChanged(true);
    Run(std::move(work), std::move(done), [this] {
        if (--m_waitedReads == 0)
            emit waitingChanged(false);
    });
}

void ExplorerController::Start(const QString& selectPath)
{
    m_stopped = false;
    SetDirName(selectPath.isEmpty() ? QStringLiteral("\\") : selectPath);
    // Without a device the panes wait for its connection.
    if (m_connected)
        Refresh(false);
    else
        m_refreshDirs = true;
    m_refreshTimer.start();
    m_pollTimer.start();
}

void ExplorerController::Stop()
{
    m_stopped = true;
    m_pollTimer.stop();
    m_refreshTimer.stop();
    devlink::TraceLine(QStringLiteral("ReadInFilesThread():  Closing thread.\r\n"));
    devlink::DeviceSession::Instance().Forget(this);
    m_pending = 0;
}

void ExplorerController::SetDirName(const QString& path)
{
    const QString dir = path.isEmpty() ? QStringLiteral("\\") : path;
    if (dir == m_dirName)
        return;
    m_dirName = dir;
    emit dirNameChanged(m_dirName);
}

void ExplorerController::Refresh(bool filesOnly)
{
    m_list.SetSizeForm(ShowFilesizeAs());
    auto listing = std::make_shared<Listing>();
    const QString dir = m_dirName;
    RunWaited(
        [listing, dir, filesOnly] {
            // A directory that went away gives way to its nearest parent.
            listing->dirName = NearestExisting(dir);
            if (!filesOnly)
                listing->treeRead = ReadDirectoryTree(listing->dirName, &listing->tree);
            listing->ok = ReadDirectory(listing->dirName, &listing->files, &listing->dirs);
        },
        [this, listing] { ApplyListing(*listing); });
}

void ExplorerController::SelectDirectory(const QString& path, bool byUser)
{
    if (m_movingTreeItem)
        return;
    if (path == m_dirName) {
        devlink::TraceLine(QStringLiteral("OnSelchangedDirtree(): m_dirName hasn't changed: ") + path);
        return;
    }
    devlink::TraceLine(QStringLiteral("OnSelchangedDirtree(): Reading in directory for ") + path);
    SetDirName(path);
    QStandardItem* item = m_tree.ItemOf(path);
    const QStringList branchNames = DirectoryTreeModel::ChildNames(item);
    const bool branchHasPlaceholder = item && item->rowCount() > 0 && branchNames.isEmpty();
    auto listing = std::make_shared<Listing>();
    RunWaited(
        [listing, path, byUser, branchNames, branchHasPlaceholder] {
            QString dir = path;
            if (!DirectoryExists(dir)) {
                if (byUser)
                    devlink::ShowMessage(QStringLiteral("Warning"),
                        QStringLiteral("Warning:  This directory cannot be found:   \r\n\r\n  %1\r\n")
                            .arg(dir),
                        devlink::PromptIcon::Information);
                dir = NearestExisting(dir);
            }
            listing->dirName = dir;
            listing->ok = ReadDirectory(dir, &listing->files, &listing->dirs);
            if (!listing->ok)
                return;
            // The branch's items against the folders just read (a parent
            // reached from a vanished folder still shows that folder).
            if (dir != path || branchHasPlaceholder || NamesOf(listing->dirs) != branchNames) {
                devlink::TraceLine(QStringLiteral(
                    "CheckForDirectoryChanges():  One or more subdirectories have been changed.\r\n"));
                listing->branchPath = dir;
                listing->branchRead = ReadInSubdirectoryTree(dir, &listing->branch, dir, false);
            }
        },
        [this, listing] { ApplyListing(*listing); });
}

void ExplorerController::ExpandBranch(const QModelIndex& index)
{
    QStandardItem* item = m_tree.itemFromIndex(index);
    // Only a branch read one level deep (one child or the placeholder) may
    // hide folders.
    if (!item || !item->parent() || item->rowCount() != 1)
        return;
    const QString path = DirectoryTreeModel::PathOf(item);
    const QStringList shown = DirectoryTreeModel::ChildNames(item);
    auto listing = std::make_shared<Listing>();
    RunWaited(
        [listing, path] {
            listing->branchPath = path;
            listing->branchRead = ReadInSubdirectoryTree(path, &listing->branch, path, false);
        },
        [this, listing, shown] {
            QStandardItem* branch = m_tree.ItemOf(listing->branchPath);
            if (!listing->branchRead || !branch || DirectoryTreeModel::PathOf(branch) != listing->branchPath)
                return;
            QStringList read;
            for (const TreeNode& child : listing->branch.children)
                read.append(child.name);
            if (read != shown || listing->branch.children.value(0).children.size() > 0)
                m_tree.SetChildren(branch, listing->branch);
        });
}

void ExplorerController::ApplyListing(const Listing& listing)
{
    if (listing.treeRead) {
        m_tree.SetTree(listing.tree);
    } else if (listing.branchRead) {
        if (QStandardItem* branch = m_tree.ItemOf(listing.branchPath); branch
            && DirectoryTreeModel::PathOf(branch).compare(listing.branchPath, Qt::CaseInsensitive) == 0)
            m_tree.SetChildren(branch, listing.branch);
    }
    if (!listing.ok) {
        devlink::TraceLine(
            QStringLiteral("ReadDirectory(): Couldn't read the directory %1.\r\n").arg(listing.dirName));
        return;
    }
    // The tree's path may stop short of a folder that is gone.
    QString reached;
    m_tree.ItemOf(listing.dirName, &reached);
    SetDirName(listing.treeRead ? reached : listing.dirName);
    ShowList(listing.files, listing.dirs);
    if (QStandardItem* item = CurrentTreeItem())
        emit currentTreeItemChanged(item->index());
}

void ExplorerController::ShowList(const FileRows& files, const FileRows& dirs)
{
    m_files = files;
    m_dirs = dirs;
    m_list.SetListing(files, dirs);
    emit totalTextChanged(m_list.totalText());
}

QStandardItem* ExplorerController::CurrentTreeItem() const
{
    return m_tree.ItemOf(m_dirName);
}

void ExplorerController::SetConnected(bool connected)
{
    m_connected = connected;
    // What changed while the device was away is read now.
    if (connected && !m_stopped && m_refreshTimer.isActive()) {
        m_refreshDirs = true;
        OnRefreshTimer();
    }
}

void ExplorerController::ResumePoll()
{
    if (m_pauseCount > 0)
        --m_pauseCount;
    // The poll counts its period anew after a pause.
    if (m_pauseCount == 0 && m_pollTimer.isActive())
        m_pollTimer.start();
}

void ExplorerController::PollNow()
{
    devlink::TraceLine(
        QStringLiteral("%1  ReadInFilesThread()\r\n")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    if (m_pauseCount > 0 || m_pollRunning || !m_connected || m_stopped)
        return;
    m_pollRunning = true;
    auto finding = std::make_shared<PollFinding>();
    const QString dir = m_dirName;
    const QStringList rootNames = DirectoryTreeModel::ChildNames(m_tree.rootItem());
    const FileRows files = m_files, dirs = m_dirs;
    Run(
        [finding, dir, rootNames, files, dirs] {
            finding->dirName = dir;
            const bool rootThere = devlink::RetryWithWaits(
                10, 500, [] { return CeGetFileAttributes(u"\\") != INVALID_FILE_ATTRIBUTES; });
            if (!rootThere) {
                devlink::TraceLine(QStringLiteral(
                    "CheckFilesOnTheDevice():  Couldn't find the attributes of the root directory.\r\n"));
                return;
            }
            const QString trace
                = QStringLiteral("CheckFilesOnTheDevice(): Sending a 'Refresh Dirs' message..\r\n");
            if (!DirectoryExists(dir)) {
                finding->dirName = NearestExisting(dir);
                devlink::TraceLine(trace);
                finding->refreshDirs = true;
                return;
            }
            QStringList folders;
            if (ReadFolderNames(QStringLiteral("\\"), &folders)) {
                bool differ = folders.size() != rootNames.size();
                for (const QString& folder : std::as_const(folders))
                    differ = differ || !rootNames.contains(folder, Qt::CaseInsensitive);
                if (differ) {
                    devlink::TraceLine(trace);
                    finding->refreshDirs = true;
                    return;
                }
            }
            FileRows freshFiles, freshDirs;
            if (!ReadDirectory(dir, &freshFiles, &freshDirs)) {
                devlink::TraceLine(
                    QStringLiteral("CheckFilesOnTheDevice(): Couldn't read files from directory.\r\n"));
                return;
            }
            if (!SameRows(freshDirs, dirs)) {
                devlink::TraceLine(
                    QStringLiteral("CheckFilesOnTheDevice(): Need to refresh directories\r\n"));
                finding->refreshDirs = true;
            } else if (!SameRows(freshFiles, files)) {
                devlink::TraceLine(QStringLiteral("CheckFilesOnTheDevice(): Need to refresh files\r\n"));
                finding->refreshFiles = true;
            }
        },
        [this, finding, dir] {
            // What the check found holds only for the directory it checked.
            if (m_dirName != dir)
                return;
            SetDirName(finding->dirName);
            m_refreshDirs = m_refreshDirs || finding->refreshDirs;
            m_refreshFiles = m_refreshFiles || finding->refreshFiles;
        },
        [this] {
            m_pollRunning = false;
            emit pollChecked();
        });
}

void ExplorerController::OnRefreshTimer()
{
    if (!m_refreshDirs && !m_refreshFiles)
        return;
    devlink::TraceLine(m_refreshDirs ? QStringLiteral("Refreshing directories & files..\r\n")
                                     : QStringLiteral("Refreshing files..\r\n"));
    if (m_connected) {
        m_refreshTimer.stop();
        Refresh(!m_refreshDirs);
        m_refreshTimer.start();
    }
    m_refreshDirs = false;
    m_refreshFiles = false;
}

} // namespace explorer
