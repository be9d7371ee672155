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

signals:
    void errorAsked(const dbexport::ExportErrorQuestion& question);
    void finished();

private:
    class Listener;
    void AddLog(const QString& text);
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
    ExportSummary m_summary;
    bool m_running = false;
    bool m_finished = false;
};

} // namespace dbexport
