// The rows of a results grid, kept compactly: every cell's UTF-16 text in one
// growing character buffer, with one offset per cell boundary and one kind
// byte per cell. A cell becomes a QString only when it is shown or edited,
// so a 100,000-row answer costs about what its results file costs, not a
// QString (and its heap block) per cell.
//
// Rows are addressed by their physical number, which never changes: a
// changed cell re-appends its row's texts at the end of the buffer (the old
// characters stay unused), a removed row is only forgotten by the grid.
//
// Plain values; use from one thread.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace database {

class RowStore {
public:
    // Empties the store for rows of `columnCount` cells.
    void Reset(int columnCount);
    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.kinds.size() / size_t(m_columns ? m_columns : 1)); }

    // Appends a row; missing cells are empty values, extra ones are dropped.
    // `kinds` may be shorter than `texts` (missing kinds are taken from the
    // texts). Returns the physical row number.
    int Append(const QStringList& texts, const QByteArray& kinds = QByteArray());
    // Appends every row of a batch of the link's answer, packed ones first.
    void AppendBatch(const devlink::QueryResult& part);
    // Appends rows packed for `columnCount()` cells per row.
    void AppendPacked(const devlink::PackedRows& packed);

    // The cell as stored (transport codes undone), without a copy: valid
    // until the next change of the store.
    QStringView Cell(int row, int column) const;
    devlink::CellKind Kind(int row, int column) const;
    QStringList Row(int row) const;
    // Replaces one cell's text (and kind, taken from the text).
    void SetCell(int row, int column, const QString& text);

    // Characters held, for memory accounting.
    size_t bufferCharacters() const { return m_rows.text.size(); }

private:
    size_t Slot(int row, int column) const { return size_t(row) * size_t(m_columns + 1) + size_t(column); }

    int m_columns = 0;
    // Per row, m_columns + 1 offsets into the text (cell c runs from offset
    // c to offset c + 1) and a CellKind per cell.
    devlink::PackedRows m_rows;
};

} // namespace database
