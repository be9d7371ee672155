#include "desktop/link/RequestContext.h"

#include <chrono>

namespace devlink {
namespace {

thread_local RequestContext* t_current = nullptr;

CancelToken& ProgramToken()
{
    static CancelToken token;
    return token;
}

} // namespace

void CancelToken::Cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
}

bool CancelToken::IsCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void CancelToken::Reset()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = false;
}

bool CancelToken::WaitFor(int milliseconds) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(
        lock, std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0), [this] { return m_cancelled; });
}

void RequestProgress::SetAgentStatus(const QString& text)
{
    std::lock_guard lock(m_mutex);
    m_agentStatus = text;
}

void RequestProgress::SetLoading(bool loading)
{
    std::lock_guard lock(m_mutex);
    m_loading = loading;
}

void RequestProgress::SetWaitingFor(const QString& text)
{
    std::lock_guard lock(m_mutex);
    m_waitingFor = text;
}

QString RequestProgress::AgentStatus() const
{
    std::lock_guard lock(m_mutex);
    return m_agentStatus;
}

bool RequestProgress::Loading() const
{
    std::lock_guard lock(m_mutex);
    return m_loading;
}

QString RequestProgress::WaitingFor() const
{
    std::lock_guard lock(m_mutex);
    return m_waitingFor;
}

RequestContext::RequestContext(std::shared_ptr<CancelToken> token, std::shared_ptr<RequestProgress> progress,
    std::function<void(std::function<void()>)> post)
    : m_token(std::move(token))
    , m_progress(std::move(progress))
    , m_post(std::move(post))
{
}

void RequestContext::Post(std::function<void()> function) const
{
    if (m_post)
        m_post(std::move(function));
    else
        function();
}

CurrentRequestScope::CurrentRequestScope(RequestContext& context)
    : m_previous(t_current)
{
    t_current = &context;
}

CurrentRequestScope::~CurrentRequestScope()
{
    t_current = m_previous;
}

RequestContext* CurrentRequest()
{
    return t_current;
}

CancelToken& CurrentCancelToken()
{
    return t_current ? t_current->token() : ProgramToken();
}

bool RequestPause(int milliseconds)
{
    return CurrentCancelToken().WaitFor(milliseconds);
}

void PublishAgentStatus(const QString& text)
{
    if (t_current)
        t_current->progress().SetAgentStatus(text);
}

} // namespace devlink
