// The results grid on screen: a table view of a ResultsGrid with full-row
// selection, one-line cells, an in-place edit box whose value the GridEditor
// checks and saves (an invalid value keeps the box open), the row menu of an
// editable grid, the column header's sort and filter menu, and F5.
//
// Menus are shown without a local event loop (popup), so a test finds them
// by their object names ("gridRowMenu", "gridHeaderMenu").
//
// Threads: window thread only.
#pragma once

#include "desktop/database/GridEditor.h"
#include "desktop/database/ResultsGrid.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

class QMenu;

namespace database {

class CResultsGridView : public QTableView {
    Q_OBJECT
public:
    CResultsGridView(ResultsGrid* grid, GridEditor* editor, QWidget* parent = nullptr);

    // Ends an open edit and saves it. False when the value was refused (the
    // box stays open).
    bool CommitEdit();
    // The row under the last right click (view row), -1 when none.
    int contextRow() const { return m_contextRow; }

signals:
    // F5: run the table's SELECT again.
    void reloadRequested();
    // The filter was changed from the header menu; the rows are filtered.
    void filterChanged();
    // Ctrl+R: show or hide the registry editor.
    void registryEditorRequested();

protected:
    using QTableView::edit;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnHeaderClicked(int column);
    void ShowHeaderMenu(const QPoint& position);
    void OpenFilterDialog(int column);

    ResultsGrid* m_grid;
    GridEditor* m_editor;
    QPersistentModelIndex m_editing;
    bool m_refused = false; // the last commit was refused: the box stays open
    int m_contextRow = -1;
    QPointer<QMenu> m_menu;
};

} // namespace database
