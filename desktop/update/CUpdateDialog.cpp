#include "desktop/update/CUpdateDialog.h"

#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/update/UpdateDialogText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace update {
namespace {

QLabel* NamedLabel(const char* objectName)
{
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(true);
    return label;
}

} // namespace

CUpdateDialog::CUpdateDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("onlineUpdateDialog"));
    setWindowTitle(QStringLiteral("Online update"));

    auto* ownVersion = NamedLabel("ownVersionLine");
    ownVersion->setText(OwnVersionLine());
    QFont bold = ownVersion->font();
    bold.setBold(true);
    ownVersion->setFont(bold);
    m_releaseLine = NamedLabel("releaseLine");
    m_statusLine = NamedLabel("statusLine");
    m_featuresHeading = NamedLabel("featuresHeading");
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("downloadProgress"));
    m_progress->setRange(0, 100);
    m_timeLeft = NamedLabel("timeLeft");
    m_features = new QPlainTextEdit;
    m_features->setObjectName(QStringLiteral("featuresText"));
    m_features->setReadOnly(true);

    auto* picture = new QLabel;
    picture->setPixmap(ui::ProgramIcon().pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->addWidget(ownVersion);
    lines->addWidget(m_releaseLine);
    lines->addWidget(m_statusLine);
    lines->addWidget(m_progress);
    lines->addWidget(m_timeLeft);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(lines, 1);

    m_download = ui::NamedButton(QStringLiteral("&Download"), "downloadButton");
    m_ok = ui::NamedButton(QStringLiteral("OK"), "okButton");
    m_close = ui::NamedButton(QStringLiteral("Cancel"), "closeButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_download);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_featuresHeading);
    layout->addWidget(m_features, 1);
    // Without features (while the work runs, after a download) the lines
    // stay at the top and the room goes below them.
    layout->addStretch(0);
    layout->addLayout(buttons);
    resize(440, 320);

    connect(m_download, &QPushButton::clicked, this, &CUpdateDialog::StartDownload);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_close, &QPushButton::clicked, this, &CUpdateDialog::reject);
    connect(&m_update, &OnlineUpdateThread::finished, this, &CUpdateDialog::Refresh);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CUpdateDialog::Refresh);
    m_timer.start();

    m_elapsed.start();
    StartUpdateCheck(&m_update, true);
    Refresh();
}

void CUpdateDialog::Refresh()
{
    const UpdateRecord& record = m_update.record();
    const UpdateDialogText text = DescribeUpdate(record, m_elapsed.elapsed() / 1000);
    m_releaseLine->setText(text.releaseLine);
    m_releaseLine->setVisible(!text.releaseLine.isEmpty());
    m_statusLine->setText(text.statusLine);
    m_statusLine->setVisible(!text.statusLine.isEmpty());
    m_featuresHeading->setText(text.featuresHeading);
    m_featuresHeading->setVisible(!text.featuresHeading.isEmpty());
    if (m_features->toPlainText() != text.features)
        m_features->setPlainText(text.features);
    m_features->setVisible(!text.featuresHeading.isEmpty());

    m_progress->setVisible(text.percent >= 0);
    m_progress->setValue(qMax(0, text.percent));
    m_timeLeft->setText(text.timeLeft);
    m_timeLeft->setVisible(!text.timeLeft.isEmpty());

    const bool downloaded = record.done && !record.checkMode;
    m_download->setVisible(record.done && record.checkMode && record.newVersionAvailable);
    m_ok->setVisible(downloaded);
    m_close->setText(record.running ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    m_close->setVisible(!downloaded);
    if (downloaded)
        m_ok->setDefault(true);
}

void CUpdateDialog::StartDownload()
{
    m_elapsed.start();
    m_update.Start(UpdateMode::Download);
    Refresh();
}

void CUpdateDialog::reject()
{
    if (!m_update.isRunning() || m_update.record().checkMode) {
        m_update.Cancel();
        QDialog::reject();
        return;
    }
    if (m_asking)
        return;
    m_asking = true;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Online update");
    question.text = QStringLiteral("Cancel downloading new version ?");
    question.icon = devlink::PromptIcon::Question;
    question.buttons = devlink::PromptButtons::YesNo;
    question.owner = this;
    ui::AskFromWindow(question, this, [this](devlink::PromptAnswer answer) {
        m_asking = false;
        if (answer != devlink::PromptAnswer::Yes)
            return;
        m_update.Cancel();
        QDialog::reject();
    });
}

} // namespace update
