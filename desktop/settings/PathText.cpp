#include "desktop/settings/PathText.h"

namespace settings {

QString DirectoryPart(const QString& path)
{
    qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut < 0 ? QString() : path.left(cut);
}

QString FileNamePart(const QString& path)
{
    qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    return path.mid(cut + 1);
}

QString ExtensionPart(const QString& path)
{
    QString name = FileNamePart(path);
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString ElapsedTimeText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    qint64 hours = seconds / 3600;
    qint64 minutes = seconds / 60 % 60;
    qint64 rest = seconds % 60;
    auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (hours > 0)
        return two(hours) + QLatin1Char(':') + two(minutes) + QLatin1Char(':') + two(rest);
    return two(minutes) + QLatin1Char(':') + two(rest);
}

} // namespace settings
