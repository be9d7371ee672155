// The rows of the database search as a list model: "Filename", "Directory",
// "Size" (right-aligned) and "Date", sortable by each (text columns by their
// lower-case text, the size by number, the date by time), rows added as
// the search finds them and removed when their file vanishes.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DatabaseSearch.h"

#include <QAbstractTableModel>

namespace explorer {

class DatabaseSearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFilename, kDirectory, kSize, kDate, kColumns };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void Clear();
    // Appends rows, keeping the chosen order when the list was sorted.
    void Append(const QVector<FoundDatabase>& rows);
    // Removes the rows whose full path is in `paths`.
    void RemovePaths(const QStringList& paths);

    const QVector<FoundDatabase>& rows() const { return m_rows; }

private:
    QVector<FoundDatabase> m_rows;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// Whether `a` sorts before `b` by `column`, ascending.
bool FoundDatabaseLess(const FoundDatabase& a, const FoundDatabase& b, int column);

} // namespace explorer
