#include "desktop/explorer/DeviceDateText.h"

#include <QRegularExpression>

namespace explorer {
namespace {

// 100 ns ticks from 1601 to 1970.
constexpr qint64 kUnixEpochMs = 11644473600000LL;

} // namespace

QString DatePatternOf(const QLocale& locale)
{
    // A short format that names the month ("25 Dec 2005") would leave the
    // name of December in every date: such a month is shown as a number.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    format.replace(QRegularExpression(QStringLiteral("M{3,4}")), QStringLiteral("MM"));
    format.replace(QRegularExpression(QStringLiteral("d{3,4}\\W*")), QString());
    QString pattern = locale.toString(QDate(2005, 12, 25), format);
    pattern.replace(QStringLiteral("2005"), QStringLiteral("%4y"));
    pattern.replace(QStringLiteral("05"), QStringLiteral("%2y"));
    pattern.replace(QStringLiteral("25"), QStringLiteral("%d"));
    pattern.replace(QStringLiteral("12"), QStringLiteral("%m"));
    return pattern;
}

const QString& DesktopDatePattern()
{
    static const QString pattern = DatePatternOf(QLocale::system());
    return pattern;
}

QString DeviceDateText(const QDateTime& time, const QString& pattern, bool seconds)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    auto two = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    QString text = pattern;
    text.replace(QStringLiteral("%4y"), QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')));
    text.replace(QStringLiteral("%2y"), two(date.year() % 100));
    text.replace(QStringLiteral("%d"), two(date.day()));
    text.replace(QStringLiteral("%m"), two(date.month()));
    text += QStringLiteral("  ") + two(clock.hour()) + QLatin1Char(':') + two(clock.minute());
    if (seconds)
        text += QLatin1Char(':') + two(clock.second());
    return text;
}

QDateTime DeviceFileTime(FILETIME time)
{
    const qint64 ms = qint64(FileTimeToU64(time) / 10000) - kUnixEpochMs;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QDateTime ClampListYear(const QDateTime& time)
{
    const QDate date = time.date();
    if (date.year() <= 2019)
        return time;
    const int day = date.month() == 2 && date.day() == 29 ? 28 : date.day();
    return QDateTime(QDate(2019, date.month(), day), time.time(), Qt::UTC);
}

} // namespace explorer
