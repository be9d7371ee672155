#include "desktop/database/CShortcutBalloon.h"

#include <QEvent>
#include <QScreen>

namespace database {

CShortcutBalloon::CShortcutBalloon(QWidget* anchor)
    : QLabel(anchor->window(), Qt::ToolTip | Qt::FramelessWindowHint)
    , m_anchor(anchor)
{
    setObjectName(QStringLiteral("shortcutBalloon"));
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(8);
    setMaximumWidth(460);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    anchor->window()->installEventFilter(this);
}

void CShortcutBalloon::ShowText(const QString& html)
{
    setText(html);
    setFixedWidth(maximumWidth());
    adjustSize();
    Place();
    show();
    raise();
}

// Above the anchor, its right edge at the anchor's, kept on the screen.
void CShortcutBalloon::Place()
{
    const QPoint corner = m_anchor->mapToGlobal(QPoint(m_anchor->width(), 0));
    QPoint at(corner.x() - width(), corner.y() - height() - 4);
    if (const QScreen* screen = m_anchor->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width())));
        at.setY(qMax(area.top(), at.y()));
    }
    move(at);
}

bool CShortcutBalloon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_anchor->window() && isVisible()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            Place();
            break;
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
        case QEvent::Close:
            hide();
            break;
        default:
            break;
        }
    }
    return QLabel::eventFilter(watched, event);
}

void CShortcutBalloon::hideEvent(QHideEvent* event)
{
    QLabel::hideEvent(event);
    emit closed();
}

void CShortcutBalloon::mousePressEvent(QMouseEvent*)
{
    hide();
}

} // namespace database
