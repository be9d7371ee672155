#include "desktop/explorer/FileTransfers.h"

#include "desktop/explorer/CCopyProgressDialog.h"
#include "desktop/explorer/ClipboardFolder.h"
#include "desktop/explorer/CopyWorker.h"
#include "desktop/explorer/DeviceDragData.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "platform/rapi/Rapi.h"

#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace explorer {
namespace {

// Tells that the clipboard folder could not be made or emptied; false then.
bool PrepareClipboardDir()
{
    if (PrepareTempDir(ClipboardDir()))
        return true;
    devlink::ShowMessage(QStringLiteral("Error"),
        QStringLiteral("Unable to create the temporary Clipboard directory:\r\n\r\n%1").arg(ClipboardDir()),
        devlink::PromptIcon::Information);
    return false;
}

QClipboard* Clipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                        : nullptr;
}

} // namespace

QStringList LocalPathsOf(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths.append(QDir::cleanPath(url.toLocalFile()));
    return paths;
}

FileTransfers::FileTransfers(ExplorerController* explorer)
    : QObject(explorer)
    , m_explorer(explorer)
{
    connect(explorer, &ExplorerController::settled, this, &FileTransfers::OnExplorerSettled);
    // Without a window system (a program on QCoreApplication) there is no
    // clipboard to watch.
    if (QClipboard* clipboard = Clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &FileTransfers::OnClipboardChanged);
}

FileTransfers::~FileTransfers()
{
    devlink::DeviceSession::Instance().Forget(this);
    delete m_dialog.data();
}

CCopyProgressDialog* FileTransfers::progressDialog() const
{
    return m_dialog.data();
}

void FileTransfers::Start(
    std::shared_ptr<CopyJob> job, std::function<bool(CopyJob&)> work, std::function<void(bool)> done)
{
    m_running = true;
    m_explorer->PausePoll();
    auto* dialog = new CCopyProgressDialog(job, m_dialogParent);
    dialog->setWindowModality(m_dialogParent ? Qt::WindowModal : Qt::ApplicationModal);
    m_dialog = dialog;
    connect(dialog, &CCopyProgressDialog::cancelRequested, this,
        [this] { devlink::DeviceSession::Instance().Cancel(m_request); });
    dialog->show();
    auto result = std::make_shared<bool>(false);
    m_request = devlink::DeviceSession::Instance().Start(
        this,
        [job, work = std::move(work), result](devlink::RequestContext&) {
            *result = work(*job);
            job->done = true;
        },
        [this, job, result, done = std::move(done)](devlink::RequestEnd) {
            m_running = false;
            m_request = 0;
            m_explorer->ResumePoll();
            const bool succeeded = *result && !job->cancelled;
            if (m_dialog)
                m_dialog->Finish();
            done(succeeded);
            emit finished(succeeded);
        });
}

void FileTransfers::OnDropFiles(const QStringList& dropList)
{
    if (dropList.isEmpty())
        return;
    if (m_running) {
        devlink::TraceLine(QStringLiteral("OnDropFiles():  A copy is still running.\r\n"));
        return;
    }
    if (m_dialogParent) {
        m_dialogParent->window()->raise();
        m_dialogParent->window()->activateWindow();
    }
    devlink::TraceLine(QStringLiteral("OnDropFiles() : 1.\r\n"));
    auto job = std::make_shared<CopyJob>(true);
    job->dropList = dropList;
    const QString dir = m_explorer->dirName();
    CopyEvents events;
    events.folderCreated = [this](const QString& parentDir, const QString& name) {
        m_explorer->AddCreatedFolder(parentDir, name);
    };
    events.installCab = [this](const QString& devicePath) { emit cabInstallRequested(devicePath); };
    Start(
        job,
        [dir, events](CopyJob& job) {
            CopyWorker worker(job, events);
            return worker.CopyDropListToDevice(job.dropList, dir);
        },
        [this, dropList, dir](bool succeeded) {
            if (!succeeded || m_explorer->dirName() != dir)
                return;
            devlink::TraceLine(QStringLiteral("OnDropFiles() : 2.\r\n"));
            m_selectAfterRefresh.clear();
            for (const QString& path : dropList)
                m_selectAfterRefresh.append(QFileInfo(path).fileName());
            m_explorer->Refresh(true);
        });
}

void FileTransfers::OnExplorerSettled()
{
    if (m_selectAfterRefresh.isEmpty())
        return;
    const QStringList names = m_selectAfterRefresh;
    m_selectAfterRefresh.clear();
    emit filesSelected(names);
}

void FileTransfers::PasteFromClipboard()
{
    QClipboard* clipboard = Clipboard();
    const QStringList paths = LocalPathsOf(clipboard ? clipboard->mimeData() : nullptr);
    if (!paths.isEmpty())
        OnDropFiles(paths);
}

void FileTransfers::CopySelectionToClipboard(const QList<int>& rows)
{
    QList<OutItem> items;
    FileListModel* list = m_explorer->listModel();
    for (int row : rows)
        if (row >= 0 && row < list->rowCount())
            items.append({ list->rowAt(row).name, list->rowAt(row).isDir });
    if (items.isEmpty())
        return;
    CopyOutToClipboard(m_explorer->dirName(), items);
}

