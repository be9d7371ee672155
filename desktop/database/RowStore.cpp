#include "desktop/database/RowStore.h"

namespace database {

using devlink::CellKind;

void RowStore::Reset(int columnCount)
{
    m_columns = columnCount;
    m_text.clear();
    m_text.shrink_to_fit();
    m_bounds.clear();
    m_bounds.shrink_to_fit();
    m_kinds.clear();
    m_kinds.shrink_to_fit();
}

int RowStore::Append(const QStringList& texts, const QByteArray& kinds)
{
    const int row = rowCount();
    for (int c = 0; c < m_columns; ++c) {
        m_bounds.push_back(quint32(m_text.size()));
        if (c < texts.size()) {
            const QString& text = texts[c];
            m_text.insert(m_text.end(), text.utf16(), text.utf16() + text.size());
            m_kinds.push_back(c < kinds.size() ? kinds[c] : char(devlink::KindOfCellText(text)));
        } else {
            m_kinds.push_back(char(CellKind::Value));
        }
    }
    m_bounds.push_back(quint32(m_text.size()));
    return row;
}

void RowStore::AppendBatch(const devlink::QueryResult& part)
{
    AppendPacked(part.packed);
    m_bounds.reserve(m_bounds.size() + size_t(part.rows.size()) * size_t(m_columns + 1));
    m_kinds.reserve(m_kinds.size() + size_t(part.rows.size()) * size_t(m_columns));
    for (qsizetype r = 0; r < part.rows.size(); ++r)
        Append(part.rows[r], r < part.cellKinds.size() ? part.cellKinds[r] : QByteArray());
}

void RowStore::AppendPacked(const devlink::PackedRows& packed)
{
    if (packed.rowCount == 0)
        return;
    const auto base = quint32(m_text.size());
    m_text.insert(m_text.end(), packed.text.begin(), packed.text.end());
    m_bounds.reserve(m_bounds.size() + packed.bounds.size());
    for (quint32 bound : packed.bounds)
        m_bounds.push_back(base + bound);
    m_kinds.insert(m_kinds.end(), packed.kinds.begin(), packed.kinds.end());
}

QStringView RowStore::Cell(int row, int column) const
{
    const size_t slot = Slot(row, column);
    const quint32 begin = m_bounds[slot];
    const quint32 end = m_bounds[slot + 1];
    return QStringView(m_text.data() + begin, qsizetype(end - begin));
}

CellKind RowStore::Kind(int row, int column) const
{
    return CellKind(m_kinds[size_t(row) * size_t(m_columns) + size_t(column)]);
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
        m_bounds[first + size_t(c)] = quint32(m_text.size());
        m_text.insert(m_text.end(), texts[c].utf16(), texts[c].utf16() + texts[c].size());
    }
    m_bounds[first + size_t(m_columns)] = quint32(m_text.size());
    m_kinds[size_t(row) * size_t(m_columns) + size_t(column)] = char(devlink::KindOfCellText(text));
}

} // namespace database
