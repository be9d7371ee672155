// The device file explorer without its window: the current directory
// (`m_dirName`), the folder tree and the file list as models, and what keeps
// them in step with the device:
//
//   Start(dir)          reads the tree for `dir` and lists it; starts the
//                       poll and the refresh timer
//   SelectDirectory     the tree's selection moved: the new folder is
//                       listed (a folder that vanished is replaced by its
//                       nearest existing parent, with a warning when the user
//                       chose it); its branch is read again when its
//                       sub-folders changed
//   Refresh(filesOnly)  the directory again, and unless `filesOnly` the tree
//   the poll            every 10 s (unless paused by a file operation) a
//                       check on the device's worker: a vanished directory
//                       gives way to its parent, changed root folders or
//                       sub-folders ask for the tree, changed files for the
//                       list. The refresh timer (5 s) acts on what it found.
//                       An unchanged directory changes nothing on screen.
//
// and the file operations of the tree and the list (ExplorerOperations.cpp):
// deletes, new folders, in-place renames, properties, opening a database;
// copies between the PC and the device go through its FileTransfers.
//
// Every device call runs on the device session's worker, in order, and its
// outcome comes back here; questions and messages go through the prompt
// interface. A listing that fails leaves the models as they were.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DeviceFileOperations.h"
#include "desktop/explorer/DirectoryTreeModel.h"
#include "desktop/explorer/FileListModel.h"
#include "desktop/explorer/FileOpenRules.h"
#include "desktop/link/DeviceSession.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>

#include <functional>
#include <memory>

namespace explorer {

class FileTransfers;

// What the properties dialog shows of one entry.
struct FileProperties {
    QString path;
    QString typeText;
    QIcon icon;
    CE_FIND_DATA found {};
};

class ExplorerController : public QObject {
    Q_OBJECT
public:
    explicit ExplorerController(QObject* parent = nullptr);
    // Forgets the device work still queued (the poll's stop at program end).
    ~ExplorerController() override;

    DirectoryTreeModel* treeModel() { return &m_tree; }
    FileListModel* listModel() { return &m_list; }
    FileTransfers* transfers() { return m_transfers; }
    QString dirName() const { return m_dirName; }
    const FileRows& files() const { return m_files; }
    const FileRows& dirs() const { return m_dirs; }
    bool isConnected() const { return m_connected; }
    bool isPollPaused() const { return m_pauseCount > 0; }
    // Device work of this explorer queued or running.
    bool isBusy() const { return m_pending > 0; }

    // The poll's period (10 s) and the refresh timer's (5 s); tests shorten
    // them.
    void SetIntervals(int pollMs, int refreshMs);

    void Start(const QString& selectPath);
    // Stops the poll and the refresh timer; work already queued is dropped.
    void Stop();
    void Refresh(bool filesOnly);
    // The tree's selection moved to `path`; `byUser` when the mouse did it
    // (a vanished folder is then reported).
    void SelectDirectory(const QString& path, bool byUser);
    // A branch was expanded: read it completely when it was read lazily.
    void ExpandBranch(const QModelIndex& index);
    // The device connected or disconnected.
    void SetConnected(bool connected);
    // The poll's check now (what its timer does).
    void PollNow();

