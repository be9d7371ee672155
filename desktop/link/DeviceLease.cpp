#include "desktop/link/DeviceLease.h"

#include "desktop/link/RequestContext.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <chrono>
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

// The start time of process `pid` in clock ticks since boot (field 22 of
// /proc/PID/stat), or 0 when it does not run (or /proc cannot tell).
quint64 ProcessStartTime(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The command name (field 2) may hold spaces; count from its end.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toULongLong() : 0;
}

// A waiter's place in the queue for a device's lease: a file in a folder
// beside the lock file, named after when it began to wait, its process and
// that process's start time (so that a reused process id is not taken for
// it). The oldest ticket of a live process has the next turn, which keeps
// the lease first come, first served; tickets of processes that ended are
// removed by whoever finds them.
class Ticket {
public:
    explicit Ticket(const QString& lockPath)
        : m_dir(lockPath + QStringLiteral(".queue"))
    {
        const qint64 pid = QCoreApplication::applicationPid();
        m_name = QStringLiteral("%1-%2-%3")
                     .arg(qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                                     .count()),
                         20, 10, QLatin1Char('0'))
                     .arg(pid)
                     .arg(ProcessStartTime(pid));
        QDir().mkpath(m_dir);
        QFile file(m_dir + QLatin1Char('/') + m_name);
        m_made = file.open(QIODevice::WriteOnly);
    }
    ~Ticket()
    {
        if (m_made)
            QFile::remove(m_dir + QLatin1Char('/') + m_name);
    }
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;

    // True when no live waiter came before this one (or there is no queue).
    bool IsNext() const
    {
        if (!m_made)
            return true;
        const QStringList names = QDir(m_dir).entryList(QDir::Files, QDir::Name);
        for (const QString& name : names) {
            if (name >= m_name)
                return true;
            const QStringList parts = name.split(QLatin1Char('-'));
            if (parts.size() == 3 && ProcessStartTime(parts[1].toLongLong()) == parts[2].toULongLong()
                && parts[2].toULongLong() != 0)
                return false;
            QFile::remove(m_dir + QLatin1Char('/') + name); // its process has ended
        }
        return true;
    }

private:
    QString m_dir;
    QString m_name;
    bool m_made = false;
};

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
    std::unique_ptr<Ticket> ticket;
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
            // Every waiter queues, so that a newcomer never overtakes one
            // that waits already.
            if (!ticket)
                ticket = std::make_unique<Ticket>(m_path);
            auto lock = std::make_unique<QLockFile>(m_path);
            // Only a lock whose holder has ended is stale, however old it is.
            lock->setStaleLockTime(0);
            if (ticket->IsNext() && (lock->tryLock(0) || lock->error() != QLockFile::LockFailedError)) {
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
