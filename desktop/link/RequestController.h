// The request loop of one database window, without the window: it holds the
// window's request fields, runs each request's device work on a worker
// thread, keeps the progress texts (timer 2, every 200 ms), loads the answer
// (rows into a QueryResult in table mode, the schema into a SchemaTreeModel
// in database mode), turns a failed answer into the right question, and
// signals every change so that a window only displays it.
//
// A command-line program uses it the same way: set the fields, set `shown`
// (results are loaded only for a shown controller: one whose answer someone
// looks at), call RunRequest, read the outcome.
//
// Threads: create and use it on one thread that runs Qt events (the window
// thread, or a command-line program's main thread; a QCoreApplication must
// exist). RunRequest returns when the request is over; meanwhile it keeps
// dispatching that thread's events, so the window stays responsive and
// Cancel() can be called from a slot. Only one request runs at a time in the
// whole program: the query file, the results file and "Status" are single
// device-wide resources.
#pragma once

#include "desktop/link/QueryResult.h"
#include "desktop/link/SchemaTreeModel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <string>

class QThread;

namespace devlink {

class RequestController : public QObject {
    Q_OBJECT
public:
    explicit RequestController(QObject* parent = nullptr);
    ~RequestController() override;

    // ---- The window's request fields ----
    QString databasePath() const { return m_databasePath; }
    void setDatabasePath(const QString& path) { m_databasePath = path; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    // The request text handed to the agent (LoadResults may change it: the
    // edited SQL of the SQL error dialog, or "CompactDB").
    QString sqlToRun() const { return m_sqlToRun; }
    void setSqlToRun(const QString& sql) { m_sqlToRun = sql; }
    // Table mode (rows into queryResult()) or database mode (the schema
    // into schemaModel()).
    bool tableMode() const { return m_tableMode; }
    void setTableMode(bool tableMode) { m_tableMode = tableMode; }
    // Whether a view shows this controller: the progress timer runs and the
    // answer is loaded only then.
    bool isShown() const { return m_shown; }
    void setShown(bool shown) { m_shown = shown; }
    // The window that owns the message boxes (default: parent()).
    void setPromptOwner(QObject* owner) { m_promptOwner = owner; }
    QObject* promptOwner() const;

    // ---- Progress and outcome ----
    QString statusText() const { return m_statusText; }
    QString timerText() const { return m_timerText; }
    bool isRunning() const { return m_worker != nullptr; }
    bool goEnabled() const { return m_goEnabled; }
    bool cancelEnabled() const { return m_cancelEnabled; }
    bool exportEnabled() const { return m_exportEnabled; }
    bool threadDone() const { return m_threadDone; }
    bool requestFailed() const { return m_requestFailed; }
    bool cancelling() const { return m_cancelling; }
    bool loadingResults() const { return m_loadingResults; }
    bool retryRequested() const { return m_retryRequested; }
    int retryCount() const { return m_retryCount; }
    int tableCount() const { return m_tableCount; }
    // The last answer was "<Failed>" with a password error: the caller asks
    // for the password and runs the request again.
    bool passwordRejected() const { return m_passwordRejected; }
    bool skipResults() const { return m_skipResults; }
    // The loaded answer is a success ("<Success>").
    bool resultsValid() const { return m_resultsValid; }
    // The outcome of the last RunRequest: true unless it failed, was
    // cancelled or its answer could not be loaded.
    bool lastRequestSucceeded() const { return m_lastOk; }
    int rowsAffected() const { return m_rowsAffected; }
    int totalRows() const { return m_totalRows; }
    const QueryResult& queryResult() const { return m_result; }
    SchemaTreeModel* schemaModel() { return &m_schema; }
    // The results file as the agent wrote it, from the last LoadResults.
    const QByteArray& resultsBytes() const { return m_resultsBytes; }

    // ---- Actions ----
    // Runs sqlToRun() on the device and loads the answer; does nothing when a
    // request is running. `skipResults` leaves the answer unread.
    void RunRequest(bool skipResults = false);
    // The window's "Cancel" button: disables itself, sets `cancelling` and
    // asks the running request to stop.
    void Cancel();
    // The window is being closed from its system menu while a request runs.
    void CloseRequested();

    // Reads and parses the answer of the request that just ran; true when it
    // was a success and was loaded. With `stopAfterStatus` only the status
    // is checked (and the engine version remembered).
    bool LoadResults(int totalRows, bool stopAfterStatus);
    // Fills the schema model from a DBSchema.bin text (null: the root item
    // only); true when the schema was malformed.
    bool LoadSchema(const std::u16string* text);
    // The status line.
    void SetStatus(const QString& text);

signals:
    void statusTextChanged(const QString& text);
    void timerTextChanged(const QString& text);
    // goEnabled(), cancelEnabled() or exportEnabled() changed.
    void controlsChanged();
    // queryResult() or schemaModel() holds a new answer.
    void resultsLoaded();
    // The window should refresh its controls and labels.
    void refreshRequested();
    void requestFinished(bool ok);

private:
    void StartWorker();
    void WaitForWorker(int milliseconds);
    void OnProgressTimer();
    void SetControls(bool go, bool cancel, bool exportButton);
    void SetTimerText(const QString& text);
    bool LoadTableAnswer(const std::u16string& text, int totalRows);
    bool ReadSchemaFile();
    void HandleFailure(const QStringList& lines);
    void ShowSqlError(const QString& error, const QString& code, const QString& details);
    bool IsSchemaRequest() const;

    QString m_databasePath, m_password, m_sqlToRun;
    bool m_tableMode = true;
    bool m_shown = false;
    QObject* m_promptOwner = nullptr;

    QString m_statusText, m_timerText;
    bool m_goEnabled = true, m_cancelEnabled = false, m_exportEnabled = false;

    QThread* m_worker = nullptr;
    // Written by the worker, read here.
    std::atomic<bool> m_threadDone { false };
    std::atomic<bool> m_requestFailed { false };
    std::atomic<bool> m_loadingResults { false };
    // Written here, read by the worker before it starts the request.
    std::atomic<bool> m_cancelling { false };
    bool m_passwordRejected = false;
    bool m_retryRequested = false;
    int m_retryCount = 0;
    int m_tableCount = 0;
    bool m_skipResults = false;
    bool m_resultsValid = false;
    bool m_lastOk = false;
    int m_rowsAffected = -1;
    int m_totalRows = 1;

    QTimer m_progressTimer;
    QElapsedTimer m_startTime;

    QueryResult m_result;
    SchemaTreeModel m_schema;
    QByteArray m_resultsBytes;
};

} // namespace devlink
