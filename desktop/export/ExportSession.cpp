#include "desktop/export/ExportSession.h"

#include <QTime>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace dbexport {

// The worker's side: every call is carried to the session's thread; a
// question waits there for its answer, or for the export's cancel.
class ExportSession::Listener : public ExportListener {
public:
    explicit Listener(ExportSession* session)
        : m_session(session)
    {
    }

    void Attach(devlink::RequestContext* context) { m_context = context; }

    void Log(const QString& text) override
    {
        ExportSession* session = m_session;
        m_context->Post([session, text] { session->AddLog(text); });
    }
    void SetTableStatus(const QString& table, const QString& status) override
    {
        ExportSession* session = m_session;
        m_context->Post([session, table, status] { session->SetStatus(table, status); });
    }
    void SetRowProgress(const QString& table, int done, int total) override
    {
        ExportSession* session = m_session;
        m_context->Post([session, table, done, total] { session->SetRowProgress(table, done, total); });
    }
    void SetWaitingForDevice(const QString& table, bool waiting) override
    {
        ExportSession* session = m_session;
        m_context->Post([session, table, waiting] { session->m_waitingTable = waiting ? table : QString(); });
    }
    ExportErrorAnswer AskError(const ExportErrorQuestion& question) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_answer.reset();
        }
        ExportSession* session = m_session;
        m_context->Post([session, question] { emit session->errorAsked(question); });
        std::unique_lock lock(m_mutex);
        while (!m_answer) {
            if (m_context->token().IsCancelled())
                return {};
            m_answered.wait_for(lock, std::chrono::milliseconds(100));
        }
        return *m_answer;
    }

    void Answer(const ExportErrorAnswer& answer)
    {
        std::lock_guard lock(m_mutex);
        m_answer = answer;
        m_answered.notify_all();
    }

private:
    ExportSession* m_session;
    devlink::RequestContext* m_context = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::optional<ExportErrorAnswer> m_answer;
};

ExportSession::ExportSession(const ExportRequest& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
    , m_tables({ QStringLiteral("Table name"), QStringLiteral("Status") })
    , m_log({ QStringLiteral("Time"), QStringLiteral("Description") })
    , m_listener(std::make_shared<Listener>(this))
    , m_progress(std::make_shared<devlink::RequestProgress>())
{
    for (const QString& table : m_request.tables)
        m_tables.AppendRow({ table, QString() });
    m_statusTimer.setInterval(500);
    connect(&m_statusTimer, &QTimer::timeout, this, &ExportSession::ShowAgentStatus);
}

ExportSession::~ExportSession()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void ExportSession::Start()
{
    if (m_running || m_finished)
        return;
    m_running = true;
    std::shared_ptr<Listener> listener = m_listener;
    const ExportRequest request = m_request;
    auto summary = std::make_shared<ExportSummary>();
    m_id = devlink::DeviceSession::Instance().Start(
        this,
        [listener, request, summary](devlink::RequestContext& context) {
            listener->Attach(&context);
            *summary = RunExport(request, *listener);
        },
        [this, summary](devlink::RequestEnd end) {
            m_summary = *summary;
            if (end != devlink::RequestEnd::Ran) {
                m_summary.cancelled = true;
                AddLog(QStringLiteral("Operation cancelled."));
            }
            OnFinished();
        },
        m_progress);
    m_statusTimer.start();
}

void ExportSession::Cancel()
{
    if (m_running)
        devlink::DeviceSession::Instance().Cancel(m_id);
}

void ExportSession::AnswerError(const ExportErrorAnswer& answer)
{
    m_listener->Answer(answer);
}

void ExportSession::AddLog(const QString& text)
{
    m_log.AppendRow({ QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text });
}

void ExportSession::SetStatus(const QString& table, const QString& status)
{
    m_tables.SetCell(m_tables.RowOf(table), 1, status);
    if (status.startsWith(QLatin1String("Adding data on server"))) {
        m_rowsClock.start();
        SetTimeLeft(QString());
    } else if (!status.startsWith(QLatin1String("Adding row "))) {
        SetTimeLeft(QString());
    }
}

void ExportSession::SetRowProgress(const QString& table, int done, int total)
{
    if (m_rowsClock.isValid())
        SetTimeLeft(RowsTimeLeftText(table, done, total, m_rowsClock.elapsed()));
}

void ExportSession::SetTimeLeft(const QString& timeLeft)
{
    if (timeLeft != m_timeLeft) {
        m_timeLeft = timeLeft;
        emit timeLeftChanged(m_timeLeft);
    }
}

QString RowsTimeLeftText(const QString& table, int done, int total, qint64 elapsedMs)
{
    if (done <= 0 || total < done)
        return QString();
    const qint64 seconds = (elapsedMs * (total - done) / done + 999) / 1000;
    return QStringLiteral("About %1:%2 left for %3.")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(table);
}

void ExportSession::ShowAgentStatus()
{
    if (m_waitingTable.isEmpty())
        return;
    const QString status = m_progress->AgentStatus();
    if (!status.isEmpty())
        m_tables.SetCell(m_tables.RowOf(m_waitingTable), 1, status);
}

void ExportSession::OnFinished()
{
    m_statusTimer.stop();
    if (!m_timeLeft.isEmpty()) {
        m_timeLeft.clear();
        emit timeLeftChanged(m_timeLeft);
    }
    m_running = false;
    m_finished = true;
    emit finished();
}

} // namespace dbexport
