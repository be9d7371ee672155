// One compaction of a device database, for the database window and the
// "Compact a database" dialog: the file's size is read, "CompactDB" runs on
// the device session (a request controller in database mode, whose progress
// the caller may show), then the device's "CompactSuccessful" and the size
// after are read. Nothing here waits on the window thread.
//
// The agent compacts into a copy and replaces the database only when that
// worked, so a compaction cut short by a lost device leaves the database as
// it was; it counts as failed.
//
// Threads: window thread only.
#pragma once

#include "desktop/link/RequestController.h"

#include <QObject>

namespace database {

class DatabaseCompaction : public QObject {
    Q_OBJECT
public:
    // `promptOwner` owns the request's questions (a password, the SQL error).
    explicit DatabaseCompaction(QObject* promptOwner, QObject* parent = nullptr);

    // Reads the size of `databasePath`; sizeRead follows.
    void ReadSizeBefore(const QString& databasePath);
    // Compacts; finished follows. Reads the size first unless ReadSizeBefore
    // already did for this path.
    void Start(const QString& databasePath, const QString& password);
    bool isRunning() const { return m_running; }

    // The outcome, once finished: success (the answer was "<Success>" and
    // "CompactSuccessful" read 1) and the sizes (0: unknown).
    bool succeeded() const { return m_succeeded; }
    // The request ran and answered, so the device was reached; false when the
    // request itself failed (not the compaction).
    quint32 sizeBefore() const { return m_sizeBefore; }
    quint32 sizeAfter() const { return m_sizeAfter; }
    devlink::RequestController* request() { return &m_request; }

signals:
    void sizeRead(quint32 size);
    void finished();

private:
    void OnRequestFinished();
    void Finish();

    devlink::RequestController m_request;
    QString m_sizePath;
    bool m_running = false;
    bool m_succeeded = false;
    quint32 m_sizeBefore = 0;
    quint32 m_sizeAfter = 0;
};

} // namespace database
