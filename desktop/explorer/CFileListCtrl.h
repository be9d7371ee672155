// The explorer's file list (control 1002): a view of the controller's list
// model with its columns ("Filesize" hidden), header clicks that sort and
// reverse, and the keys Delete, Ctrl+A, F2, F5 and Enter (opens the one
// selected item; Enter elsewhere and Escape are swallowed so that the main
// window stays open). The right-click menu: the entries of the selected
// file (by its extension: run a program, with new parameters when some are
// kept; install a CAB; open, open in a separate copy of the program or
// compact a database, all disabled when the device cannot run the engine;
// open any other file, or open it by a chosen method through "Open by..",
// whose remembered method is checked), "Copy" (the selection to the clipboard),
// "Paste" (the clipboard's PC files into the current directory), "Rename",
// "Delete ", "Properties", "Refresh", "New folder". Files dropped from
// other programs are selected once they arrived; selected rows dragged out
// reach the drop target as PC files, fetched when the drop happens.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/CExplorerView.h"

namespace explorer {

class ExplorerController;

class CFileListCtrl : public CExplorerView {
    Q_OBJECT
public:
    CFileListCtrl(ExplorerController* controller, QWidget* parent = nullptr);

    // The selected rows, in list order.
    QList<int> SelectedRows() const;
    // The right-click menu for the current selection (owned by the view,
    // replaced by the next one).
    QMenu* BuildContextMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    // The entries of the one selected file, by its extension.
    void AddFileEntries(int row);
    void SelectNames(const QStringList& names);
    void RememberView();
    void RestoreView();

    // What a changed listing keeps: the selected names, the current one and
    // the scroll position.
    QStringList m_keptSelection;
    QString m_keptCurrent;
    int m_keptScroll = 0;
};

} // namespace explorer
