#include "desktop/database/ResultsGrid.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>

namespace database {

using devlink::CellKind;

ResultsGrid::ResultsGrid(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void ResultsGrid::StartAnswer(const devlink::QueryResult& header)
{
    beginResetModel();
    m_columns = header.columns;
    m_keyColumns = header.primaryKeyColumns;
    m_store.Reset(int(m_columns.size()));
    m_all.clear();
    m_view.clear();
    m_newRow = -1;
    m_sortColumn = -1;
    m_sortOrder = Qt::AscendingOrder;
    if (m_filter.column >= m_columns.size())
        m_filter = RowFilter();
    endResetModel();
    if (!header.rows.isEmpty())
        AppendBatch(header);
}

void ResultsGrid::AppendBatch(const devlink::QueryResult& part)
{
    const int firstStored = m_store.rowCount();
    m_store.AppendBatch(part);
    const int lastStored = m_store.rowCount();
    std::vector<int> shown;
    for (int r = firstStored; r < lastStored; ++r) {
        m_all.push_back(r);
        if (Keeps(r))
            shown.push_back(r);
    }
    if (shown.empty())
        return;
    const int first = int(m_view.size());
    beginInsertRows(QModelIndex(), first, first + int(shown.size()) - 1);
    m_view.insert(m_view.end(), shown.begin(), shown.end());
    endInsertRows();
}

void ResultsGrid::Clear()
{
    beginResetModel();
    m_columns.clear();
    m_keyColumns.clear();
    m_store.Reset(0);
    m_all.clear();
    m_view.clear();
    m_newRow = -1;
    m_sortColumn = -1;
    endResetModel();
}

QString ResultsGrid::StoredText(int storeRow, int column) const
{
    if (m_store.Kind(storeRow, column) == CellKind::Null)
        return kNullText;
    return m_store.Cell(storeRow, column).toString();
}

QString ResultsGrid::CellText(int row, int column) const
{
    return StoredText(StoreRow(row), column);
}

QString ResultsGrid::DisplayText(int row, int column) const
{
    const int storeRow = StoreRow(row);
    switch (m_store.Kind(storeRow, column)) {
    case CellKind::Null:
        return kNullText;
    case CellKind::Binary: {
        const QStringView rest = m_store.Cell(storeRow, column).mid(1);
        return rest.isEmpty() ? QStringLiteral("(binary)") : QStringLiteral("(Binary: %1)").arg(rest);
    }
    case CellKind::Value:
        break;
    }
    return m_store.Cell(storeRow, column).toString();
}

CellKind ResultsGrid::CellKindAt(int row, int column) const
{
    return m_store.Kind(StoreRow(row), column);
}

QStringList ResultsGrid::RowTexts(int row) const
{
    QStringList texts;
    for (int c = 0; c < m_columns.size(); ++c)
        texts << CellText(row, c);
    return texts;
}

QVector<bool> ResultsGrid::BinaryCells(int row) const
{
    QVector<bool> binary;
    for (int c = 0; c < m_columns.size(); ++c)
        binary << (CellKindAt(row, c) == CellKind::Binary);
    return binary;
}

int ResultsGrid::ViewRow(int storeRow) const
{
    const auto it = std::find(m_view.begin(), m_view.end(), storeRow);
    return it == m_view.end() ? -1 : int(it - m_view.begin());
}

void ResultsGrid::SetCellText(int storeRow, int column, const QString& text)
{
    m_store.SetCell(storeRow, column, text);
    const int row = ViewRow(storeRow);
    if (row >= 0)
        emit dataChanged(index(row, column), index(row, column));
}

void ResultsGrid::ReplaceColumnTexts(int column, const QString& oldText, const QString& newText)
{
    // One change signal for the column: a large table is not searched for
    // each of its rows' places.
    bool changed = false;
    for (int storeRow : m_all)
        if (StoredText(storeRow, column) == oldText) {
            m_store.SetCell(storeRow, column, newText);
            changed = true;
        }
    if (changed && !m_view.empty())
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

int ResultsGrid::AppendRow(const QStringList& texts)
{
    const int storeRow = m_store.Append(texts);
    m_all.push_back(storeRow);
    const int row = int(m_view.size());
    beginInsertRows(QModelIndex(), row, row);
    m_view.push_back(storeRow);
    endInsertRows();
    return storeRow;
}

void ResultsGrid::RemoveStoreRow(int storeRow)
{
    m_all.erase(std::remove(m_all.begin(), m_all.end(), storeRow), m_all.end());
    if (m_newRow == storeRow)
        m_newRow = -1;
    const int row = ViewRow(storeRow);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_view.erase(m_view.begin() + row);
    endRemoveRows();
}

void ResultsGrid::RemoveRowsEqualTo(const QStringList& texts)
{
    std::vector<int> matching;
    for (int storeRow : m_all) {
        bool equal = true;
        for (int c = 0; c < m_columns.size() && equal; ++c)
            equal = StoredText(storeRow, c) == texts.value(c);
        if (equal)
            matching.push_back(storeRow);
    }
    for (int storeRow : matching)
        RemoveStoreRow(storeRow);
}

void ResultsGrid::SetEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    if (!m_view.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void ResultsGrid::SetBusy(bool busy)
{
    m_busy = busy;
}

void ResultsGrid::SetDisabledLook(bool disabled)
{
    if (disabled == m_disabledLook)
        return;
    m_disabledLook = disabled;
    if (!m_view.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), { Qt::BackgroundRole });
}

std::optional<QString> ResultsGrid::DuplicateKeyMessage() const
{
    if (m_keyColumns.isEmpty())
        return std::nullopt;
    // One pass with a hash of the key texts instead of comparing every pair:
    // a table of 100,000 rows is checked before each edit.
    QHash<QString, int> seen;
    seen.reserve(qsizetype(m_view.size()));
    for (int row = 0; row < int(m_view.size()); ++row) {
        QString key;
        for (int c : m_keyColumns)
            key += CellText(row, c) + QChar(u'\u001f');
        const auto it = seen.constFind(key);
        if (it == seen.constEnd()) {
            seen.insert(key, row);
            continue;
        }
        QString text = QStringLiteral("Matching primary key values found on rows %1 and %2.\r\n\r\n")
                           .arg(it.value())
                           .arg(row);
        for (int c : m_keyColumns)
            text += m_columns[c].name + QStringLiteral(" = ") + CellText(row, c) + QStringLiteral("\r\n");
        text += QStringLiteral(
            "\r\nYou must change on of these Primary Key values before this record can be saved.");
        return text;
    }
    return std::nullopt;
}

std::optional<qint64> ResultsGrid::ProposedKey(int column) const
{
    if (m_all.size() < 3)
        return std::nullopt;
    std::optional<qint64> largest;
    for (int storeRow : m_all) {
        bool ok = false;
        const qint64 value = m_store.Cell(storeRow, column).trimmed().toLongLong(&ok);
        if (ok && m_store.Kind(storeRow, column) == CellKind::Value && (!largest || value > *largest))
            largest = value;
    }
    if (!largest || *largest == std::numeric_limits<qint64>::max())
        return std::nullopt;
    return *largest + 1;
}

bool ResultsGrid::Keeps(int storeRow) const
{
    if (!m_filter.active())
        return true;
    return FilterKeeps(m_filter, m_store.Cell(storeRow, m_filter.column));
}

void ResultsGrid::SetFilter(const RowFilter& filter)
{
    m_filter = filter;
    RebuildView();
}

void ResultsGrid::RebuildView()
{
    beginResetModel();
    m_view.clear();
    for (int storeRow : m_all)
        if (Keeps(storeRow) || storeRow == m_newRow)
            m_view.push_back(storeRow);
    if (m_sortColumn >= 0)
        SortView();
    endResetModel();
}

QStringList ResultsGrid::DistinctValues(int column) const
{
    QStringList values;
    QSet<QString> seen;
    for (int storeRow : m_view) {
        const QString value = StoredText(storeRow, column).trimmed();
        if (!seen.contains(value)) {
            seen.insert(value);
            values << value;
        }
    }
    return values;
}

void ResultsGrid::SortView()
{
    const int column = m_sortColumn;
    const ColumnKind kind = m_columns[column].kind;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    // Numbers and dates are read once per row, not at every comparison;
    // a text that is none sorts before every one that is.
    const auto byKey = [&](auto keyOf) {
        using Key = decltype(keyOf(0));
        std::vector<Key> keys(size_t(m_store.rowCount()));
        for (int storeRow : m_view)
            keys[size_t(storeRow)] = keyOf(storeRow);
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            return descending ? keys[size_t(b)] < keys[size_t(a)] : keys[size_t(a)] < keys[size_t(b)];
        });
    };
    const QLocale locale;
    switch (kind) {
    case ColumnKind::Integer:
        byKey([&](int storeRow) {
            bool ok = false;
            const qint64 value = m_store.Cell(storeRow, column).trimmed().toLongLong(&ok);
            return std::pair<bool, qint64>(ok, ok ? value : 0);
        });
        break;
    case ColumnKind::Real:
        byKey([&](int storeRow) {
            bool ok = false;
            const auto text = m_store.Cell(storeRow, column).trimmed();
            double value = locale.toDouble(text, &ok);
            if (!ok)
                value = text.toDouble(&ok);
            return std::pair<bool, double>(ok, ok ? value : 0.0);
        });
        break;
    case ColumnKind::DateTime:
        byKey([&](int storeRow) {
            const std::optional<QDateTime> value = m_store.Kind(storeRow, column) == CellKind::Value
                ? ParseCellDateTime(m_store.Cell(storeRow, column).toString(), locale)
                : std::nullopt;
            return std::pair<bool, qint64>(value.has_value(), value ? value->toMSecsSinceEpoch() : 0);
        });
        break;
    default:
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            const int order = m_store.Cell(a, column).compare(m_store.Cell(b, column));
            return descending ? order > 0 : order < 0;
        });
        break;
    }
}

