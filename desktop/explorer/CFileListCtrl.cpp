#include "desktop/explorer/CFileListCtrl.h"

#include "desktop/explorer/CCabInstallerDialog.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/FileOpenRules.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/settings/ProgramParameters.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>

namespace explorer {
namespace {

// "Type" and "Date" are wider than the classic 120 and 110 pixels: the
// desktop's type descriptions are longer, and its fonts wider.
constexpr int kColumnWidths[kColumnCount] = { 150, 75, 150, 130, 0 };

QString Quoted(const char* opening, const QString& name, const char* closing)
{
    return QString::fromLatin1(opening) + name + QString::fromLatin1(closing);
}

} // namespace

CFileListCtrl::CFileListCtrl(ExplorerController* controller, QWidget* parent)
    : CExplorerView(controller, parent)
{
    setObjectName(QStringLiteral("fileList"));
    setModel(controller->listModel());
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(ExtendedSelection);
    setSortingEnabled(true);
    setDragEnabled(true);
    setDragDropMode(DragDrop);
    header()->setStretchLastSection(false);
    header()->setSortIndicator(kColumnName, Qt::AscendingOrder);
    for (int column = 0; column < kColumnCount; ++column)
        setColumnWidth(column, kColumnWidths[column]);
    setColumnHidden(kColumnFilesize, true);
    connect(this, &QAbstractItemView::doubleClicked, this,
        [this](const QModelIndex& index) { m_controller->OpenRow(index.row()); });
    connect(controller, &ExplorerController::editListRowRequested, this, [this](int row) {
        const QModelIndex index = model()->index(row, kColumnName);
        setCurrentIndex(index);
        scrollTo(index);
        edit(index);
    });
    connect(controller->transfers(), &FileTransfers::filesSelected, this, &CFileListCtrl::SelectNames);
    const auto install = [this](const QString& path) { ShowCabInstaller(path, window()); };
    connect(controller, &ExplorerController::cabInstallRequested, this, install);
    connect(controller->transfers(), &FileTransfers::cabInstallRequested, this, install);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, &CFileListCtrl::RememberView);
    connect(model(), &QAbstractItemModel::modelReset, this, &CFileListCtrl::RestoreView);
}

void CFileListCtrl::RememberView()
{
    m_keptSelection.clear();
    for (int row : SelectedRows())
        m_keptSelection.append(m_controller->listModel()->rowAt(row).name);
    const QModelIndex current = currentIndex();
    m_keptCurrent = current.isValid() ? m_controller->listModel()->rowAt(current.row()).name : QString();
    m_keptScroll = verticalScrollBar()->value();
}

