#include "desktop/explorer/DatabaseSearchModel.h"

#include <algorithm>

namespace explorer {

bool FoundDatabaseLess(const FoundDatabase& a, const FoundDatabase& b, int column)
{
    switch (column) {
    case DatabaseSearchModel::kDirectory:
        return a.directory.toLower() < b.directory.toLower();
    case DatabaseSearchModel::kSize:
        return a.size < b.size;
    case DatabaseSearchModel::kDate:
        return a.writeTime < b.writeTime;
    default:
        return a.name.toLower() < b.name.toLower();
    }
}

int DatabaseSearchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DatabaseSearchModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant DatabaseSearchModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FoundDatabase& row = m_rows[index.row()];
    if (role == Qt::TextAlignmentRole && index.column() == kSize)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case kFilename:
        return row.name;
    case kDirectory:
        return row.directory;
    case kSize:
        return QString::number(row.size);
    case kDate:
        return row.dateText;
    }
    return {};
}

QVariant DatabaseSearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = { "Filename", "Directory", "Size", "Date" };
    return section >= 0 && section < kColumns ? QString::fromLatin1(names[section]) : QVariant();
}

void DatabaseSearchModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::stable_sort(
        m_rows.begin(), m_rows.end(), [column, order](const FoundDatabase& a, const FoundDatabase& b) {
            return order == Qt::AscendingOrder ? FoundDatabaseLess(a, b, column)
                                               : FoundDatabaseLess(b, a, column);
        });
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void DatabaseSearchModel::Clear()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows({}, 0, int(m_rows.size()) - 1);
    m_rows.clear();
    endRemoveRows();
}

void DatabaseSearchModel::Append(const QVector<FoundDatabase>& rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    m_rows += rows;
    endInsertRows();
    if (m_sortColumn >= 0)
        sort(m_sortColumn, m_sortOrder);
}

void DatabaseSearchModel::RemovePaths(const QStringList& paths)
{
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        if (!paths.contains(m_rows[i].fullPath()))
            continue;
        beginRemoveRows({}, i, i);
        m_rows.removeAt(i);
        endRemoveRows();
    }
}

} // namespace explorer