void ResultsGrid::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns.size())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> storeRows;
    storeRows.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        storeRows.push_back(StoreRow(index.row()));
    m_sortColumn = column;
    m_sortOrder = order;
    SortView();
    // Indexes the views hold follow their rows to the new places.
    QHash<int, int> rowOfStoreRow;
    for (int row = 0; row < int(m_view.size()); ++row)
        rowOfStoreRow.insert(m_view[size_t(row)], row);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOfStoreRow.value(storeRows[size_t(i)]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool ResultsGrid::IsCell(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.row() < rowCount()
        && index.column() < columnCount();
}

int ResultsGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_view.size());
}

int ResultsGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ResultsGrid::data(const QModelIndex& index, int role) const
{
    if (!IsCell(index))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(index.row(), index.column());
    case Qt::EditRole:
        return CellKindAt(index.row(), index.column()) == CellKind::Binary
            ? QStringLiteral("(binary)")
            : CellText(index.row(), index.column());
    case Qt::BackgroundRole:
        if (m_disabledLook)
            return DisabledColour();
        return index.row() % 2 == 0 ? EvenRowColour() : QColor(Qt::white);
    case Qt::ForegroundRole:
        return CellKindAt(index.row(), index.column()) == CellKind::Value ? QColor(Qt::black)
                                                                          : GreyTextColour();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant ResultsGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns[section].name;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ResultsGrid::flags(const QModelIndex& index) const
{
    if (!IsCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    // A binary value cannot be typed: its text is only a byte count. A
    // text cut at the longest a cell keeps would be saved cut.
    const int storeRow = StoreRow(index.row());
    if (m_editable && !m_busy && !m_disabledLook && m_store.Kind(storeRow, index.column()) != CellKind::Binary
        && m_store.Cell(storeRow, index.column()).size() < devlink::kMaxCellCharacters)
        flags |= Qt::ItemIsEditable;
    return flags;
}

} // namespace database
