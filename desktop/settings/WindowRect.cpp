#include "desktop/settings/WindowRect.h"

#include "desktop/settings/SettingsStore.h"

#include <climits>

namespace settings {

QRect ToQRect(const WindowRect& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

WindowRect FromQRect(const QRect& r)
{
    return { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
}

QString WindowRectText(const WindowRect& r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.left).arg(r.top).arg(r.right).arg(r.bottom);
}

bool ParseWindowRect(const QString& text, WindowRect* r)
{
    int fields[4] = { 0, 0, 0, 0 };
    int current = 0;
    for (QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            int digit = c.unicode() - '0';
            if (fields[current] > (INT_MAX - digit) / 10)
                return false;
            fields[current] = fields[current] * 10 + digit;
        } else if (c == QLatin1Char(',')) {
            if (++current == 4)
                return false;
        } else {
            return false;
        }
    }
    *r = { fields[0], fields[1], fields[2], fields[3] };
    return true;
}

bool SaveWindowRect(const QString& name, const WindowRect& r)
{
    return WriteString(name, WindowRectText(r));
}

bool LoadWindowRect(const QString& name, WindowRect* r)
{
    QString text;
    if (!ReadString(name, &text))
        return false;
    return ParseWindowRect(text, r);
}

} // namespace settings
