// Files between the PC and the device, for the explorer's panes:
//
//   OnDropFiles(paths)   PC files and folders dropped on the tree or the
//                        list, or pasted, are copied into the current
//                        directory (`m_dirName`) behind a progress dialog;
//                        when every one arrived the list is read again and
//                        the dropped names are selected (filesSelected)
//   PasteFromClipboard   the clipboard's local files, as a drop
//   CopySelectionToClipboard, CopyTreeDirectoryToClipboard
//                        device files and folders are copied into the
//                        clipboard folder (ClipboardFolder.h) and the
//                        clipboard then offers their local paths
//   PrepareDrag          a drag out of the list: empty placeholders in the
//                        drag folder, fetched from the device only when a
//                        drop target asks for them (DeviceDragData.h)
//   clipboard watching   when another program takes the clipboard, the
//                        clipboard and drag folders are emptied
//
// Each transfer runs as one request on the device session's worker, with
// the poll paused; the window thread only shows the dialog. One transfer
// at a time: a second one asked meanwhile is ignored (traced).
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/CopyJob.h"
#include "desktop/link/DeviceSession.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

class QMimeData;

namespace explorer {

class CCopyProgressDialog;
class ExplorerController;

// The local files a drop or the clipboard offers (file URLs only), in order.
QStringList LocalPathsOf(const QMimeData* data);

class FileTransfers : public QObject {
    Q_OBJECT
public:
    explicit FileTransfers(ExplorerController* explorer);
    ~FileTransfers() override;

    // The window the progress dialogs belong to (none: the whole program).
    void SetDialogParent(QWidget* parent) { m_dialogParent = parent; }

    void OnDropFiles(const QStringList& dropList);
    void PasteFromClipboard();
    // The list's rows (files and folders) of the current directory.
    void CopySelectionToClipboard(const QList<int>& rows);
    void CopyTreeDirectoryToClipboard();
    // The data of a drag of the list's rows, for a QDrag to own; null when
    // the drag folder could not be prepared (said) or a copy runs.
    QMimeData* PrepareDrag(const QList<int>& rows);

    bool isBusy() const { return m_running; }
    // The progress dialog of the transfer running now, or null.
    CCopyProgressDialog* progressDialog() const;
    // The clipboard holds paths into the clipboard folder.
    bool ownsClipboard() const { return m_ownsClipboard; }

signals:
    // A transfer ended; `succeeded` when every item was copied.
    void finished(bool succeeded);
    // The dropped names now in the list, to be selected (and focused).
    void filesSelected(const QStringList& names);
    // A ".cab" arrived on the device with "AutoInstallCABs" 1: the CAB
    // installation should start for it.
    void cabInstallRequested(const QString& devicePath);

private:
    struct OutItem {
        QString name;
        bool isDir = false;
    };
    // Runs `work` (true when every item was copied) behind a progress dialog;
    // `done` follows on this thread with its result.
    void Start(
        std::shared_ptr<CopyJob> job, std::function<bool(CopyJob&)> work, std::function<void(bool)> done);
    void CopyOutToClipboard(const QString& dir, const QList<OutItem>& items);
    // Copies the dragged items over their placeholders. The drop target
    // waits for them inside the platform's drag loop, so this waits with a
    // local event loop of its own, the progress dialog shown meanwhile.
    bool FetchDragFiles(const QString& dir, const QList<OutItem>& items);
    void PutOnClipboard(const QStringList& paths);
    void OnClipboardChanged();
    void OnExplorerSettled();

    ExplorerController* m_explorer;
    QPointer<QWidget> m_dialogParent;
    QPointer<CCopyProgressDialog> m_dialog;
    devlink::DeviceSession::RequestId m_request = 0;
    bool m_running = false;
    // The clipboard data this program put there last (owned by the clipboard).
    QPointer<QMimeData> m_clipboardData;
    bool m_ownsClipboard = false;
    // Names to select once the list has been read again.
    QStringList m_selectAfterRefresh;
};

} // namespace explorer
