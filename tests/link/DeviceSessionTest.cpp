// The device session without a device: requests run one at a time in the
// order asked, each with its own cancel; a requester that goes away while
// its work runs hears nothing afterwards and breaks nothing.
#include "desktop/link/DeviceSession.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using devlink::DeviceSession;
using devlink::RequestContext;
using devlink::RequestEnd;

class DeviceSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        setenv("QUORVANE_HOME", m_home.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("QUORVANE_HOME"); }

    // Runs this thread's events until `done` holds (at most 10 s).
    static bool RunEventsUntil(const std::function<bool()>& done)
    {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(5);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!done())
            loop.exec();
        return done();
    }

    QTemporaryDir m_home;
};

TEST_F(DeviceSessionTest, RequestsRunOneAtATimeInTheOrderAsked)
{
    DeviceSession& session = DeviceSession::Instance();
    QObject window;
    std::atomic<int> running { 0 };
    std::atomic<bool> overlapped { false };
    std::vector<int> ran, finished;
    for (int i = 0; i < 4; ++i) {
        session.Start(
            &window,
            [&, i](RequestContext&) {
                if (++running > 1)
                    overlapped = true;
                devlink::RequestPause(20);
                ran.push_back(i); // one worker: no lock needed
                --running;
            },
            [&, i](RequestEnd end) {
                EXPECT_EQ(end, RequestEnd::Ran);
                finished.push_back(i);
            });
    }
    ASSERT_TRUE(RunEventsUntil([&] { return finished.size() == 4; }));
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(ran, (std::vector<int> { 0, 1, 2, 3 }));
    EXPECT_EQ(finished, (std::vector<int> { 0, 1, 2, 3 }));
}

TEST_F(DeviceSessionTest, ACancelReachesOnlyItsOwnRequest)
{
    DeviceSession& session = DeviceSession::Instance();
    QObject first, second;
    std::atomic<bool> started { false }, firstSawCancel { false }, secondRan { false };
    std::vector<RequestEnd> ends(2, RequestEnd::Busy);
    int endCount = 0;
    session.Start(
        &first,
        [&](RequestContext&) {
            started = true;
            // Long enough to still run when the other request is cancelled.
            for (int pauses = 0; pauses < 50; ++pauses)
                if (devlink::RequestPause(20))
                    break;
            firstSawCancel = devlink::CurrentCancelToken().IsCancelled();
        },
        [&](RequestEnd end) {
            ends[0] = end;
            ++endCount;
        });
    const auto queued = session.Start(
        &second, [&](RequestContext&) { secondRan = true; },
        [&](RequestEnd end) {
            ends[1] = end;
            ++endCount;
        });
    ASSERT_TRUE(RunEventsUntil([&] { return started.load(); }));
    session.Cancel(queued);
    ASSERT_TRUE(RunEventsUntil([&] { return endCount == 2; }));
    EXPECT_EQ(ends[0], RequestEnd::Ran);
    EXPECT_FALSE(firstSawCancel); // the other window's cancel left it running
    EXPECT_EQ(ends[1], RequestEnd::Cancelled);
    EXPECT_FALSE(secondRan);
}

// An interrupt stops everything: also a request asked a moment before it
// that has not begun yet.
TEST_F(DeviceSessionTest, AnInterruptCancelsTheRunningRequestAndTheQueuedOnes)
{
    DeviceSession& session = DeviceSession::Instance();
    QObject requester;
    std::atomic<bool> started { false }, firstSawCancel { false }, secondRan { false };
    std::vector<RequestEnd> ends(2, RequestEnd::Busy);
    int endCount = 0;
    session.Start(
        &requester,
        [&](RequestContext&) {
            started = true;
            for (int pauses = 0; pauses < 500 && !devlink::RequestPause(20); ++pauses) { }
            firstSawCancel = devlink::CurrentCancelToken().IsCancelled();
        },
        [&](RequestEnd end) {
            ends[0] = end;
            ++endCount;
        });
    session.Start(
        &requester, [&](RequestContext&) { secondRan = true; },
        [&](RequestEnd end) {
            ends[1] = end;
            ++endCount;
        });
    ASSERT_TRUE(RunEventsUntil([&] { return started.load(); }));
    DeviceSession::CancelRunningRequest();
    ASSERT_TRUE(RunEventsUntil([&] { return endCount == 2; }));
    EXPECT_TRUE(firstSawCancel);
    EXPECT_EQ(ends[1], RequestEnd::Cancelled);
    EXPECT_FALSE(secondRan);
}

TEST_F(DeviceSessionTest, ARequesterGoneWhileItsWorkRunsHearsNothing)
{
    DeviceSession& session = DeviceSession::Instance();
    auto window = std::make_unique<QObject>();
    std::atomic<bool> started { false }, sawCancel { false }, workEnded { false };
    bool delivered = false, finished = false;
    session.Start(
        window.get(),
        [&](RequestContext& context) {
            started = true;
            sawCancel = devlink::RequestPause(5000);
            // What the work hands back after its window closed is dropped.
            context.Post([&] { delivered = true; });
            workEnded = true;
        },
        [&](RequestEnd) { finished = true; });
    ASSERT_TRUE(RunEventsUntil([&] { return started.load(); }));
    window.reset();
    ASSERT_TRUE(RunEventsUntil([&] { return workEnded.load(); }));
    EXPECT_TRUE(sawCancel); // closing the window cancelled its request
    // The session goes on: the next request runs and is answered.
    QObject next;
    bool nextFinished = false;
    session.Start(
        &next, [](RequestContext&) {}, [&](RequestEnd) { nextFinished = true; });
    ASSERT_TRUE(RunEventsUntil([&] { return nextFinished; }));
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(finished);
}

TEST_F(DeviceSessionTest, RunAndWaitReturnsWithTheWorkDone)
{
    int value = 0;
    EXPECT_EQ(DeviceSession::Instance().RunAndWait([&](RequestContext&) { value = 42; }), RequestEnd::Ran);
    EXPECT_EQ(value, 42);
}

} // namespace
