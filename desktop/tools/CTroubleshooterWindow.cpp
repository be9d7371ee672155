#include "desktop/tools/CTroubleshooterWindow.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WindowPlacement.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tools {

CTroubleshooterWindow::CTroubleshooterWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("troubleshooterWindow"));
    setWindowTitle(QStringLiteral("Troubleshooting log"));
    setWindowIcon(ui::ProgramIcon());

    m_list = new QTreeView;
    m_list->setObjectName(QStringLiteral("logList"));
    m_list->setModel(&m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->header()->setStretchLastSection(true);
    for (int column = 0; column < 3; ++column)
        m_list->setColumnWidth(column, TroubleshooterModel::ColumnWidth(column));
    m_list->installEventFilter(this);

    m_exportButton = new QPushButton(QStringLiteral("&Export to file..."));
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    connect(m_exportButton, &QPushButton::clicked, this, &CTroubleshooterWindow::OnExport);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_exportButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(&m_model, &TroubleshooterModel::refreshStarted, this, [this] { setCursor(Qt::WaitCursor); });
    connect(&m_model, &TroubleshooterModel::refreshed, this, [this] { unsetCursor(); });

    resize(660, 320);
    m_placement = new ui::WindowPlacement(this, QStringLiteral("TroubleshooterWindow"));
    m_placement->Restore();
    RefreshDisplay();
}

void CTroubleshooterWindow::RefreshDisplay()
{
    m_model.Refresh();
}

void CTroubleshooterWindow::Toggle()
{
    if (isVisible()) {
        hide();
        return;
    }
    show();
    raise();
    RefreshDisplay();
}

bool CTroubleshooterWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        devlink::TraceLine(QStringLiteral("OnKeydownTroubles()\r\n"));
        RefreshDisplay();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CTroubleshooterWindow::OnExport()
{
    devlink::TraceLine(QStringLiteral("OnExport()\r\n"));
    auto* dialog = new QFileDialog(this, QString(), QDir::homePath());
    dialog->setObjectName(QStringLiteral("exportFileDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setNameFilters({ QStringLiteral("Text files (*.txt)"), QStringLiteral("All Files (*)") });
    dialog->selectFile(QStringLiteral("Quorvane - logging.txt"));
    connect(dialog, &QFileDialog::fileSelected, this, &CTroubleshooterWindow::SaveTo);
    dialog->open();
}

void CTroubleshooterWindow::SaveTo(const QString& filePath)
{
    if (!m_model.Export(filePath))
        ui::TellFromWindow(this, QStringLiteral("Error"),
            QStringLiteral("Could not open this file for writing."), devlink::PromptIcon::Warning);
}

} // namespace tools
