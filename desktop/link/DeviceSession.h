// The request service of the program's device connection. Device work is
// queued and runs one request at a time, in the order asked, on the
// session's own worker thread; each request holds the device lease
// (DeviceLease.h) while it runs and has a cancel token of its own. Starting
// a request returns at once. What the work hands back (Post) and the
// request's end arrive later on the requester's thread, and are dropped
// when the requester has been destroyed meanwhile, so a window may close
// while its request runs: its request is cancelled and forgotten.
//
// Threads: the session lives on the program's main (window) thread;
// requesters are objects of that thread, and Start, Cancel, Forget and
// RunAndWait are called there. The work runs on the worker thread with its
// RequestContext current (RequestContext.h).
#pragma once

#include "desktop/link/RequestContext.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace devlink {

// How a request ended.
enum class RequestEnd {
    Ran, // the work ran to its end (it may have seen its cancel on the way)
    Cancelled, // cancelled before it started: the work never ran
    Busy, // another program kept the device's lease for the whole wait
};

class DeviceSession : public QObject {
    Q_OBJECT
public:
    using RequestId = quint64;
    using Work = std::function<void(RequestContext&)>;
    using Finished = std::function<void(RequestEnd)>;

    // The program's session, made on first use (on the main thread).
    static DeviceSession& Instance();

    ~DeviceSession() override;

    // Queues `work` for `requester`. `finished` is called on this thread once
    // the work has ended, or at once (queued) when it is cancelled before
    // it started; neither is called when the requester is gone. `progress`
    // (made when null) is what the work publishes for the requester to show.
    RequestId Start(QObject* requester, Work work, Finished finished,
        std::shared_ptr<RequestProgress> progress = nullptr);
    // Cancels one request: a queued one never runs, a running one sees its
    // token cancelled (the agent is then stopped).
    void Cancel(RequestId id);
    // Cancels the request running now and every one still queued, whoever
    // started them (the command line's interrupt and watchdog). Safe from
    // any thread.
    void CancelRunning();
    // CancelRunning on the program's session, when there is one.
    static void CancelRunningRequest();
    // Cancels every request of `requester` and delivers nothing more to it.
    void Forget(QObject* requester);

    // Runs `work` and waits for its end with one local event loop of the
    // calling thread: for a command-line program, whose main thread has
    // nothing else to do meanwhile. Never from a window.
    RequestEnd RunAndWait(Work work, std::shared_ptr<RequestProgress> progress = nullptr);

    // How long a request waits for the device's lease (-1: until cancelled).
    void SetLeaseWaitMs(int milliseconds);

private:
    DeviceSession();

    struct Queued {
        RequestId id = 0;
        std::shared_ptr<CancelToken> token;
        std::shared_ptr<RequestProgress> progress;
        Work work;
    };
    struct Waiting { // the main thread's side of a request
        QPointer<QObject> requester;
        Finished finished;
        std::shared_ptr<CancelToken> token;
        QMetaObject::Connection destroyed;
    };

    void WorkerLoop();
    RequestEnd RunOne(Queued& request);
    // On this thread: calls `function` when request `id`'s requester lives.
    void Deliver(RequestId id, const std::function<void()>& function);
    void Finish(RequestId id, RequestEnd end);

    // Main thread only.
    std::map<RequestId, Waiting> m_waiting;
    RequestId m_nextId = 1;

    // Shared with the worker.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Queued> m_queue;
    std::shared_ptr<CancelToken> m_runningToken;
    bool m_stopping = false;
    int m_leaseWaitMs = -1;
    std::thread m_worker;
};

} // namespace devlink
