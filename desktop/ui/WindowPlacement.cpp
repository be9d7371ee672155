#include "desktop/ui/WindowPlacement.h"

#include "desktop/settings/WindowRect.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {

WindowPlacement::WindowPlacement(QWidget* window, const QString& settingName)
    : QObject(window)
    , m_window(window)
    , m_settingName(settingName)
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(500);
    connect(&m_saveTimer, &QTimer::timeout, this, &WindowPlacement::SaveNow);
    window->installEventFilter(this);
}

bool WindowPlacement::Usable(const QRect& rect)
{
    if (rect.width() < 100 || rect.height() < 60)
        return false;
    // At least a corner's worth of the window must be reachable.
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        const QRect shared = screen->availableGeometry().intersected(rect);
        if (shared.width() >= 50 && shared.height() >= 30)
            return true;
    }
    return false;
}

bool WindowPlacement::Restore()
{
    settings::WindowRect stored;
    if (!settings::LoadWindowRect(m_settingName, &stored))
        return false;
    const QRect rect = settings::ToQRect(stored);
    if (!Usable(rect))
        return false;
    m_window->setGeometry(rect);
    return true;
}

void WindowPlacement::SaveNow()
{
    m_saveTimer.stop();
    settings::SaveWindowRect(m_settingName, settings::FromQRect(m_window->geometry()));
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (m_window->isVisible())
                m_saveTimer.start();
            break;
        case QEvent::Hide:
            SaveNow();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