void FileTransfers::CopyTreeDirectoryToClipboard()
{
    const QString dir = m_explorer->dirName();
    QStandardItem* item = m_explorer->treeModel()->ItemOf(dir);
    const QString name = dir == QLatin1String("\\") && item ? item->text() : LastComponent(dir);
    if (m_running || name.isEmpty())
        return;
    const QString local = QDir(ClipboardDir()).filePath(name);
    Start(
        std::make_shared<CopyJob>(false),
        [dir, local](CopyJob& job) {
            if (!PrepareClipboardDir())
                return false;
            return CopyWorker(job).CopyDirectoryFromDevice(dir, local);
        },
        [this, local](bool succeeded) {
            if (succeeded)
                PutOnClipboard({ local });
        });
}

void FileTransfers::CopyOutToClipboard(const QString& dir, const QList<OutItem>& items)
{
    if (m_running)
        return;
    auto paths = std::make_shared<QStringList>();
    Start(
        std::make_shared<CopyJob>(false),
        [dir, items, paths](CopyJob& job) {
            if (!PrepareClipboardDir())
                return false;
            CopyWorker worker(job);
            for (const OutItem& item : items) {
                const QString devicePath = JoinDevicePath(dir, item.name);
                const QString local = QDir(ClipboardDir()).filePath(item.name);
                if (CeGetFileAttributes(devicePath.toStdU16String().c_str()) == INVALID_FILE_ATTRIBUTES)
                    return false;
                paths->append(local);
                const bool copied = item.isDir ? worker.CopyDirectoryFromDevice(devicePath, local)
                                               : worker.CopyFileFromDevice(devicePath, local);
                if (!copied)
                    return false;
            }
            return true;
        },
        [this, paths](bool succeeded) {
            if (succeeded)
                PutOnClipboard(*paths);
        });
}

QMimeData* FileTransfers::PrepareDrag(const QList<int>& rows)
{
    QList<OutItem> items;
    FileListModel* list = m_explorer->listModel();
    for (int row : rows)
        if (row >= 0 && row < list->rowCount())
            items.append({ list->rowAt(row).name, list->rowAt(row).isDir });
    if (items.isEmpty() || m_running)
        return nullptr;
    const QString folder = DragDropDir();
    if (!PrepareTempDir(folder)) {
        devlink::ShowMessage(QStringLiteral("Error"),
            QStringLiteral("Unable to create the temporary drag'n'drop directory:\r\n\r\n%1").arg(folder),
            devlink::PromptIcon::Information);
        return nullptr;
    }
    // Placeholders only: nothing leaves the device until a target wants it.
    QStringList paths;
    for (const OutItem& item : std::as_const(items)) {
        const QString local = QDir(folder).filePath(item.name);
        const bool made = item.isDir ? QDir().mkdir(local) : QFile(local).open(QIODevice::WriteOnly);
        if (!made)
            return nullptr;
        paths.append(local);
    }
    const QString dir = m_explorer->dirName();
    QPointer<FileTransfers> self(this);
    return new DeviceDragData(paths, [self, dir, items] { return self && self->FetchDragFiles(dir, items); });
}

bool FileTransfers::FetchDragFiles(const QString& dir, const QList<OutItem>& items)
{
    if (m_running)
        return false;
    devlink::TraceLine(QStringLiteral("Copy the files from the device NOW !!!\r\n"));
    bool ended = false, whole = false;
    QEventLoop loop;
    Start(
        std::make_shared<CopyJob>(false),
        [dir, items](CopyJob& job) {
            CopyWorker worker(job);
            for (const OutItem& item : items) {
                const QString devicePath = JoinDevicePath(dir, item.name);
                const QString local = QDir(DragDropDir()).filePath(item.name);
                const bool copied = item.isDir ? worker.CopyDirectoryFromDevice(devicePath, local)
                                               : worker.CopyFileFromDevice(devicePath, local);
                if (!copied)
                    return false;
            }
            return true;
        },
        [&ended, &whole, &loop](bool succeeded) {
            ended = true;
            whole = succeeded;
            loop.quit();
        });
    if (!ended)
        loop.exec();
    return whole;
}

void FileTransfers::PutOnClipboard(const QStringList& paths)
{
    QClipboard* clipboard = Clipboard();
    if (!clipboard) {
        devlink::ShowMessage(QStringLiteral("Error"),
            QStringLiteral("Could not copy file(s) to the Clipboard"), devlink::PromptIcon::Warning);
        return;
    }
    devlink::TraceLine(QStringLiteral("Copying file(s) to the Clipboard..\r\n"));
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
        gnome += '\n' + urls.last().toEncoded();
    }
    data->setUrls(urls);
    // GNOME's file manager pastes its own format only.
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    m_clipboardData = data;
    m_ownsClipboard = true;
    clipboard->setMimeData(data);
}

void FileTransfers::OnClipboardChanged()
{
    if (!m_ownsClipboard)
        return;
    QClipboard* clipboard = Clipboard();
    // The notice of our own data: nothing to do.
    if (m_clipboardData && clipboard->mimeData() == m_clipboardData.data()) {
        devlink::TraceLine(
            QStringLiteral("OnClipChange():  Notification of our temporary Clipboard data...\r\n"));
        return;
    }
    devlink::TraceLine(
        QStringLiteral("OnClipChange():  Clearing out our temporary Clipboard directory..\r\n"));
    EmptyTempDir(ClipboardDir());
    EmptyTempDir(DragDropDir());
    m_ownsClipboard = false;
}

} // namespace explorer
