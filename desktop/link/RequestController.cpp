// The request loop: a run on the device session, the progress timer, the
// reruns an answer asks for, and the status texts at the end.
#include "desktop/link/RequestController.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "exchange/Text.h"

#include <QEventLoop>

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
    if (m_requestId)
        DeviceSession::Instance().Cancel(m_requestId);
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

void RequestController::SetState(RequestState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit controlsChanged();
}

void RequestController::Cancel()
{
    if (m_state != RequestState::Running)
        return;
    SetState(RequestState::Cancelling);
    DeviceSession::Instance().Cancel(m_requestId);
}

void RequestController::CloseRequested()
{
    TraceLine(QStringLiteral("User has closed this window.\r\n"));
    Cancel();
}

void RequestController::OnProgressTimer()
{
    const QString time = ElapsedText(m_startTime.elapsed());
    SetTimerText(time);
    QString text;
    const QString waitingFor = m_progress ? m_progress->WaitingFor() : QString();
    if (m_state == RequestState::Cancelling) {
        text = QStringLiteral("Cancelling...");
    } else if (!waitingFor.isEmpty()) {
        text = QStringLiteral("Waiting for %1 to finish with the device..").arg(waitingFor);
    } else if (m_progress && m_progress->Loading()) {
        text = QStringLiteral("Loading results grid.");
    } else {
        text = m_progress ? m_progress->AgentStatus() : QString();
        if (text.isEmpty())
            text = QStringLiteral("Preparing to run SQL..");
    }
    SetStatus(time + text);
    emit refreshRequested();
}

void RequestController::RunRequest(bool skipResults)
{
    if (isRunning())
        return;
    m_skipResults = skipResults;
    m_retryCount = 0;
    m_reruns = 0;
    m_firstRun = true;
    StartRun();
}

void RequestController::StartRun()
{
    SetState(RequestState::Running);
    TraceLine(QStringLiteral("SQL-Thread started.\r\n"));
    m_tableCount = 0;
    m_passwordRejected = false;
    m_rowsThatWouldBeAffected = -1;

    DatabaseRequest request;
    request.databasePath = m_databasePath;
    request.password = m_password;
    request.sql = m_sqlToRun;
    request.tableMode = m_tableMode;
    request.loadAnswer = !m_skipResults && m_shown;
    request.firstRun = m_firstRun;
    request.retryCount = m_retryCount;
    request.keepResultsBytes = m_keepResultsBytes;
    request.packedRows = bool(m_rowConsumer);
    request.promptOwner = promptOwner();
    m_firstRun = false;

    m_progress = std::make_shared<RequestProgress>();
    auto answer = std::make_shared<DatabaseAnswer>();
    m_answer = answer;
    m_awaitingColumns = true;
    // The run never touches this controller: what it hands back is posted,
    // and the session drops it once this controller is gone.
    auto work = [this, request, answer](RequestContext& context) {
        const RowSink rows = [this, &context](QueryResult part) {
            context.Post([this, part = std::move(part)]() mutable { TakeRows(std::move(part)); });
        };
        *answer = RunDatabaseRequest(request, rows);
    };
    m_startTime.start();
    if (m_shown) {
        m_progressTimer.setInterval(Timing().progressTimerMs);
        m_progressTimer.start();
    }
    m_requestId = DeviceSession::Instance().Start(
        this, std::move(work), [this](RequestEnd end) { OnRunEnded(end); }, m_progress);
}

void RequestController::TakeRows(QueryResult&& part)
{
    if (m_awaitingColumns) {
        m_awaitingColumns = false;
        m_result = std::move(part);
        m_rowCount = int(m_result.rows.size());
        emit resultsStarted();
        return;
    }
    const int first = m_rowCount;
    const int count = int(part.rowCount());
    m_rowCount += count;
    if (m_rowConsumer)
        m_rowConsumer(part);
    else
        m_result.AppendRows(std::move(part));
    emit rowsAppended(first, count);
}

