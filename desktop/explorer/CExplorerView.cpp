#include "desktop/explorer/CExplorerView.h"

#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/FileTransfers.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

namespace explorer {

CExplorerView::CExplorerView(ExplorerController* controller, QWidget* parent)
    : QTreeView(parent)
    , m_controller(controller)
{
    // Renames start from F2 or the menu, never from a click.
    setEditTriggers(NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    controller->transfers()->SetDialogParent(this);
}

namespace {

// Takes PC files offered by another program as a copy; the list's own drags
// and anything without local files are refused.
QStringList AcceptedFiles(QDropEvent* event)
{
    const QStringList paths = LocalPathsOf(event->mimeData());
    if (paths.isEmpty() || event->source()) {
        event->ignore();
        return {};
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return paths;
}

} // namespace

void CExplorerView::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptedFiles(event);
}

void CExplorerView::dragMoveEvent(QDragMoveEvent* event)
{
    AcceptedFiles(event);
}

void CExplorerView::dropEvent(QDropEvent* event)
{
    const QStringList paths = AcceptedFiles(event);
    if (!paths.isEmpty())
        m_controller->transfers()->OnDropFiles(paths);
}

bool CExplorerView::ClipboardHasFiles()
{
    return !LocalPathsOf(QGuiApplication::clipboard()->mimeData()).isEmpty();
}

bool CExplorerView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool editing = QTreeView::edit(index, trigger, event);
    if (state() == EditingState && !m_editing) {
        m_editing = true;
        m_controller->BeginEdit();
    }
    return editing;
}

void CExplorerView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeView::closeEditor(editor, hint);
    if (m_editing) {
        m_editing = false;
        m_controller->EndEdit();
    }
}

QMenu* CExplorerView::NewMenu(const QString& objectName)
{
    delete m_menu;
    m_menu = new QMenu(this);
    m_menu->setObjectName(objectName);
    return m_menu;
}

QAction* CExplorerView::AddMenuItem(
    const QString& text, const char* objectName, bool enabled, std::function<void()> run, QMenu* into)
{
    QAction* action = (into ? into : m_menu)->addAction(text, this, std::move(run));
    action->setObjectName(QString::fromLatin1(objectName));
    action->setEnabled(enabled);
    return action;
}

} // namespace explorer
