// The request loop of one database window, without the window: it holds the
// window's request fields, starts each request on the device session
// (DeviceSession.h) and returns at once, shows its progress (timer 2, every
// 200 ms, from what the request publishes: no device work on this thread),
// takes the answer back in parts (the columns, rows in batches, the schema)
// and reruns a request when the answer asked for it (the edited SQL, a
// compaction, the automatic retries). Every change is signalled, so that a
// window only displays it.
//
// A controller that is destroyed while its request runs cancels it; nothing
// arrives for it afterwards. A command-line program waits for a request
// with RunRequestAndWait.
//
// Threads: create and use it on the program's main (window) thread, with a
// QCoreApplication alive.
#pragma once

#include "desktop/link/DatabaseRequest.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/QueryResult.h"
#include "desktop/link/SchemaTreeModel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace devlink {

enum class RequestState {
    Idle, // nothing has run yet
    Running, // a request runs, or waits for the device
    Cancelling, // the user cancelled; the agent is being stopped
    Succeeded, // the last request ended well, its answer (when asked for) loaded
    Failed, // it failed, or its answer could not be loaded
    ConnectionLost, // it failed because the connection to the device was lost
    Cancelled, // it was cancelled
};

class RequestController : public QObject {
    Q_OBJECT
public:
    explicit RequestController(QObject* parent = nullptr);
    // Cancels a running request; its late answer is dropped.
    ~RequestController() override;

    // ---- The window's request fields ----
    QString databasePath() const { return m_databasePath; }
    void setDatabasePath(const QString& path) { m_databasePath = path; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    // The request text handed to the agent (an answer may change it: the
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
    RequestState state() const { return m_state; }
    bool isRunning() const { return m_state == RequestState::Running || m_state == RequestState::Cancelling; }
    QString statusText() const { return m_statusText; }
    QString timerText() const { return m_timerText; }
    // The window's buttons: "Go" while idle, "Cancel" while a request runs
    // and was not cancelled, "Export..." after a request that did not fail.
    bool goEnabled() const { return !isRunning(); }
    bool cancelEnabled() const { return m_state == RequestState::Running; }
    bool exportEnabled() const { return m_exportEnabled; }
    int retryCount() const { return m_retryCount; }
    int tableCount() const { return m_tableCount; }
    // The last answer was "<Failed>" with a password error: the caller asks
    // for the password and runs the request again.
    bool passwordRejected() const { return m_passwordRejected; }
    // The loaded answer is a success ("<Success>").
    bool resultsValid() const { return m_resultsValid; }
    int rowsAffected() const { return m_rowsAffected; }
    int totalRows() const { return m_totalRows; }
    const QueryResult& queryResult() const { return m_result; }
    // Rows of the last table answer, whether kept here or handed on.
    int rowCount() const { return m_rowCount; }
    // After a refused guarded change (a statement ending in "LIMIT 1"): the
    // device's "RowsThatWouldBeAffected", or -1 when it holds no number.
    int rowsThatWouldBeAffected() const { return m_rowsThatWouldBeAffected; }
    // Hands each batch of rows to `consumer` (on this thread, before
    // rowsAppended) instead of keeping it in queryResult(), so that a grid
    // with a store of its own never holds the answer twice. queryResult()
    // then holds the columns only. A batch read as the answer streams holds
    // its rows packed (QueryResult::packed), one read whole as strings.
    using RowConsumer = std::function<void(QueryResult& part)>;
    void setRowConsumer(RowConsumer consumer) { m_rowConsumer = std::move(consumer); }
    // Whether resultsBytes() keeps the results file (default); a window
    // that shows the rows has no use for a second copy of a large answer.
    void setKeepResultsBytes(bool keep) { m_keepResultsBytes = keep; }
    SchemaTreeModel* schemaModel() { return &m_schema; }
    // The results file as the agent wrote it, from the last answer read.
    const QByteArray& resultsBytes() const { return m_resultsBytes; }

    // ---- Actions ----
    // Starts sqlToRun() on the device and returns at once; requestFinished
    // follows. Does nothing while a request runs. `skipResults` leaves the
    // answer unread.
    void RunRequest(bool skipResults = false);
    // The window's "Cancel" button: disables itself and stops the request.
    void Cancel();
    // The window is being closed from its system menu while a request runs.
    void CloseRequested();
    // The status line.
    void SetStatus(const QString& text);

signals:
    void statusTextChanged(const QString& text);
    void timerTextChanged(const QString& text);
    // goEnabled(), cancelEnabled() or exportEnabled() changed.
    void controlsChanged();
    // queryResult() holds the columns of a new answer, with no rows yet.
    void resultsStarted();
    // Rows [first, first + count) were appended to queryResult().
    void rowsAppended(int first, int count);
    // queryResult() or schemaModel() holds a whole new answer.
    void resultsLoaded();
    // The window should refresh its controls and labels.
    void refreshRequested();
    // The request is over: state() tells how.
    void requestFinished();

private:
    void StartRun();
    void OnRunEnded(RequestEnd end);
    void Finish(bool loaded, bool connectionLost);
    void OnProgressTimer();
    void SetState(RequestState state);
    void SetTimerText(const QString& text);
    void TakeRows(QueryResult&& part);
    void ApplyAnswer(DatabaseAnswer&& answer);

    QString m_databasePath, m_password, m_sqlToRun;
    bool m_tableMode = true;
    bool m_shown = false;
    QObject* m_promptOwner = nullptr;

    RequestState m_state = RequestState::Idle;
    QString m_statusText, m_timerText;
    bool m_exportEnabled = false;

    // The run on the session, and what it shares with this thread.
    DeviceSession::RequestId m_requestId = 0;
    std::shared_ptr<RequestProgress> m_progress;
    std::shared_ptr<DatabaseAnswer> m_answer; // filled by the run, read here once it ended
    bool m_skipResults = false;
    bool m_firstRun = true;
    bool m_awaitingColumns = false; // the next rows part is the columns of a new answer
    int m_reruns = 0;

    bool m_passwordRejected = false;
    int m_retryCount = 0;
    int m_tableCount = 0;
    bool m_resultsValid = false;
    int m_rowsAffected = -1;
    int m_totalRows = 1;
    int m_rowCount = 0;
    int m_rowsThatWouldBeAffected = -1;
    RowConsumer m_rowConsumer;
    bool m_keepResultsBytes = true;

    QTimer m_progressTimer;
    QElapsedTimer m_startTime;

    QueryResult m_result;
    SchemaTreeModel m_schema;
    QByteArray m_resultsBytes;
};

// Runs a request and waits for its end with one local event loop: for a
// command-line program's main thread (never a window). Returns state().
RequestState RunRequestAndWait(RequestController& controller, bool skipResults = false);

} // namespace devlink