    // File operations (ExplorerOperations.cpp).
    void DeleteTreeDirectory();
    void DeleteListSelection(const QList<int>& rows);
    void CreateTreeFolder();
    void CreateListFolder();
    // An in-place editor opened or closed (the poll waits meanwhile).
    void BeginEdit();
    void EndEdit();
    void RenameTreeItem(const QModelIndex& index, const QString& newName);
    void RenameListRow(int row, const QString& newName);
    void ShowProperties(int row);
    // Double-click, Enter or the list's open entries: folders are entered,
    // databases opened (when the device can run the engine), CABs installed,
    // programs run with their remembered parameters (the run dialog asks for
    // them when none are kept or `askParameters`), other files opened.
    void OpenRow(int row, bool askParameters = false);
    // Whether the device can run the database engine (the agent's test start
    // at the last connection decided it); until told, it is taken to.
    void SetEngineUsable(bool usable) { m_engineUsable = usable; }
    bool isEngineUsable() const { return m_engineUsable; }
    // The full device path of a list row.
    QString PathOfRow(int row) const;
    // A folder made on the device by a copy: shown in the tree below its
    // parent, and in the list when the parent is the current directory.
    void AddCreatedFolder(const QString& parentDir, const QString& name);
    // The poll waits while a file operation or a copy runs (counted).
    void PausePoll() { ++m_pauseCount; }
    void ResumePoll();

signals:
    // m_dirName changed (the path field shows it).
    void dirNameChanged(const QString& path);
    void totalTextChanged(const QString& text);
    // The tree's item of m_dirName, for the view to select and reveal.
    void currentTreeItemChanged(const QModelIndex& index);
    // A device read has been shown (or failed) and nothing more is queued.
    void settled();
    // The poll's check has ended.
    void pollChecked();
    void editTreeItemRequested(const QModelIndex& index);
    void editListRowRequested(int row);
    void propertiesReady(const explorer::FileProperties& properties);
    void openDatabaseRequested(const QString& path);
    // A read the user waits for began (true) or the last of them ended (false).
    void waitingChanged(bool waiting);
    // A delete has begun; `progress` counts it while it runs (see DeleteProgress).
    void deleteStarted(std::shared_ptr<explorer::DeleteProgress> progress);
    // The list's "Compact" entry of a database, and "Create a new database
    // file..." in the listed directory: the windows that do it are the
    // database editor's.
    void compactDatabaseRequested(const QString& path);
    // Any other file but a program or a CAB (FileOpener opens it).
    void openFileRequested(const QString& path);
    // The list's "Open by.." entries: open with that method, or choose the
    // extension's method first (FileOpener's business).
    void openFileWithRequested(const QString& path, explorer::OpenMethod method);
    void chooseOpenMethodRequested(const QString& path);
    // 'Open "name" in a separate thread': the database in a new copy of
    // the program.
    void openDatabaseSeparatelyRequested(const QString& path);
    // A device program to run once the user has given its parameters (the
    // "Run an application" window is the device tools' business).
    void runDialogRequested(const QString& path);
    void newDatabaseRequested(const QString& directory);
    // The tree's "Search for SQLCE databases..": the search window's business.
    void databaseSearchRequested(const QString& path);
    // A CAB opened from the list, or copied to the device while CABs are
    // installed after their copy: the CAB installer's business.
    void cabInstallRequested(const QString& path);

private:
    struct Listing {
        bool ok = false;
        QString dirName;
        FileRows files;
        FileRows dirs;
        bool treeRead = false;
        TreeNode tree;
        // A branch read again: its path and content.
        bool branchRead = false;
        QString branchPath;
        TreeNode branch;
    };
    struct PollFinding {
        QString dirName;
        bool refreshDirs = false;
        bool refreshFiles = false;
    };

    // Runs `work` on the device's worker; `done` follows here when it ran,
    // `ended` (when set) in any case.
    void Run(std::function<void()> work, std::function<void()> done, std::function<void()> ended = {});
    // The same for a read the user waits for: the panes show the wait
    // cursor until it ends (a poll's reads do not).
    void RunWaited(std::function<void()> work, std::function<void()> done);
    void ApplyListing(const Listing& listing);
    void ShowList(const FileRows& files, const FileRows& dirs);
    void SetDirName(const QString& path);
    void OnRefreshTimer();
    // A new folder in m_dirName, named as the tree or the list names it,
    // whose name is then edited in place.
    void CreateFolder(bool fromTree);
    int m_waitedReads = 0; // reads the user waits for, running or queued
    // The tree item of m_dirName.
    QStandardItem* CurrentTreeItem() const;

    DirectoryTreeModel m_tree;
    FileListModel m_list;
    QString m_dirName = QStringLiteral("\\");
    FileRows m_files;
    FileRows m_dirs;
    bool m_connected = true;
    bool m_engineUsable = true;
    bool m_stopped = false;
    bool m_refreshDirs = false;
    bool m_refreshFiles = false;
    bool m_pollRunning = false;
    // A renamed folder moves to its sorted place; the view's current item
    // leaves it meanwhile, which is not the user choosing a folder.
    bool m_movingTreeItem = false;
    int m_pauseCount = 0;
    int m_pending = 0;
    QTimer m_pollTimer;
    QTimer m_refreshTimer; // timer 3
    FileTransfers* m_transfers; // a child of this
};

} // namespace explorer
