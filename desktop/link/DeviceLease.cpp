#include "desktop/link/DeviceLease.h"

#include "desktop/link/RequestContext.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace devlink {
namespace {

// How often a waiter looks at the lock file again.
constexpr int kRetryMs = 50;

struct Holding {
    int count = 0;
    std::unique_ptr<QLockFile> lock; // null when no lock file could be made
    pid_t holder = 0; // the process that took it
};

std::mutex g_mutex;
std::map<QString, Holding> g_holdings; // by lock path

QString HolderText(QLockFile& lock)
{
    qint64 pid = 0;
    QString host, application;
    if (!lock.getLockInfo(&pid, &host, &application))
        return QStringLiteral("another program");
    if (application.isEmpty())
        application = QStringLiteral("another program");
    return QStringLiteral("%1 (process %2)").arg(application).arg(pid);
}

} // namespace

QString DeviceLease::LockPath(const QString& socketPath)
{
    const QString socket = socketPath.isEmpty() ? QString::fromStdString(CeRapiGetSocketPath().string())
                                                : QFileInfo(socketPath).absoluteFilePath();
    const QByteArray hash
        = QCryptographicHash::hash(socket.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QString::fromStdString(home::DesktopCacheDir().string()) + QStringLiteral("/agent-")
        + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

DeviceLease::DeviceLease(const QString& socketPath)
    : m_path(LockPath(socketPath))
{
}

DeviceLease::~DeviceLease()
{
    if (!m_held)
        return;
    std::lock_guard guard(g_mutex);
    auto it = g_holdings.find(m_path);
    if (it != g_holdings.end() && --it->second.count == 0)
        g_holdings.erase(it); // unlocks
}

DeviceLease::Outcome DeviceLease::Acquire(
    int waitMs, const CancelToken* token, const std::function<void(const QString&)>& waiting)
{
    if (m_held)
        return Outcome::Held;
    QElapsedTimer clock;
    clock.start();
    bool told = false;
    for (;;) {
        {
            std::lock_guard guard(g_mutex);
            Holding& holding = g_holdings[m_path];
            if (holding.count > 0 && holding.holder != getpid()) {
                // A child's copy of its parent's holding: the lock is the
                // parent's, and must stay locked when the copy goes.
                (void)holding.lock.release();
                holding = Holding();
            }
            if (holding.count > 0) {
                ++holding.count;
                m_held = true;
                return Outcome::Held;
            }
            QDir().mkpath(QFileInfo(m_path).absolutePath());
            auto lock = std::make_unique<QLockFile>(m_path);
            // Only a lock whose holder has ended is stale, however old it is.
            lock->setStaleLockTime(0);
            if (lock->tryLock(0) || lock->error() != QLockFile::LockFailedError) {
                // A cache folder we cannot write to must not stop the work.
                holding.lock = lock->isLocked() ? std::move(lock) : nullptr;
                holding.count = 1;
                holding.holder = getpid();
                m_held = true;
                return Outcome::Held;
            }
            g_holdings.erase(m_path);
            if (!told && waiting) {
                waiting(HolderText(*lock));
                told = true;
            }
        }
        if (waitMs >= 0 && clock.elapsed() >= waitMs)
            return Outcome::Busy;
        if (!token)
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        else if (token->WaitFor(kRetryMs))
            return Outcome::Cancelled;
    }
}

} // namespace devlink
