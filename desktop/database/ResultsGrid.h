// The results grid of a table-mode database window as a Qt table model: the
// rows of the last answer in a compact store (RowStore.h), shown with the
// grid's text and colour rules, sorted by a column's type and filtered by
// the row filter without copying a row. Rows are appended in batches while
// an answer loads, so the first screen shows before the rest has arrived.
//
// A view row is a position in the shown order; a store row (physical row)
// never changes while the answer is shown, so an edit that is still running
// on the device keeps its row whatever the user sorts meanwhile.
//
// Threads: window thread only (it is a QObject of the window).
#pragma once

#include "desktop/database/GridSql.h"
#include "desktop/database/RowStore.h"

#include <QAbstractTableModel>
#include <QColor>

#include <optional>
#include <vector>

namespace database {

class ResultsGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsGrid(QObject* parent = nullptr);

    // The colours of the grid.
    static QColor EvenRowColour() { return QColor(235, 235, 250); }
    static QColor DisabledColour() { return QColor(200, 200, 200); }
    static QColor GreyTextColour() { return QColor(140, 140, 140); }

    // ---- Loading ----
    // A new answer's columns, with no rows; the sort order and an unsaved
    // new row are forgotten, the filter stays.
    void StartAnswer(const devlink::QueryResult& header);
    // Appends a batch of rows of the answer (those the filter keeps show).
    void AppendBatch(const devlink::QueryResult& part);
    // No columns and no rows.
    void Clear();

    const QVector<devlink::ColumnSchema>& columns() const { return m_columns; }
    QVector<int> keyColumns() const { return m_keyColumns; }
    bool hasPrimaryKey() const { return !m_keyColumns.isEmpty(); }
    // Rows of the answer that the grid holds (shown or filtered out).
    int storedRowCount() const { return int(m_all.size()); }

    // ---- Cells (view rows) ----
    QString CellText(int row, int column) const; // as stored, "(null)" for a null
    QString DisplayText(int row, int column) const;
    devlink::CellKind CellKindAt(int row, int column) const;
    QStringList RowTexts(int row) const;
    QVector<bool> BinaryCells(int row) const;
    int StoreRow(int row) const { return m_view[size_t(row)]; }
    // The view row of a store row, -1 when it is not shown.
    int ViewRow(int storeRow) const;

    // ---- Changes ----
    void SetCellText(int storeRow, int column, const QString& text);
    // Every stored row whose cell in `column` is `oldText` gets `newText`.
    void ReplaceColumnTexts(int column, const QString& oldText, const QString& newText);
    // Appends a row (shown last); returns its store row.
    int AppendRow(const QStringList& texts);
    void RemoveStoreRow(int storeRow);
    // Removes every stored row whose texts all equal `texts`.
    void RemoveRowsEqualTo(const QStringList& texts);

    // Whether cells may be edited (a single-table query), and the table.
    void SetEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void SetTableName(const QString& name) { m_tableName = name; }
    QString tableName() const { return m_tableName; }
    // While an edit runs on the device no other edit may start.
    void SetBusy(bool busy);
    // The grey look of a window whose device went away.
    void SetDisabledLook(bool disabled);
    // The row added by "Add a new row" or "Clone this row" and not saved
    // yet (store row), -1 when none.
    int newStoreRow() const { return m_newRow; }
    void SetNewStoreRow(int storeRow) { m_newRow = storeRow; }

    // ---- Checks ----
    // The duplicate-key message for the first two rows that share their
    // primary-key values; none when all differ or there is no key.
    std::optional<QString> DuplicateKeyMessage() const;
    // The largest whole number in `column` plus one, when the grid holds at
    // least three rows; none otherwise.
    std::optional<qint64> ProposedKey(int column) const;

    // ---- Order and filter ----
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void SetFilter(const RowFilter& filter);
    const RowFilter& filter() const { return m_filter; }
    // Each distinct value of `column` among the shown rows, trimmed of
    // spaces, in order of first appearance.
    QStringList DistinctValues(int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString StoredText(int storeRow, int column) const;
    bool IsCell(const QModelIndex& index) const;
    bool Keeps(int storeRow) const;
    void SortView();
    void RebuildView();

    QVector<devlink::ColumnSchema> m_columns;
    QVector<int> m_keyColumns;
    RowStore m_store;
    std::vector<int> m_all; // store rows of the answer, in load order
    std::vector<int> m_view; // the shown rows, in shown order
    QString m_tableName;
    bool m_editable = false;
    bool m_busy = false;
    bool m_disabledLook = false;
    int m_newRow = -1;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    RowFilter m_filter;
};

} // namespace database
