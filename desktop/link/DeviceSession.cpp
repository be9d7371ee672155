#include "desktop/link/DeviceSession.h"

#include "desktop/link/DeviceLease.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <atomic>

namespace devlink {

namespace {

std::atomic<DeviceSession*> g_session { nullptr };

} // namespace

DeviceSession& DeviceSession::Instance()
{
    // Made once and kept to the end of the program: its worker may still be
    // stopping an agent when the windows are gone.
    static DeviceSession* session = [] {
        auto* made = new DeviceSession;
        // Deliveries go to the main thread, whichever thread asked first.
        if (QCoreApplication::instance() && made->thread() != QCoreApplication::instance()->thread())
            made->moveToThread(QCoreApplication::instance()->thread());
        g_session = made;
        return made;
    }();
    return *session;
}

void DeviceSession::CancelRunningRequest()
{
    if (DeviceSession* session = g_session.load())
        session->CancelRunning();
}

DeviceSession::DeviceSession()
{
    m_worker = std::thread([this] { WorkerLoop(); });
}

DeviceSession::~DeviceSession()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_runningToken)
            m_runningToken->Cancel();
        for (Queued& queued : m_queue)
            queued.token->Cancel();
        m_queue.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

DeviceSession::RequestId DeviceSession::Start(
    QObject* requester, Work work, Finished finished, std::shared_ptr<RequestProgress> progress)
{
    const RequestId id = m_nextId++;
    Queued queued;
    queued.id = id;
    queued.token = std::make_shared<CancelToken>();
    queued.progress = progress ? std::move(progress) : std::make_shared<RequestProgress>();
    queued.work = std::move(work);

    Waiting& waiting = m_waiting[id];
    waiting.requester = requester;
    waiting.finished = std::move(finished);
    waiting.token = queued.token;
    waiting.destroyed = connect(requester, &QObject::destroyed, this, [this, id] {
        Cancel(id);
        m_waiting.erase(id);
    });
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(queued));
    }
    m_wake.notify_all();
    return id;
}

void DeviceSession::Cancel(RequestId id)
{
    auto it = m_waiting.find(id);
    if (it == m_waiting.end())
        return;
    it->second.token->Cancel();
    bool dropped = false;
    {
        std::lock_guard lock(m_mutex);
        auto queued
            = std::find_if(m_queue.begin(), m_queue.end(), [id](const Queued& q) { return q.id == id; });
        if (queued != m_queue.end()) {
            m_queue.erase(queued);
            dropped = true;
        }
    }
    // The requester hears of it after its own call has returned.
    if (dropped)
        QMetaObject::invokeMethod(
            this, [this, id] { Finish(id, RequestEnd::Cancelled); }, Qt::QueuedConnection);
}

void DeviceSession::CancelRunning()
{
    // A request posted a moment before the interrupt may not have begun yet;
    // it must not start and run on as if nothing had been asked.
    std::lock_guard lock(m_mutex);
    if (m_runningToken)
        m_runningToken->Cancel();
    for (Queued& queued : m_queue)
        queued.token->Cancel();
}

void DeviceSession::Forget(QObject* requester)
{
    std::vector<RequestId> ids;
    for (const auto& [id, waiting] : m_waiting)
        if (waiting.requester == requester)
            ids.push_back(id);
    for (RequestId id : ids) {
        Cancel(id);
        disconnect(m_waiting[id].destroyed);
        m_waiting.erase(id);
    }
}

RequestEnd DeviceSession::RunAndWait(Work work, std::shared_ptr<RequestProgress> progress)
{
    QEventLoop loop;
    RequestEnd end = RequestEnd::Cancelled;
    bool done = false;
    Start(
        &loop, std::move(work),
        [&](RequestEnd ended) {
            end = ended;
            done = true;
            loop.quit();
        },
        std::move(progress));
    if (!done)
        loop.exec();
    return end;
}

void DeviceSession::SetLeaseWaitMs(int milliseconds)
{
    std::lock_guard lock(m_mutex);
    m_leaseWaitMs = milliseconds;
}

void DeviceSession::WorkerLoop()
{
    for (;;) {
        Queued request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            request = std::move(m_queue.front());
            m_queue.pop_front();
            m_runningToken = request.token;
        }
        const RequestEnd end = RunOne(request);
        {
            std::lock_guard lock(m_mutex);
            m_runningToken.reset();
        }
        const RequestId id = request.id;
        QMetaObject::invokeMethod(
            this, [this, id, end] { Finish(id, end); }, Qt::QueuedConnection);
    }
}

RequestEnd DeviceSession::RunOne(Queued& request)
{
    if (request.token->IsCancelled())
        return RequestEnd::Cancelled;
    int waitMs = -1;
    {
        std::lock_guard lock(m_mutex);
        waitMs = m_leaseWaitMs;
    }
    DeviceLease lease;
    const auto progress = request.progress;
    const DeviceLease::Outcome leased = lease.Acquire(
        waitMs, request.token.get(), [progress](const QString& holder) { progress->SetWaitingFor(holder); });
    progress->SetWaitingFor(QString());
    if (leased == DeviceLease::Outcome::Cancelled)
        return RequestEnd::Cancelled;
    if (leased == DeviceLease::Outcome::Busy)
        return RequestEnd::Busy;

    const RequestId id = request.id;
    RequestContext context(request.token, request.progress, [this, id](std::function<void()> function) {
        QMetaObject::invokeMethod(
            this, [this, id, function = std::move(function)] { Deliver(id, function); },
            Qt::QueuedConnection);
    });
    CurrentRequestScope current(context);
    request.work(context);
    return RequestEnd::Ran;
}

void DeviceSession::Deliver(RequestId id, const std::function<void()>& function)
{
    auto it = m_waiting.find(id);
    if (it != m_waiting.end() && it->second.requester)
        function();
}

void DeviceSession::Finish(RequestId id, RequestEnd end)
{
    auto it = m_waiting.find(id);
    if (it == m_waiting.end())
        return;
    Waiting waiting = std::move(it->second);
    m_waiting.erase(it);
    disconnect(waiting.destroyed);
    if (waiting.requester && waiting.finished)
        waiting.finished(end);
}

} // namespace devlink
