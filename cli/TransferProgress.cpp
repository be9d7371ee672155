#include "cli/TransferProgress.h"

#include <cstdio>

namespace cli {
namespace {

constexpr qint64 kShowAfterMs = 2000;
constexpr qint64 kRedrawMs = 200;

QString TimeText(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void Write(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString ByteText(quint64 bytes)
{
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    const char* units[] = { "kB", "MB", "GB", "TB" };
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (value >= 1000.0 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString ProgressText(const QString& name, quint64 copied, qint64 total, qint64 elapsedMs)
{
    QString text = name + QStringLiteral("  ");
    if (total > 0)
        text += QStringLiteral("%1%  ").arg(copied * 100 / quint64(total));
    text += ByteText(copied);
    if (total >= 0)
        text += QStringLiteral(" of ") + ByteText(quint64(total));
    if (elapsedMs > 0 && copied > 0) {
        const double rate = double(copied) * 1000.0 / double(elapsedMs);
        text += QStringLiteral("  %1/s").arg(ByteText(quint64(rate)));
        if (total >= 0 && quint64(total) >= copied)
            text += QStringLiteral("  %1 left")
                        .arg(TimeText(qint64((double(quint64(total) - copied) / rate) + 0.5)));
    }
    return text;
}

TransferProgress::TransferProgress(bool shown)
    : m_shown(shown)
{
}

void TransferProgress::Start(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_name = name;
    m_started.start();
    m_drawn.invalidate();
}

void TransferProgress::Update(quint64 copied, qint64 total)
{
    std::lock_guard lock(m_mutex);
    if (!m_shown || !m_started.isValid() || m_started.elapsed() < kShowAfterMs)
        return;
    if (m_drawn.isValid() && m_drawn.elapsed() < kRedrawMs)
        return;
    m_drawn.start();
    Write(QStringLiteral("\r\x1b[K") + ProgressText(m_name, copied, total, m_started.elapsed()));
    m_lineShown = true;
}

void TransferProgress::Finish()
{
    std::lock_guard lock(m_mutex);
    ClearLine();
    m_started.invalidate();
}

void TransferProgress::Print(const QString& text)
{
    std::lock_guard lock(m_mutex);
    ClearLine();
    Write(QStringLiteral("quorvane-cli: ") + text + QLatin1Char('\n'));
}

void TransferProgress::ClearLine()
{
    if (m_lineShown)
        Write(QStringLiteral("\r\x1b[K"));
    m_lineShown = false;
}

} // namespace cli
