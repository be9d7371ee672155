#include "desktop/shell/CTipsWindow.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/Preferences.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace shell {
namespace {

const QString kNextTip = QStringLiteral("NextTip");

} // namespace

CTipsWindow::CTipsWindow(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("tipsWindow"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);

    m_text = new QLabel;
    m_text->setObjectName(QStringLiteral("tipText"));
    m_text->setWordWrap(true);
    m_text->setForegroundRole(QPalette::ToolTipText);
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("closeTipButton"));
    close->setText(QStringLiteral("x"));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close"));
    connect(close, &QToolButton::clicked, this, &QWidget::hide);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 8, 4, 8);
    layout->addWidget(m_text, 1);
    layout->addWidget(close, 0, Qt::AlignTop);
    setFixedWidth(300);
    hide();
    parent->installEventFilter(this);
}

QStringList CTipsWindow::Tips()
{
    return {
        QStringLiteral(
            "Tip: Ctrl+T in the folder tree or the file list shows the agent's log of the last request, "
            "which helps when a request fails."),
        QStringLiteral(
            "Tip: Options, Preferences... chooses how file sizes are shown and the font of the file list."),
        QStringLiteral("Tip: these tips can be switched off in Options, Preferences..."),
    };
}

bool CTipsWindow::ShowNextTip()
{
    if (!TipsSwitchedOn())
        return false;
    const auto machine = reg::HKEY_LOCAL_MACHINE;
    const QStringList tips = Tips();
    quint32 next = 0;
    settings::ReadDword(machine, settings::TooltipsKey(), kNextTip, &next);
    next %= quint32(tips.size());
    settings::WriteDword(machine, settings::TooltipsKey(), kNextTip, (next + 1) % quint32(tips.size()));
    ShowText(tips[int(next)]);
    return true;
}

void CTipsWindow::ShowAnnouncement(const QString& text)
{
    QString shown = text;
    ShowText(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).trimmed());
}

void CTipsWindow::ShowText(const QString& text)
{
    m_text->setText(text);
    adjustSize();
    Place();
    show();
    raise();
}

void CTipsWindow::Place()
{
    const QWidget* host = parentWidget();
    move(host->width() - width() - 14, host->height() - height() - 14);
}

bool CTipsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Place();
    return QFrame::eventFilter(watched, event);
}

} // namespace shell
