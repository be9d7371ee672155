// The request loop: worker thread, progress timer, status texts.
#include "desktop/link/RequestController.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "exchange/Text.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace devlink {
namespace {

// Each rerun is asked for by the user or by the loader's own bounded
// retries; the bound only keeps a pathological device from looping forever.
constexpr int kMaxReruns = 25;

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

QString ElapsedText(qint64 elapsedMs)
{
    const qint64 seconds = elapsedMs / 1000;
    return Q(exchange::Format(u" %02d:%02d", (seconds / 60) % 60, seconds % 60));
}

} // namespace

RequestController::RequestController(QObject* parent)
    : QObject(parent)
    , m_schema(this)
{
    m_progressTimer.setInterval(Timing().progressTimerMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &RequestController::OnProgressTimer);
}

RequestController::~RequestController()
{
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

QObject* RequestController::promptOwner() const
{
    return m_promptOwner ? m_promptOwner : parent();
}

void RequestController::SetStatus(const QString& text)
{
    m_statusText = text;
    emit statusTextChanged(text);
}

void RequestController::SetTimerText(const QString& text)
{
    m_timerText = text;
    emit timerTextChanged(text);
}

void RequestController::SetControls(bool go, bool cancel, bool exportButton)
{
    if (go == m_goEnabled && cancel == m_cancelEnabled && exportButton == m_exportEnabled)
        return;
    m_goEnabled = go;
    m_cancelEnabled = cancel;
    m_exportEnabled = exportButton;
    emit controlsChanged();
}

void RequestController::Cancel()
{
    if (!m_worker)
        return;
    m_cancelling = true;
    SetControls(m_goEnabled, false, m_exportEnabled);
    RequestCancel();
}

void RequestController::CloseRequested()
{
    TraceLine(QStringLiteral("User has closed this window.\r\n"));
    if (m_worker) {
        m_cancelling = true;
        RequestCancel();
    }
}

void RequestController::StartWorker()
{
    const QString databasePath = m_databasePath, password = m_password, sql = m_sqlToRun;
    m_worker = QThread::create([this, databasePath, password, sql] {
        m_requestFailed = false;
        // A cancel given since RunRequest began stops the request unrun.
        const bool ok
            = !m_cancelling && CreateCEQueryFile(databasePath, password, sql, false, PendingCancel::Keep);
        m_requestFailed = !ok;
        DebugOutput(QStringLiteral("****  FINISHED RUNNING SQL ON THE DEVICE ****\r\n"));
        m_loadingResults = true;
        m_threadDone = true;
    });
    m_worker->start();
}

void RequestController::WaitForWorker(int milliseconds)
{
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
        return;
    }
    // The wait ends early when the worker finishes: nothing is left to wait for.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_worker, &QThread::finished, &loop, &QEventLoop::quit);
    if (m_threadDone)
        return;
    timer.start(milliseconds);
    loop.exec();
}

void RequestController::OnProgressTimer()
{
    const QString time = ElapsedText(m_startTime.elapsed());
    SetTimerText(time);
    QString text;
    if (m_cancelling) {
        text = QStringLiteral("Cancelling...");
    } else if (m_loadingResults) {
        text = QStringLiteral("Loading results grid.");
    } else {
        text = ReadAgentRegString(QStringLiteral("Status"));
        if (text.isEmpty())
            text = QStringLiteral("Preparing to run SQL..");
    }
    SetStatus(time + text);
    emit refreshRequested();
}

void RequestController::RunRequest(bool skipResults)
{
    if (m_worker)
        return;
    DeleteAgentRegValue(kAgentKey, QStringLiteral("DeleteSQLResults"));
    m_retryCount = 0;
    bool ok = true;
    int reruns = 0;
    for (;;) {
        m_skipResults = skipResults;
        m_retryRequested = false;
        if (m_shown)
            SetControls(false, true, m_exportEnabled);

        DeleteAgentRegValue(kAgentKey, QStringLiteral("Status"));
        m_cancelling = false;
        ClearCancelRequest();
        TraceLine(QStringLiteral("SQL-Thread started.\r\n"));
        m_threadDone = false;
        m_loadingResults = false;
        m_tableCount = 0;
        m_requestFailed = false;
        m_passwordRejected = false;

        m_startTime.start();
        StartWorker();
        if (m_shown) {
            m_progressTimer.setInterval(Timing().progressTimerMs);
            m_progressTimer.start();
        }
        while (!m_threadDone) {
            if (QCoreApplication::instance())
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            WaitForWorker(Timing().requestPumpMs);
        }
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;

        TraceLine(QStringLiteral("SQL-Thread finished.\r\n"));
        if (m_shown)
            SetControls(m_goEnabled, m_cancelEnabled, !m_requestFailed);

        ok = true;
        m_rowsAffected = -1;
        m_totalRows = 1;
        if (!m_requestFailed && !m_cancelling) {
            const QString rowsAffected = ReadAgentRegString(QStringLiteral("RowsAffected"));
            const QString totalRows = ReadAgentRegString(QStringLiteral("TotalRows"));
            if (!rowsAffected.isEmpty()) {
                m_rowsAffected = LeadingInteger(rowsAffected);
            } else {
                if (!totalRows.isEmpty())
                    m_totalRows = LeadingInteger(totalRows);
                if (!m_skipResults && m_shown)
                    ok = LoadResults(m_totalRows, false);
            }
        }
        // A retry the loader asked for (the user's "&Retry", the compaction,
        // or the automatic retries) runs even though this answer failed.
        if (m_retryRequested && !m_cancelling && reruns < kMaxReruns) {
            ++reruns;
            continue;
        }
        break;
    }

    if (m_shown) {
        DebugOutput(QStringLiteral("Killing Timer2  (second place..) \r\n"));
        m_progressTimer.stop();
    }
    const bool succeeded = !m_cancelling && !m_requestFailed && ok;
    if (m_cancelling) {
        SetStatus(QStringLiteral("SQL cancelled."));
        TraceLine(QStringLiteral("SQL cancelled.\r\n"));
    } else if (!ok || m_requestFailed) {
        // A request that failed before its answer counts as an error too.
        SetStatus(QStringLiteral("An error occurred getting data from your device.\r\n"));
        TraceLine(QStringLiteral("An error occurred in the DisplaySQLresults function.\r\n"));
        m_resultsValid = false;
    } else if (m_tableMode) {
        if (m_rowsAffected == 1)
            SetStatus(QStringLiteral(" 1 row affected."));
        else if (m_rowsAffected != -1)
            SetStatus(Q(exchange::Format(u" %d rows affected.", m_rowsAffected)));
        else if (m_result.rows.size() == 1)
            SetStatus(QStringLiteral(" 1 row found."));
        else
            SetStatus(Q(exchange::Format(u" %d rows found.", qint64(m_result.rows.size()))));
        emit refreshRequested();
    } else {
        SetStatus(Q(exchange::Format(u" %d tables found.", m_tableCount)));
    }
    if (m_shown) {
        emit refreshRequested();
        SetControls(true, false, m_exportEnabled);
    }
    const qint64 seconds = m_startTime.elapsed() / 1000;
    DebugOutput(Q(exchange::Format(u"\r\nTime to run \"%s\" : %02d:%02d\r\n\r\n", m_sqlToRun.toStdU16String(),
        (seconds / 60) % 60, seconds % 60)));
    m_lastOk = succeeded;
    emit requestFinished(succeeded);
}

} // namespace devlink