void RequestController::OnRunEnded(RequestEnd end)
{
    m_requestId = 0;
    TraceLine(QStringLiteral("SQL-Thread finished.\r\n"));
    DatabaseAnswer answer = std::move(*m_answer);
    m_answer.reset();
    if (end != RequestEnd::Ran) {
        // It never reached the device: cancelled before it started, or the
        // device stayed leased to another program.
        answer.requestFailed = end == RequestEnd::Busy;
        answer.cancelled = end == RequestEnd::Cancelled;
    }
    // However it was cancelled (here, or program-wide by an interrupt), a
    // cancelled run ends as cancelled, never as a success without rows.
    if (answer.cancelled && m_state == RequestState::Running)
        SetState(RequestState::Cancelling);
    if (m_shown && m_exportEnabled != !answer.requestFailed) {
        m_exportEnabled = !answer.requestFailed;
        emit controlsChanged();
    }
    const bool loaded = answer.loaded;
    const bool failed = answer.requestFailed;
    const bool connectionLost = answer.connectionLost;
    const bool rerun = answer.retryRequested;
    ApplyAnswer(std::move(answer));
    // A rerun the answer asked for (the user's "&Retry", the compaction, or
    // the automatic retries) runs even though this answer failed.
    if (rerun && m_state == RequestState::Running && m_reruns < kMaxReruns) {
        ++m_reruns;
        StartRun();
        return;
    }
    Finish(loaded && !failed, connectionLost);
}

void RequestController::ApplyAnswer(DatabaseAnswer&& answer)
{
    m_sqlToRun = answer.sql;
    m_retryCount = answer.retryCount;
    m_passwordRejected = answer.passwordRejected;
    m_rowsAffected = answer.rowsAffected;
    m_rowsThatWouldBeAffected = answer.rowsThatWouldBeAffected;
    m_totalRows = answer.totalRows;
    if (!answer.resultsBytes.isEmpty() || answer.resultsValid)
        m_resultsBytes = std::move(answer.resultsBytes);
    m_resultsValid = answer.resultsValid;
    if (!answer.statusText.isEmpty()) {
        SetStatus(answer.statusText);
        emit refreshRequested();
    }
    if (answer.tables) {
        m_tableCount = answer.tableCount;
        if (answer.schemaRootOnly)
            m_schema.SetRootOnly(m_databasePath);
        else
            m_schema.SetSchema(m_databasePath, *answer.tables);
        emit resultsLoaded();
    } else if (m_tableMode && !m_awaitingColumns) {
        m_result.rowsAffected = m_rowsAffected;
        emit resultsLoaded();
    }
}

void RequestController::Finish(bool ok, bool connectionLost)
{
    if (m_shown) {
        DebugOutput(QStringLiteral("Killing Timer2  (second place..) \r\n"));
        m_progressTimer.stop();
    }
    if (m_state == RequestState::Cancelling) {
        SetStatus(QStringLiteral("SQL cancelled."));
        TraceLine(QStringLiteral("SQL cancelled.\r\n"));
        SetState(RequestState::Cancelled);
    } else if (!ok) {
        // A request that failed before its answer counts as an error too.
        SetStatus(QStringLiteral("An error occurred getting data from your device.\r\n"));
        TraceLine(QStringLiteral("An error occurred in the DisplaySQLresults function.\r\n"));
        m_resultsValid = false;
        SetState(connectionLost ? RequestState::ConnectionLost : RequestState::Failed);
    } else {
        if (!m_tableMode)
            SetStatus(Q(exchange::Format(u" %d tables found.", m_tableCount)));
        else if (m_rowsAffected == 1)
            SetStatus(QStringLiteral(" 1 row affected."));
        else if (m_rowsAffected != -1)
            SetStatus(Q(exchange::Format(u" %d rows affected.", m_rowsAffected)));
        else if (m_rowCount == 1)
            SetStatus(QStringLiteral(" 1 row found."));
        else
            SetStatus(Q(exchange::Format(u" %d rows found.", qint64(m_rowCount))));
        SetState(RequestState::Succeeded);
    }
    if (m_shown)
        emit refreshRequested();
    const qint64 seconds = m_startTime.elapsed() / 1000;
    DebugOutput(Q(exchange::Format(u"\r\nTime to run \"%s\" : %02d:%02d\r\n\r\n", m_sqlToRun.toStdU16String(),
        (seconds / 60) % 60, seconds % 60)));
    emit requestFinished();
}

RequestState RunRequestAndWait(RequestController& controller, bool skipResults)
{
    QEventLoop loop;
    QObject::connect(&controller, &RequestController::requestFinished, &loop, &QEventLoop::quit);
    controller.RunRequest(skipResults);
    if (controller.isRunning())
        loop.exec();
    return controller.state();
}

} // namespace devlink
