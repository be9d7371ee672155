// What the explorer's two panes share: their controller, the pause of the
// poll while an in-place editor is open, the making of their right-click
// menus (one at a time, owned by the view), and drops of PC files from
// other programs, which are copied into the current directory whichever
// item is under the pointer.
//
// Threads: window thread only.
#pragma once

#include <QTreeView>

#include <functional>

class QMenu;

namespace explorer {

class ExplorerController;

class CExplorerView : public QTreeView {
    Q_OBJECT
public:
    using QTreeView::edit;

protected:
    CExplorerView(ExplorerController* controller, QWidget* parent);

    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Whether the clipboard offers PC files to paste.
    static bool ClipboardHasFiles();

    // A new, empty right-click menu named `objectName`, replacing the last.
    QMenu* NewMenu(const QString& objectName);
    // An item of the menu being made (or of its submenu `into`).
    QAction* AddMenuItem(const QString& text, const char* objectName, bool enabled, std::function<void()> run,
        QMenu* into = nullptr);

    ExplorerController* m_controller;
    QMenu* m_menu = nullptr;

private:
    bool m_editing = false; // an in-place editor is open
};

} // namespace explorer
