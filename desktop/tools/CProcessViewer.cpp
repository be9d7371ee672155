#include "desktop/tools/CProcessViewer.h"

#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/WindowPlacement.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeView>
#include <QVBoxLayout>

namespace tools {

CProcessViewer::CProcessViewer(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("processViewer"));
    setWindowTitle(QStringLiteral("Process Viewer"));
    setWindowIcon(ui::ProgramIcon());
    setModal(false);

    m_list = new QTreeView;
    m_list->setObjectName(QStringLiteral("processList"));
    m_list->setModel(m_model.list());
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setColumnWidth(0, 200);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { ShowRowMenu(position); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &CProcessViewer::OnSelectionChanged);

    m_status = new QLabel(m_model.statusText());
    m_status->setObjectName(QStringLiteral("statusText"));
    m_killButton = new QPushButton(QStringLiteral("&Kill Process"));
    m_killButton->setObjectName(QStringLiteral("killButton"));
    m_cancelButton = new QPushButton(QStringLiteral("&Cancel"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_refreshButton = new QPushButton(QStringLiteral("&Refresh"));
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    for (QPushButton* button : { m_killButton, m_cancelButton, m_refreshButton })
        button->setAutoDefault(false);
    connect(m_killButton, &QPushButton::clicked, &m_model, &ProcessViewerModel::Kill);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProcessViewer::reject);
    connect(m_refreshButton, &QPushButton::clicked, &m_model, &ProcessViewerModel::Refresh);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_killButton);
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_refreshButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(&m_model, &ProcessViewerModel::statusTextChanged, m_status, &QLabel::setText);
    connect(&m_model, &ProcessViewerModel::buttonsChanged, this, &CProcessViewer::UpdateButtons);
    UpdateButtons();

    resize(320, 356);
    (new ui::WindowPlacement(this, QStringLiteral("ProcessViewerRect")))->Restore();
}

void CProcessViewer::Open()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    show();
}

void CProcessViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from its icon goes on where it was.
    if (!event->spontaneous())
        m_model.Show();
}

void CProcessViewer::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        m_model.Close();
    QDialog::hideEvent(event);
}

void CProcessViewer::reject()
{
    // Hidden, not destroyed: the next open shows this window again.
    hide();
}

void CProcessViewer::UpdateButtons()
{
    const ProcessViewerButtons& state = m_model.buttons();
    m_cancelButton->setVisible(state.cancelShown);
    m_killButton->setVisible(state.killShown);
    m_killButton->setEnabled(state.killEnabled);
    m_refreshButton->setVisible(state.refreshShown);
    m_refreshButton->setEnabled(state.refreshEnabled);
}

void CProcessViewer::OnSelectionChanged()
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    m_model.SelectRow(rows.isEmpty() ? -1 : rows.first().row());
}

QMenu* CProcessViewer::ShowRowMenu(const QPoint& position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return nullptr;
    m_list->setCurrentIndex(index);
    const QString rowText = index.data().toString();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("processMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* stop = menu->addAction(ProcessViewerModel::StopItemText(rowText));
    stop->setObjectName(QStringLiteral("stopProcessAction"));
    stop->setEnabled(ProcessViewerModel::CanStop(rowText) && !m_model.isBusy());
    connect(stop, &QAction::triggered, &m_model, &ProcessViewerModel::Kill);
    menu->popup(m_list->viewport()->mapToGlobal(position));
    return menu;
}

} // namespace tools
