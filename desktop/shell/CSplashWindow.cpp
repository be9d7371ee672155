#include "desktop/shell/CSplashWindow.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/StartupSequence.h"
#include "desktop/ui/ProgramPicture.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

CSplashWindow::CSplashWindow(StartupSequence* sequence, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_sequence(sequence)
{
    setObjectName(QStringLiteral("splashWindow"));
    setWindowTitle(QStringLiteral("Quorvane"));

    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::Box);
    frame->setObjectName(QStringLiteral("splashFrame"));

    QLabel* picture = ui::ProgramPictureLabel(96);
    QLabel* name = ui::ProgramNameLabel(2.2);
    auto* purpose = new QLabel(QStringLiteral("Databases, files, registry and processes of your device"));
    purpose->setObjectName(QStringLiteral("programPurpose"));

    m_status = new QLabel(QStringLiteral("Reading information from your device."));
    m_status->setObjectName(QStringLiteral("statusLine"));
    m_pleaseWait = new QLabel(QStringLiteral("Please wait..."));
    m_pleaseWait->setObjectName(QStringLiteral("pleaseWaitLine"));
    m_ok = new QPushButton(QStringLiteral("OK"));
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->hide();
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* titles = new QVBoxLayout;
    titles->addStretch();
    titles->addWidget(name);
    titles->addWidget(purpose);
    titles->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(14);
    top->addLayout(titles, 1);
    auto* bottom = new QHBoxLayout;
    auto* lines = new QVBoxLayout;
    lines->addWidget(m_status);
    lines->addWidget(m_pleaseWait);
    bottom->addLayout(lines, 1);
    bottom->addWidget(m_ok, 0, Qt::AlignBottom);
    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(18, 18, 18, 14);
    inner->addLayout(top);
    inner->addSpacing(16);
    inner->addLayout(bottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    setMinimumWidth(460);

    quint32 smellTheFlowers = 0;
    settings::ReadDword(QStringLiteral("SmellTheFlowers"), &smellTheFlowers);
    m_noFade = smellTheFlowers != 0;

    connect(sequence, &StartupSequence::statusChanged, m_status, &QLabel::setText);
    m_opened.start();
    QTimer::singleShot(100, sequence, &StartupSequence::Start);
    m_closeTimer.setInterval(500);
    connect(&m_closeTimer, &QTimer::timeout, this, &CSplashWindow::OnCloseCheck);
    m_closeTimer.start();
    m_fadeTimer.setInterval(10);
    connect(&m_fadeTimer, &QTimer::timeout, this, &CSplashWindow::OnFadeStep);
}

int CSplashWindow::FadeAlpha(int step)
{
    // 255 - 2.55 * step, rounded down, in whole numbers.
    return (25500 - 255 * step) / 100;
}

void CSplashWindow::reject()
{
    if (m_sequence->isDone())
        accept();
}

void CSplashWindow::OnCloseCheck()
{
    if (!m_sequence->isDone() || (m_opened.elapsed() / 1000) % 60 < 1)
        return;
    m_closeTimer.stop();
    m_status->hide();
    m_pleaseWait->hide();
    m_ok->show();
    if (m_noFade) {
        accept();
        return;
    }
    m_fadeStep = 0;
    m_fadeTimer.start();
}

void CSplashWindow::OnFadeStep()
{
    setWindowOpacity(FadeAlpha(m_fadeStep) / 255.0);
    if (m_fadeStep >= 100) {
        m_fadeTimer.stop();
        accept();
        return;
    }
    ++m_fadeStep;
}

} // namespace shell
