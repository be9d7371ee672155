// What device work knows of the request it runs for: its own cancel token,
// the place to publish its progress, and the one wait of the request path.
//
// The device session (DeviceSession.h) makes a RequestContext current on its
// worker thread while a request runs there, so that the link's functions
// below it (the wait for the agent, the stopper, the results loading) ask
// "was this request cancelled?" without being handed anything. Code that
// runs outside the session (a test that calls the link directly) shares one
// program-wide token instead.
#pragma once

#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace devlink {

// One request's cancel flag, with a wait that a cancel interrupts.
// Safe from any thread.
class CancelToken {
public:
    void Cancel();
    bool IsCancelled() const;
    // Forgets a cancel (only the program-wide token is ever reused).
    void Reset();
    // Waits up to `milliseconds`; returns early, true, once cancelled.
    bool WaitFor(int milliseconds) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_cancelled = false;
};

// The progress a running request publishes and its owner shows: the last
// "Status" text the wait read, whether the answer is being loaded, and what
// the request waits for before it can start (the device lease). Safe from
// any thread.
class RequestProgress {
public:
    void SetAgentStatus(const QString& text);
    void SetLoading(bool loading);
    void SetWaitingFor(const QString& text);

    QString AgentStatus() const;
    bool Loading() const;
    QString WaitingFor() const;

private:
    mutable std::mutex m_mutex;
    QString m_agentStatus;
    QString m_waitingFor;
    bool m_loading = false;
};

class RequestContext {
public:
    // `post` carries a function to the requester's thread (dropped there when
    // the requester is gone); null runs it at once, on the calling thread.
    RequestContext(std::shared_ptr<CancelToken> token, std::shared_ptr<RequestProgress> progress,
        std::function<void(std::function<void()>)> post = {});

    CancelToken& token() const { return *m_token; }
    RequestProgress& progress() const { return *m_progress; }
    // Runs `function` on the requester's thread, after what was posted before.
    void Post(std::function<void()> function) const;

private:
    std::shared_ptr<CancelToken> m_token;
    std::shared_ptr<RequestProgress> m_progress;
    std::function<void(std::function<void()>)> m_post;
};

// Makes `context` current on the calling thread for its lifetime.
class CurrentRequestScope {
public:
    explicit CurrentRequestScope(RequestContext& context);
    ~CurrentRequestScope();
    CurrentRequestScope(const CurrentRequestScope&) = delete;
    CurrentRequestScope& operator=(const CurrentRequestScope&) = delete;

private:
    RequestContext* m_previous;
};

// The request running on this thread, or null outside the session.
RequestContext* CurrentRequest();

// The cancel token of the request on this thread; outside the session, the
// program-wide one (RequestCancel, ClearCancelRequest).
CancelToken& CurrentCancelToken();

// Waits up to `milliseconds` for the request on this thread, returning
// early when it is cancelled; true when it was. Every wait of the request
// path goes through here, so that a wake-up on a device change can be added
// in this one place.
bool RequestPause(int milliseconds);

// Tells the request's owner the agent's latest "Status" text (nothing
// outside the session).
void PublishAgentStatus(const QString& text);

} // namespace devlink
