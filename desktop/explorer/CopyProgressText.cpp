#include "desktop/explorer/CopyProgressText.h"

#include <algorithm>

namespace explorer {

int CopyPercent(quint64 copied, quint64 total)
{
    if (copied == 0 || total == 0 || total == ~quint64(0))
        return 0;
    // 64-bit arithmetic holds copied × 100 for any file a device keeps.
    return int(std::min<quint64>(copied * 100 / total, 100));
}

QString CopyByteText(quint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1048576)
        return QStringLiteral("%1 Kb").arg(double(bytes) / 1024, 0, 'f', 2);
    return QStringLiteral("%1 Mb").arg(double(bytes) / 1048576, 0, 'f', 2);
}

QString TimeRemainingText(qint64 elapsedSeconds, int percent)
{
    if (elapsedSeconds < 2 || percent <= 0)
        return {};
    const qint64 remaining = (elapsedSeconds * 100 / percent) * (100 - percent) / 100 + 1;
    const qint64 hours = remaining / 3600, minutes = remaining / 60 % 60, seconds = remaining % 60;
    if (hours == 0)
        return QStringLiteral("%1:%2")
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(seconds, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

} // namespace explorer
