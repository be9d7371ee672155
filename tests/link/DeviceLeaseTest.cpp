// The device lease: one program at a time per device, shared inside one
// process, released by a holder that ends however it ends.
#include "desktop/link/DeviceLease.h"
#include "desktop/link/RequestContext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using devlink::DeviceLease;

class DeviceLeaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        setenv("QUORVANE_HOME", m_home.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("QUORVANE_HOME"); }

    // Another program asking for the lease: a child process that waits up
    // to `waitMs` and exits 0 when it got it, 1 when it stayed busy.
    static int OtherProgramAcquires(int waitMs)
    {
        const pid_t child = fork();
        if (child == 0) {
            DeviceLease lease;
            _exit(lease.Acquire(waitMs) == DeviceLease::Outcome::Held ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    QTemporaryDir m_home;
};

TEST_F(DeviceLeaseTest, OneLockFilePerDeviceSocketInTheCacheFolder)
{
    const QString usual = DeviceLease::LockPath(m_home.path() + QStringLiteral("/run/cedevice.sock"));
    EXPECT_TRUE(usual.startsWith(m_home.path() + QStringLiteral("/desktop/cache/agent-")))
        << usual.toStdString();
    EXPECT_TRUE(usual.endsWith(QStringLiteral(".lock")));
    EXPECT_NE(DeviceLease::LockPath(QStringLiteral("/tmp/other.sock")), usual);
}

TEST_F(DeviceLeaseTest, AnotherProgramWaitsUntilTheHolderIsDone)
{
    auto held = std::make_unique<DeviceLease>();
    ASSERT_EQ(held->Acquire(0), DeviceLease::Outcome::Held);
    // Inside this process the lease is shared: a request run meanwhile finds
    // it held.
    auto alsoHere = std::make_unique<DeviceLease>();
    EXPECT_EQ(alsoHere->Acquire(0), DeviceLease::Outcome::Held);
    EXPECT_EQ(OtherProgramAcquires(300), 1);
    held.reset();
    EXPECT_EQ(OtherProgramAcquires(300), 1); // the second holder here still has it
    alsoHere.reset();
    EXPECT_EQ(OtherProgramAcquires(300), 0);
}

TEST_F(DeviceLeaseTest, AWaitEndsWhenItsRequestIsCancelled)
{
    // The lease is held by a child that keeps it until it is killed.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        DeviceLease lease;
        const char ok = lease.Acquire(0) == DeviceLease::Outcome::Held ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    devlink::CancelToken token;
    QString waitedFor;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        token.Cancel();
    });
    DeviceLease lease;
    EXPECT_EQ(lease.Acquire(-1, &token, [&](const QString& holderText) { waitedFor = holderText; }),
        DeviceLease::Outcome::Cancelled);
    canceller.join();
    EXPECT_TRUE(waitedFor.contains(QStringLiteral("(process %1)").arg(holder))) << waitedFor.toStdString();
    // A holder that dies, however it dies, lets the next one in.
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(lease.Acquire(0), DeviceLease::Outcome::Held);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(DeviceLeaseTest, WaitersAreServedInTheOrderTheyCame)
{
    auto held = std::make_unique<DeviceLease>();
    ASSERT_EQ(held->Acquire(0), DeviceLease::Outcome::Held);
    const QString queue = DeviceLease::LockPath(QString()) + QStringLiteral(".queue");
    const std::string served = (m_home.path() + QStringLiteral("/served")).toStdString();
    std::vector<pid_t> waiters;
    for (char who : { '1', '2', '3' }) {
        const pid_t child = fork();
        if (child == 0) {
            DeviceLease lease;
            if (lease.Acquire(20000) != DeviceLease::Outcome::Held)
                _exit(1);
            const int fd = open(served.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
            (void)!write(fd, &who, 1);
            close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            _exit(0);
        }
        waiters.push_back(child);
        // The next one comes once this one stands in the queue.
        for (int i = 0; i < 500 && QDir(queue).entryList(QDir::Files).size() < qsizetype(waiters.size()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(QDir(queue).entryList(QDir::Files).size(), qsizetype(waiters.size()));
    }
    held.reset();
    for (pid_t waiter : waiters) {
        int status = 0;
        waitpid(waiter, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QFile file(QString::fromStdString(served));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("123"));
    EXPECT_TRUE(QDir(queue).entryList(QDir::Files).isEmpty());
}

} // namespace
