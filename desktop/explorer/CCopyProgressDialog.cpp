#include "desktop/explorer/CCopyProgressDialog.h"

#include "desktop/explorer/CopyProgressText.h"
#include "desktop/ui/NamedWidgets.h"

#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

namespace explorer {
namespace {

QLineEdit* Field(const char* objectName)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QLatin1String(objectName));
    edit->setReadOnly(true);
    edit->setFrame(false);
    return edit;
}

} // namespace

CopyProgressBar::CopyProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("progressArea"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CopyProgressBar::SetPercent(int percent)
{
    if (percent == m_percent)
        return;
    m_percent = percent;
    update();
}

QSize CopyProgressBar::sizeHint() const
{
    return { 320, fontMetrics().height() + 10 };
}

void CopyProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect outer = rect();
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(outer.adjusted(0, 0, -1, -1));
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    painter.fillRect(inner, palette().color(QPalette::Base));
    QRect filled = inner;
    filled.setWidth(inner.width() * m_percent / 100);
    painter.fillRect(filled, QColor(200, 200, 255));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(inner, Qt::AlignCenter, QStringLiteral("%1%").arg(m_percent));
}

CCopyProgressDialog::CCopyProgressDialog(std::shared_ptr<CopyJob> job, QWidget* parent)
    : QDialog(parent)
    , m_job(std::move(job))
    , m_fromEdit(Field("fromEdit"))
    , m_toEdit(Field("toEdit"))
    , m_filesizeEdit(Field("filesizeEdit"))
    , m_bytesCopiedEdit(Field("bytesCopiedEdit"))
    , m_timeLabel(new QLabel(QStringLiteral("Time remaining:")))
    , m_timeEdit(Field("timeRemainingEdit"))
    , m_bar(new CopyProgressBar)
{
    setObjectName(QStringLiteral("copyProgressDialog"));
    setWindowTitle(m_job->toDevice ? QStringLiteral("Copy to device") : QStringLiteral("Copy from device"));
    m_timeLabel->setObjectName(QStringLiteral("timeRemainingLabel"));
    m_timeLabel->hide();
    m_timeEdit->hide();
    m_fromEdit->setMinimumWidth(360);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Copying from:"), m_fromEdit);
    form->addRow(QStringLiteral("to:"), m_toEdit);
    auto* numbers = new QFormLayout;
    numbers->addRow(QStringLiteral("Filesize:"), m_filesizeEdit);
    numbers->addRow(QStringLiteral("Bytes copied:"), m_bytesCopiedEdit);
    numbers->addRow(m_timeLabel, m_timeEdit);

    QPushButton* cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    connect(cancel, &QPushButton::clicked, this, &CCopyProgressDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(numbers, 1);
    bottom->addWidget(cancel, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_bar);
    layout->addLayout(bottom);

    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &CCopyProgressDialog::Refresh);
    m_timer.start();
    Refresh();
}

void CCopyProgressDialog::Refresh()
{
    const int file = m_job->fileNumber;
    if (file != m_shownFile) {
        // The next file of a batch starts with empty fields.
        m_shownFile = file;
        m_fromEdit->setText(m_job->fromText());
        m_toEdit->setText(m_job->toText());
        m_filesizeEdit->clear();
        m_bytesCopiedEdit->clear();
        m_timeLabel->hide();
        m_timeEdit->hide();
    }
    const quint64 total = m_job->totalBytes, copied = m_job->copiedBytes;
    const int percent = CopyPercent(copied, total);
    if (m_filesizeEdit->text().isEmpty() && total != CopyJob::kUnknownTotal)
        m_filesizeEdit->setText(CopyByteText(total));
    if (copied > 0)
        m_bytesCopiedEdit->setText(CopyByteText(copied));
    const qint64 startMs = m_job->startMs;
    const QString remaining = startMs > 0 && copied > 0
        ? TimeRemainingText((QDateTime::currentMSecsSinceEpoch() - startMs) / 1000, percent)
        : QString();
    if (!remaining.isEmpty()) {
        m_timeEdit->setText(remaining);
        m_timeLabel->show();
        m_timeEdit->show();
    }
    m_bar->SetPercent(percent);
}

void CCopyProgressDialog::reject()
{
    if (!m_finished && !m_job->cancelled.exchange(true))
        emit cancelRequested();
}

void CCopyProgressDialog::Finish()
{
    m_finished = true;
    m_timer.stop();
    hide();
    deleteLater();
}

} // namespace explorer
