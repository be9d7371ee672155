#include "desktop/ui/CConnectionErrorDialog.h"

#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

namespace ui {

using devlink::ConnectionErrorAnswer;

CConnectionErrorDialog::CConnectionErrorDialog(
    const devlink::ConnectionErrorRequest& request, QWidget* parent)
    : QDialog(parent)
    , m_tryConnect(request.tryConnect)
{
    setObjectName(QStringLiteral("connectionErrorDialog"));
    setWindowTitle(request.caption);
    setWindowIcon(ProgramIcon());

    QLabel* picture = ProgramPictureLabel(48);

    auto* message = new QLabel(request.message);
    message->setObjectName(QStringLiteral("messageLabel"));
    auto* advice = new QLabel(request.advice);
    advice->setObjectName(QStringLiteral("adviceLabel"));
    advice->setWordWrap(true);

    m_retryButton = new QPushButton(QStringLiteral("&Retry"));
    m_retryButton->setObjectName(QStringLiteral("retryButton"));
    m_retryButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_retryButton, &QPushButton::clicked, this, [this] { Choose(ConnectionErrorAnswer::Retry); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { Choose(ConnectionErrorAnswer::Cancel); });

    auto* texts = new QVBoxLayout;
    texts->addWidget(message);
    texts->addSpacing(6);
    texts->addWidget(advice);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(10);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_retryButton);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    advice->setMinimumWidth(340);

    m_retryTimer.setInterval(request.retryIntervalMs);
    connect(&m_retryTimer, &QTimer::timeout, this, &CConnectionErrorDialog::StartTry);
    m_retryTimer.start();
}

void CConnectionErrorDialog::reject()
{
    Choose(ConnectionErrorAnswer::Cancel);
}

void CConnectionErrorDialog::Choose(ConnectionErrorAnswer answer)
{
    if (m_finished)
        return;
    if (m_tryRunning) {
        m_chosen = answer;
        m_retryButton->setEnabled(false);
        m_cancelButton->setEnabled(false);
        return;
    }
    Finish(answer);
}

void CConnectionErrorDialog::StartTry()
{
    if (m_tryRunning || m_finished || !m_tryConnect)
        return;
    m_tryRunning = true;
    QPointer<CConnectionErrorDialog> self(this);
    HelperThreads().start([tryConnect = m_tryConnect, self] {
        const bool connected = tryConnect();
        // Delivered through the application object, which outlives the
        // dialog; the dialog itself may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, connected] {
                if (self)
                    self->OnTryEnded(connected);
            },
            Qt::QueuedConnection);
    });
}

void CConnectionErrorDialog::OnTryEnded(bool connected)
{
    m_tryRunning = false;
    if (connected) {
        m_connected = true;
        Finish(ConnectionErrorAnswer::Connected);
    } else if (m_chosen) {
        Finish(*m_chosen);
    }
}

void CConnectionErrorDialog::Finish(ConnectionErrorAnswer answer)
{
    if (m_finished)
        return;
    m_finished = true;
    m_retryTimer.stop();
    emit answered(answer);
    done(answer == ConnectionErrorAnswer::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace ui
