#include "desktop/explorer/DeleteProgressWatch.h"

#include "desktop/explorer/CopyProgressText.h"

#include <QProgressDialog>

#include <algorithm>

namespace explorer {
namespace {

constexpr int kRefreshMs = 200;
// A delete over before this is not worth a window.
constexpr int kShowAfterMs = 700;

} // namespace

DeleteProgressWatch::DeleteProgressWatch(std::shared_ptr<DeleteProgress> progress, QWidget* window)
    : QObject(window)
    , m_progress(std::move(progress))
    , m_window(window)
{
    connect(&m_timer, &QTimer::timeout, this, &DeleteProgressWatch::Refresh);
    m_timer.start(kRefreshMs);
}

DeleteProgressWatch::~DeleteProgressWatch()
{
    delete m_dialog;
}

QString DeleteProgressWatch::Text(int removed, int total, qint64 elapsedMs)
{
    QString text = QStringLiteral("Deleted %1 of %2 files and folders.").arg(removed).arg(total);
    const int percent = total > 0 && removed < total ? int(qint64(removed) * 100 / total) : 0;
    const QString left = TimeRemainingText(elapsedMs / 1000, percent);
    return left.isEmpty() ? text : text + QStringLiteral("\nTime remaining: ") + left;
}

void DeleteProgressWatch::Refresh()
{
    if (m_progress->finished) {
        m_timer.stop();
        deleteLater();
        return;
    }
    const int total = m_progress->total;
    if (total < 0)
        return; // still asking or counting
    if (!m_sinceCounted.isValid())
        m_sinceCounted.start();
    if (!m_dialog && m_sinceCounted.elapsed() < kShowAfterMs)
        return;
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_window);
        m_dialog->setObjectName(QStringLiteral("deleteProgressDialog"));
        m_dialog->setWindowTitle(QStringLiteral("Deleting"));
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(380);
        connect(m_dialog, &QProgressDialog::canceled, this, [this] {
            m_progress->cancelled = true;
            m_dialog->setLabelText(QStringLiteral("Stopping after the entry being deleted..."));
        });
        m_dialog->setRange(0, std::max(total, 1));
        m_dialog->show();
    }
    if (m_progress->cancelled)
        return;
    const int removed = std::min(int(m_progress->removed), total);
    m_dialog->setLabelText(Text(removed, total, m_sinceCounted.elapsed()));
    m_dialog->setValue(removed);
}

} // namespace explorer
