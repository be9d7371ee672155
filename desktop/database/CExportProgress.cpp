#include "desktop/database/CExportProgress.h"

#include "desktop/database/CExportErrorDialog.h"
#include "desktop/ui/NamedWidgets.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace database {
namespace {

QTreeView* RowsView(QAbstractItemModel* model, const char* name, std::initializer_list<int> widths)
{
    auto* view = new QTreeView;
    view->setObjectName(QLatin1String(name));
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setModel(model);
    int column = 0;
    for (int width : widths)
        view->header()->resizeSection(column++, width);
    return view;
}

} // namespace

CExportProgress::CExportProgress(const dbexport::ExportRequest& request, QWidget* parent)
    : QDialog(parent)
    , m_session(request)
{
    setObjectName(QStringLiteral("exportProgress"));
    setWindowTitle(QStringLiteral("Export"));
    auto* layout = new QVBoxLayout(this);
    m_header = new QLabel(QStringLiteral("Please wait...\nExporting the following tables.."));
    m_header->setObjectName(QStringLiteral("headerLine"));
    layout->addWidget(m_header);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Database:")), 0, 0);
    auto* database = new QLabel(request.databasePath);
    database->setObjectName(QStringLiteral("databaseLine"));
    form->addWidget(database, 0, 1);
    form->addWidget(
        new QLabel(request.toAccess ? QStringLiteral("Filename:") : QStringLiteral("ODBC Data Source:")), 1,
        0);
    auto* target = new QLabel(request.toAccess ? request.accessFile : request.dataSource);
    target->setObjectName(QStringLiteral("targetLine"));
    target->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addWidget(target, 1, 1);
    form->setColumnStretch(1, 1);
    layout->addLayout(form);
    layout->addWidget(RowsView(m_session.tables(), "tableList", { 200, 190 }), 1);
    auto* timeLeft = new QLabel;
    timeLeft->setObjectName(QStringLiteral("timeLeftLine"));
    layout->addWidget(timeLeft);
    connect(&m_session, &dbexport::ExportSession::timeLeftChanged, timeLeft, &QLabel::setText);
    layout->addWidget(new QLabel(QStringLiteral("Status:")));
    QTreeView* log = RowsView(m_session.log(), "logList", { 60, 450 });
    layout->addWidget(log, 1);
    connect(m_session.log(), &QAbstractItemModel::rowsInserted, log, [log] { log->scrollToBottom(); });

    auto* buttons = new QHBoxLayout;
    m_open = ui::NamedButton(QStringLiteral("&Open this file..."), "openFileButton");
    m_open->setVisible(request.toAccess);
    m_open->setEnabled(false);
    buttons->addWidget(m_open);
    buttons->addStretch(1);
    m_ok = ui::NamedButton(QStringLiteral("OK"), "okButton");
    m_ok->setEnabled(false);
    m_cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CExportProgress::OnCancel);
    connect(m_open, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_session.request().accessFile));
        // One click opens one window; the button rests a moment.
        m_open->setEnabled(false);
        QTimer::singleShot(3000, m_open, [this] { m_open->setEnabled(true); });
    });
    connect(&m_session, &dbexport::ExportSession::errorAsked, this, &CExportProgress::OnErrorAsked);
    connect(&m_session, &dbexport::ExportSession::finished, this, &CExportProgress::OnFinished);
    resize(620, 560);
}

void CExportProgress::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    QTimer::singleShot(100, this, [this] { m_session.Start(); });
}

void CExportProgress::OnErrorAsked(const dbexport::ExportErrorQuestion& question)
{
    auto* dialog = new CExportErrorDialog(question, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    m_errorDialog = dialog;
    connect(dialog, &QDialog::finished, this, [this, dialog] { m_session.AnswerError(dialog->answer()); });
    dialog->open();
}

void CExportProgress::OnCancel()
{
    m_cancel->setEnabled(false);
    m_session.Cancel();
}

void CExportProgress::OnFinished()
{
    if (m_errorDialog)
        m_errorDialog->close();
    m_header->setText(QStringLiteral("Finished exporting tables."));
    m_ok->setEnabled(true);
    m_ok->setDefault(true);
    m_cancel->setEnabled(false);
    const dbexport::ExportSummary& summary = m_session.summary();
    m_open->setEnabled(m_session.request().toAccess && !summary.cancelled && !summary.stopped);
}

void CExportProgress::closeEvent(QCloseEvent* event)
{
    // The window stays until the worker has stopped; closing it cancels.
    if (m_session.running()) {
        OnCancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CExportProgress::reject()
{
    if (m_session.running()) {
        OnCancel();
        return;
    }
    QDialog::reject();
}

} // namespace database