void CFileListCtrl::RestoreView()
{
    // A listing that changed keeps what the user had selected and where the
    // list stood, as far as those rows are still there.
    FileListModel* list = m_controller->listModel();
    for (const QString& name : std::as_const(m_keptSelection)) {
        const int row = list->RowOf(name);
        if (row >= 0)
            selectionModel()->select(
                list->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    const int current = list->RowOf(m_keptCurrent);
    if (current >= 0)
        selectionModel()->setCurrentIndex(list->index(current, 0), QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(m_keptScroll);
}

void CFileListCtrl::SelectNames(const QStringList& names)
{
    FileListModel* list = m_controller->listModel();
    clearSelection();
    int first = -1;
    for (const QString& name : names) {
        const int row = list->RowOf(name);
        if (row < 0)
            continue;
        selectionModel()->select(
            list->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (first < 0)
            first = row;
    }
    if (first >= 0) {
        selectionModel()->setCurrentIndex(list->index(first, 0), QItemSelectionModel::NoUpdate);
        scrollTo(list->index(first, 0));
    }
    setFocus();
}

QList<int> CFileListCtrl::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CFileListCtrl::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const int key = event->key();
    if (plain && key == Qt::Key_Delete) {
        m_controller->DeleteListSelection(SelectedRows());
        return;
    }
    if (modifiers == Qt::ControlModifier && key == Qt::Key_A) {
        selectAll();
        return;
    }
    if (plain && key == Qt::Key_F2) {
        const QModelIndex index = model()->index(currentIndex().row(), kColumnName);
        scrollTo(index);
        edit(index);
        return;
    }
    if (plain && key == Qt::Key_F5) {
        m_controller->Refresh(true);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const QList<int> rows = SelectedRows();
        if (rows.size() == 1) {
            devlink::TraceLine(
                QStringLiteral("PreTranslateMessage():  Passing ENTER character to Files Control.\r\n"));
            m_controller->OpenRow(rows.first());
        } else {
            devlink::TraceLine(QStringLiteral("PreTranslateMessage():  Ignoring ENTER character.\r\n"));
        }
        return;
    }
    if (key == Qt::Key_Escape) {
        devlink::TraceLine(QStringLiteral("PreTranslateMessage():  Ignoring ESCAPE character.\r\n"));
        return;
    }
    devlink::TraceLine(QStringLiteral("User hit virtual-key number %1.\r\n").arg(key));
    QTreeView::keyPressEvent(event);
}

QMenu* CFileListCtrl::BuildContextMenu()
{
    NewMenu(QStringLiteral("listMenu"));
    auto add = [this](const QString& text, const char* name, bool enabled, std::function<void()> run) {
        return AddMenuItem(text, name, enabled, std::move(run));
    };
    const QList<int> rows = SelectedRows();
    FileListModel* list = m_controller->listModel();
    if (rows.size() == 1 && !list->rowAt(rows.first()).isDir) {
        AddFileEntries(rows.first());
        if (!m_menu->isEmpty())
            m_menu->addSeparator();
    }
    FileTransfers* transfers = m_controller->transfers();
    if (!rows.isEmpty())
        add(QStringLiteral("Copy"), "copyAction", true,
            [transfers, rows] { transfers->CopySelectionToClipboard(rows); });
    add(QStringLiteral("Paste"), "pasteAction", ClipboardHasFiles(),
        [transfers] { transfers->PasteFromClipboard(); });
    m_menu->addSeparator();
    if (rows.size() == 1) {
        add(QStringLiteral("Rename"), "renameAction", true, [this, row = rows.first()] {
            const QModelIndex index = model()->index(row, kColumnName);
            scrollTo(index);
            edit(index);
        });
    }
    if (!rows.isEmpty()) {
        add(QStringLiteral("Delete "), "deleteAction", true,
            [this, rows] { m_controller->DeleteListSelection(rows); });
        m_menu->addSeparator();
    }
    add(QStringLiteral("Properties"), "propertiesAction", rows.size() == 1,
        [this, rows] { m_controller->ShowProperties(rows.value(0, -1)); });
    m_menu->addSeparator();
    add(QStringLiteral("Refresh"), "refreshAction", true, [this] { m_controller->Refresh(true); });
    m_menu->addSeparator();
    add(QStringLiteral("New folder"), "newFolderAction", true, [this] { m_controller->CreateListFolder(); });
    add(QStringLiteral("Create a new database file..."), "newDatabaseAction", true,
        [this] { emit m_controller->newDatabaseRequested(m_controller->dirName()); });
    return m_menu;
}

void CFileListCtrl::AddFileEntries(int row)
{
    const QString name = m_controller->listModel()->rowAt(row).name;
    const QString path = m_controller->PathOfRow(row);
    const QString extension = FileExtension(name);
    if (extension == QLatin1String("exe")) {
        AddMenuItem(
            Quoted("Run \"", name, "\""), "runAction", true, [this, row] { m_controller->OpenRow(row); });
        QString parameters;
        if (settings::RememberedParameters(path, &parameters))
            AddMenuItem(Quoted("Run \"", name, "\" with new command-line parameters"),
                "runWithParametersAction", true, [this, row] { m_controller->OpenRow(row, true); });
    } else if (extension == QLatin1String("cab")) {
        AddMenuItem(Quoted("Install \"", name, "\""), "installAction", true,
            [this, path] { ShowCabInstaller(path, window()); });
    } else if (extension == QLatin1String("sdf")) {
        // The agent is what opens a database: without it none of these works.
        const bool usable = m_controller->isEngineUsable();
        AddMenuItem(
            Quoted("Open \"", name, "\""), "openAction", usable, [this, row] { m_controller->OpenRow(row); });
        AddMenuItem(Quoted("Open \"", name, "\" in a separate thread"), "openThreadAction", usable,
            [this, path] { emit m_controller->openDatabaseSeparatelyRequested(path); });
        m_menu->addSeparator();
        AddMenuItem(Quoted("Compact \"", name, "\"..."), "compactAction", usable,
            [this, path] { emit m_controller->compactDatabaseRequested(path); });
    } else if (!extension.isEmpty()) {
        AddMenuItem(
            Quoted("Open \"", name, "\""), "openAction", true, [this, row] { m_controller->OpenRow(row); });
        QMenu* openBy = m_menu->addMenu(QStringLiteral("Open by.."));
        openBy->setObjectName(QStringLiteral("openByMenu"));
        const std::optional<OpenMethod> remembered = StoredOpenMethod(extension);
        const auto addMethod = [&](const QString& text, const char* objectName, OpenMethod method,
                                   bool enabled) {
            QAction* action = AddMenuItem(
                text, objectName, enabled,
                [this, path, method] { emit m_controller->openFileWithRequested(path, method); }, openBy);
            action->setCheckable(true);
            action->setChecked(remembered == method);
        };
        addMethod(QStringLiteral("Copy to PC and open there"), "copyToPcAction", OpenMethod::CopyToPc, true);
        addMethod(QStringLiteral("Open on the device"), "openOnDeviceAction", OpenMethod::OnDevice,
            StoredApplication(extension).has_value());
        addMethod(QStringLiteral("Open using built-in text editor"), "openInEditorAction", OpenMethod::Editor,
            true);
        openBy->addSeparator();
        AddMenuItem(
            QStringLiteral("Choose default Open method for *.") + extension + QStringLiteral(" files.."),
            "chooseOpenMethodAction", true,
            [this, path] { emit m_controller->chooseOpenMethodRequested(path); }, openBy);
    }
}

void CFileListCtrl::startDrag(Qt::DropActions)
{
    devlink::TraceLine(QStringLiteral("Begin drag'n'drop..\r\n"));
    QMimeData* data = m_controller->transfers()->PrepareDrag(SelectedRows());
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    // A move deletes nothing on the device.
    devlink::TraceLine(action == Qt::CopyAction ? QStringLiteral("COPY selected files..\r\n")
                                                : QStringLiteral("MOVE selected files..\r\n"));
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    // A click on empty space counts as no selection.
    if (!indexAt(viewport()->mapFrom(this, event->pos())).isValid())
        clearSelection();
    BuildContextMenu()->popup(event->globalPos());
}

} // namespace explorer
