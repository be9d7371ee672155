#include "desktop/database/RowStore.h"

namespace database {

using devlink::CellKind;

void RowStore::Reset(int columnCount)
{
    m_columns = columnCount;
    m_rows = devlink::PackedRows();
}

int RowStore::Append(const QStringList& texts, const QByteArray& kinds)
{
    const int row = rowCount();
    for (int c = 0; c < m_columns; ++c) {
        m_rows.bounds.push_back(quint32(m_rows.text.size()));
        if (c < texts.size()) {
            const QString& text = texts[c];
            m_rows.text.insert(m_rows.text.end(), text.utf16(), text.utf16() + text.size());
            m_rows.kinds.push_back(c < kinds.size() ? kinds[c] : char(devlink::KindOfCellText(text)));
        } else {
            m_rows.kinds.push_back(char(CellKind::Value));
        }
    }
    m_rows.bounds.push_back(quint32(m_rows.text.size()));
    ++m_rows.rowCount;
    return row;
}

void RowStore::AppendBatch(const devlink::QueryResult& part)
{
    AppendPacked(part.packed);
    m_rows.bounds.reserve(m_rows.bounds.size() + size_t(part.rows.size()) * size_t(m_columns + 1));
    m_rows.kinds.reserve(m_rows.kinds.size() + size_t(part.rows.size()) * size_t(m_columns));
    for (qsizetype r = 0; r < part.rows.size(); ++r)
        Append(part.rows[r], r < part.cellKinds.size() ? part.cellKinds[r] : QByteArray());
}

void RowStore::AppendPacked(const devlink::PackedRows& packed)
{
    devlink::AppendPackedRows(m_rows, packed);
}

QStringView RowStore::Cell(int row, int column) const
{
    const size_t slot = Slot(row, column);
    const quint32 begin = m_rows.bounds[slot];
    const quint32 end = m_rows.bounds[slot + 1];
    return QStringView(m_rows.text.data() + begin, qsizetype(end - begin));
}

CellKind RowStore::Kind(int row, int column) const
{
    return CellKind(m_rows.kinds[size_t(row) * size_t(m_columns) + size_t(column)]);
}

QStringList RowStore::Row(int row) const
{
    QStringList texts;
    texts.reserve(m_columns);
    for (int c = 0; c < m_columns; ++c)
        texts << Cell(row, c).toString();
    return texts;
}

void RowStore::SetCell(int row, int column, const QString& text)
{
    // The row's cells must stay contiguous, so the whole row moves to the end.
    QStringList texts = Row(row);
    texts[column] = text;
    const size_t first = Slot(row, 0);
    for (int c = 0; c < m_columns; ++c) {
        m_rows.bounds[first + size_t(c)] = quint32(m_rows.text.size());
        m_rows.text.insert(m_rows.text.end(), texts[c].utf16(), texts[c].utf16() + texts[c].size());
    }
    m_rows.bounds[first + size_t(m_columns)] = quint32(m_rows.text.size());
    m_rows.kinds[size_t(row) * size_t(m_columns) + size_t(column)] = char(devlink::KindOfCellText(text));
}

} // namespace database
