#include "desktop/explorer/CDatabaseSearchDialog.h"

#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/WindowPlacement.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace explorer {

CDatabaseSearchDialog::CDatabaseSearchDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("databaseSearchDialog"));
    setWindowTitle(QStringLiteral("SQLCE database list"));
    setWindowIcon(ui::ProgramIcon());

    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("pathEdit"));
    m_search = ui::NamedButton(QStringLiteral("&Search"), "searchButton");
    m_cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    m_skipWindows = new QCheckBox(
        QStringLiteral("Don't search the \\Windows directory   (this will speed up your search)"));
    m_skipWindows->setObjectName(QStringLiteral("skipWindowsBox"));
    m_list = new QTreeView;
    m_list->setObjectName(QStringLiteral("databaseList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(true);
    m_list->setModel(m_controller.model());
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->setColumnWidth(DatabaseSearchModel::kFilename, 150);
    m_list->setColumnWidth(DatabaseSearchModel::kDirectory, 250);
    m_list->setColumnWidth(DatabaseSearchModel::kSize, 75);
    m_list->setColumnWidth(DatabaseSearchModel::kDate, 100);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLine"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CDatabaseSearchDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_path, &QLineEdit::textEdited, &m_controller, &DatabaseSearchController::SetPath);
    connect(m_skipWindows, &QCheckBox::clicked, &m_controller, &DatabaseSearchController::SetSkipWindows);
    connect(m_search, &QPushButton::clicked, &m_controller, &DatabaseSearchController::Search);
    connect(m_cancel, &QPushButton::clicked, &m_controller, &DatabaseSearchController::Cancel);
    connect(m_list, &QTreeView::doubleClicked, this, [this] { accept(); });
    connect(&m_controller, &DatabaseSearchController::stateChanged, this, &CDatabaseSearchDialog::ShowState);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Search in:")));
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_search);
    pathRow->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addWidget(m_skipWindows);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(620, 400);
    m_placement = new ui::WindowPlacement(this, QStringLiteral("SearchSDFdlg"));
    ShowState();
}

void CDatabaseSearchDialog::ShowDatabaseSearch(const QString& startPath)
{
    m_placement->Restore();
    m_path->setText(startPath);
    m_controller.Begin(startPath);
    show();
    raise();
    activateWindow();
}

void CDatabaseSearchDialog::SetConnected(bool connected)
{
    m_controller.SetConnected(connected);
}

void CDatabaseSearchDialog::accept()
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid())
        return;
    emit openDatabaseRequested(m_controller.FullPathOf(current.row()));
}

void CDatabaseSearchDialog::hideEvent(QHideEvent* event)
{
    m_controller.End();
    QDialog::hideEvent(event);
}

void CDatabaseSearchDialog::ShowState()
{
    const bool connected = m_controller.connected();
    const bool searching = m_controller.searching();
    m_path->setEnabled(connected);
    m_list->setEnabled(connected);
    m_search->setEnabled(connected && !searching && m_controller.pathSearchable());
    m_cancel->setEnabled(searching);
    m_skipWindows->setChecked(m_controller.skipWindows());
    m_skipWindows->setEnabled(m_controller.skipWindowsEnabled());
    m_status->setText(m_controller.status());
}

} // namespace explorer
