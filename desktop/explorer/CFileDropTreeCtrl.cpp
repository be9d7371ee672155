#include "desktop/explorer/CFileDropTreeCtrl.h"

#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/link/DeviceLink.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace explorer {

CFileDropTreeCtrl::CFileDropTreeCtrl(ExplorerController* controller, QWidget* parent)
    : CExplorerView(controller, parent)
{
    setObjectName(QStringLiteral("directoryTree"));
    setModel(controller->treeModel());
    setHeaderHidden(true);
    connect(controller, &ExplorerController::currentTreeItemChanged, this, &CFileDropTreeCtrl::ShowCurrent);
    connect(controller, &ExplorerController::editTreeItemRequested, this, [this](const QModelIndex& index) {
        ShowCurrent(index.parent());
        scrollTo(index);
        edit(index);
    });
    connect(this, &QTreeView::expanded, controller, &ExplorerController::ExpandBranch);
}

void CFileDropTreeCtrl::ShowCurrent(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    m_settingCurrent = true;
    for (QModelIndex up = index; up.isValid(); up = up.parent())
        expand(up);
    setCurrentIndex(index);
    scrollTo(index);
    m_settingCurrent = false;
}

void CFileDropTreeCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_settingCurrent || !current.isValid())
        return;
    devlink::TraceLine(QStringLiteral("SelectedIndexChanged.\r\n"));
    const QString path = DirectoryTreeModel::PathOf(m_controller->treeModel()->itemFromIndex(current));
    m_controller->SelectDirectory(path, m_byMouse);
}

void CFileDropTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    m_byMouse = true;
    QTreeView::mousePressEvent(event);
    m_byMouse = false;
}

void CFileDropTreeCtrl::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Delete) {
        m_controller->DeleteTreeDirectory();
        return;
    }
    if (plain && event->key() == Qt::Key_F2) {
        edit(currentIndex());
        return;
    }
    if (plain && event->key() == Qt::Key_F5) {
        m_controller->Refresh(false);
        return;
    }
    devlink::TraceLine(QStringLiteral("User hit virtual-key number %1.\r\n").arg(event->key()));
    QTreeView::keyPressEvent(event);
}

QMenu* CFileDropTreeCtrl::BuildContextMenu()
{
    NewMenu(QStringLiteral("treeMenu"));
    auto add = [this](const QString& text, const char* name, bool enabled, std::function<void()> run) {
        return AddMenuItem(text, name, enabled, std::move(run));
    };
    const bool atRoot = m_controller->dirName() == QLatin1String("\\");
    add(QStringLiteral("Create new folder.."), "createFolderAction", true,
        [this] { m_controller->CreateTreeFolder(); });
    m_menu->addSeparator();
    add(QStringLiteral("Search for SQLCE databases.."), "searchAction", true,
        [this] { emit m_controller->databaseSearchRequested(m_controller->dirName()); });
    m_menu->addSeparator();
    FileTransfers* transfers = m_controller->transfers();
    add(QStringLiteral("Copy"), "copyAction", true,
        [transfers] { transfers->CopyTreeDirectoryToClipboard(); });
    add(QStringLiteral("Paste"), "pasteAction", ClipboardHasFiles(),
        [transfers] { transfers->PasteFromClipboard(); });
    m_menu->addSeparator();
    add(QStringLiteral("Rename"), "renameAction", !atRoot, [this] { edit(currentIndex()); });
    add(QStringLiteral("Delete"), "deleteAction", true, [this] { m_controller->DeleteTreeDirectory(); });
    m_menu->addSeparator();
    add(QStringLiteral("Refresh"), "refreshAction", true, [this] { m_controller->Refresh(false); });
    return m_menu;
}

void CFileDropTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) {
        // The branch under the pointer is opened as a click would.
        setFocus();
        m_byMouse = true;
        setCurrentIndex(index);
        m_byMouse = false;
    }
    BuildContextMenu()->popup(event->globalPos());
}

} // namespace explorer
