// The explorer's folder tree (control 1000): a view of the controller's
// tree model. A selection made by the user lists the folder; keys Delete
// (delete the folder), F2 (rename it), F5 (refresh); other keys are traced
// and do what a tree does. The right-click menu: "Create new folder..",
// "Search for SQLCE databases..", "Copy", "Paste", "Rename", "Delete",
// "Refresh" (the search is not part of this version and stays disabled).
// "Copy" puts the current folder on the clipboard; "Paste" and drops copy
// PC files into it.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/CExplorerView.h"

namespace explorer {

class ExplorerController;

class CFileDropTreeCtrl : public CExplorerView {
    Q_OBJECT
public:
    CFileDropTreeCtrl(ExplorerController* controller, QWidget* parent = nullptr);

    // The right-click menu as it would show for the current folder (owned
    // by the view, replaced by the next one).
    QMenu* BuildContextMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void ShowCurrent(const QModelIndex& index);

    bool m_byMouse = false;
    bool m_settingCurrent = false;
};

} // namespace explorer
