// Shows the progress of a long delete: how many files and folders are gone
// of all, the time left, and Cancel, which stops the delete before its next
// entry. It reads the DeleteProgress the device worker fills on a timer of
// its own; its progress dialog appears only once the delete was confirmed,
// counted and has lasted a while, and everything goes when the delete is
// over (the watch deletes itself).
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DeleteProgress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QProgressDialog;
class QWidget;

namespace explorer {

class DeleteProgressWatch : public QObject {
    Q_OBJECT
public:
    // Watches `progress` for a delete started from `window`.
    DeleteProgressWatch(std::shared_ptr<DeleteProgress> progress, QWidget* window);
    ~DeleteProgressWatch() override;

    // Reads the counters and shows them (what the timer does).
    void Refresh();

    // "Deleted 12 of 340 files and folders." and, once it can be estimated,
    // the time remaining as a copy shows it.
    static QString Text(int removed, int total, qint64 elapsedMs);

private:
    std::shared_ptr<DeleteProgress> m_progress;
    QPointer<QWidget> m_window;
    QPointer<QProgressDialog> m_dialog;
    QTimer m_timer;
    QElapsedTimer m_sinceCounted; // valid once the total is known
};

} // namespace explorer
