#include "desktop/export/ExportRowsModel.h"

namespace dbexport {

ExportRowsModel::ExportRowsModel(const QStringList& titles, QObject* parent)
    : QAbstractTableModel(parent)
    , m_titles(titles)
{
}

void ExportRowsModel::AppendRow(const QStringList& cells)
{
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size()));
    m_rows.append(cells);
    endInsertRows();
}

void ExportRowsModel::SetCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_titles.size())
        return;
    QStringList& cells = m_rows[row];
    while (cells.size() <= column)
        cells.append(QString());
    if (cells[column] == text)
        return;
    cells[column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

QString ExportRowsModel::Cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return QString();
    return m_rows[row].value(column);
}

int ExportRowsModel::RowOf(const QString& key) const
{
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows[r].value(0) == key)
            return r;
    return -1;
}

int ExportRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ExportRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

QVariant ExportRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    return Cell(index.row(), index.column());
}

QVariant ExportRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return m_titles.value(section);
}

} // namespace dbexport
