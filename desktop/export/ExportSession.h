// One export as a window runs it: the worker started on the device
// session, its log and table statuses gathered into two models, the
// failing statements handed to the window to answer, the device's "Status"
// copied into the current table's cell while the agent works, and cancel.
//
// Threads: window thread only (the worker's calls arrive here queued).
#pragma once

#include "desktop/export/ExportRowsModel.h"
#include "desktop/export/ExportWorker.h"
#include "desktop/link/DeviceSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

namespace dbexport {

class ExportSession : public QObject {
    Q_OBJECT
public:
    explicit ExportSession(const ExportRequest& request, QObject* parent = nullptr);
    // Cancels a running export; its late calls are dropped.
    ~ExportSession() override;

    // Starts the worker (once).
    void Start();
    // Sets the cancel flag; finished() follows once the worker has stopped.
    void Cancel();
    // The answer to the question of the last errorAsked().
    void AnswerError(const ExportErrorAnswer& answer);

    const ExportRequest& request() const { return m_request; }
    bool running() const { return m_running; }
    bool isFinished() const { return m_finished; }
    const ExportSummary& summary() const { return m_summary; }
    ExportRowsModel* tables() { return &m_tables; }
    ExportRowsModel* log() { return &m_log; }
    // While a table's rows are inserted: "About 01:05 left for Orders.",
    // from the rows done so far; empty otherwise.

signals:
    void errorAsked(const dbexport::ExportErrorQuestion& question);
    void finished();
    void timeLeftChanged(const QString& text);

private:
    class Listener;
    void AddLog(const QString& text);
    void SetStatus(const QString& table, const QString& status);
    void SetRowProgress(const QString& table, int done, int total);
    void SetTimeLeft(const QString& timeLeft);
    void ShowAgentStatus();
    void OnFinished();

    ExportRequest m_request;
    ExportRowsModel m_tables;
    ExportRowsModel m_log;
    std::shared_ptr<Listener> m_listener;
    std::shared_ptr<devlink::RequestProgress> m_progress;
    devlink::DeviceSession::RequestId m_id = 0;
    QTimer m_statusTimer;
    QString m_waitingTable; // the table whose rows the agent fetches now
    QElapsedTimer m_rowsClock; // since the current table's first insert
    QString m_timeLeft;
    ExportSummary m_summary;
    bool m_running = false;
    bool m_finished = false;
};

// "About 01:05 left for T." after `done` of `total` rows in `elapsedMs`;
// empty before the first row.
QString RowsTimeLeftText(const QString& table, int done, int total, qint64 elapsedMs);

} // namespace dbexport
