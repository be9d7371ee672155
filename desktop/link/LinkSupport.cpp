// Waiting with event dispatch, trace lines, the program's location and the
// link's timing.
#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"

#include "exchange/Trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <mutex>
#include <thread>

namespace devlink {
namespace {

std::mutex g_timingMutex;
LinkTiming g_timing;

QString StripTrailingSeparators(QString dir)
{
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

} // namespace

const LinkTiming& Timing()
{
    return g_timing;
}

void SetLinkTiming(const LinkTiming& timing)
{
    std::lock_guard lock(g_timingMutex);
    g_timing = timing;
}

void WaitWithMessages(int milliseconds)
{
    // Off the main thread there are no window messages to dispatch: device
    // work on the session's worker simply waits.
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread()) {
        if (milliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 remaining = milliseconds - clock.elapsed();
        if (remaining <= 0)
            return;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(remaining));
        loop.exec();
    }
}

bool RetryWithWaits(int tries, int waitMs, const std::function<bool()>& attempt)
{
    for (int i = 0; i < tries; ++i) {
        if (attempt())
            return true;
        WaitWithMessages(waitMs);
    }
    return false;
}

void TraceLine(const QString& text)
{
    exchange::TraceLine(text.toStdU16String());
}

void DebugOutput(const QString& text)
{
    exchange::DebugOutput(text.toStdU16String());
}

QString GetProgramPath()
{
    QString name = QStringLiteral("quorvane");
    QString path;
    if (QCoreApplication::instance()) {
        path = QCoreApplication::applicationFilePath();
    } else {
        path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    }
    if (!path.isEmpty())
        name = QFileInfo(path).fileName();
    const QString overrideDir = qEnvironmentVariable("QUORVANE_PROGRAM_DIR");
    if (!overrideDir.isEmpty())
        return StripTrailingSeparators(overrideDir) + QLatin1Char('/') + name;
    return path;
}

QString GetProgramDir()
{
    const QString overrideDir = qEnvironmentVariable("QUORVANE_PROGRAM_DIR");
    if (!overrideDir.isEmpty())
        return StripTrailingSeparators(overrideDir);
    const QString path = GetProgramPath();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace devlink
