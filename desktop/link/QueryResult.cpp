#include "desktop/link/QueryResult.h"

#include "exchange/TransportCodes.h"

#include <algorithm>
#include <limits>

namespace devlink {
namespace {

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

} // namespace

int LeadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            value = std::numeric_limits<int>::max() + 1LL;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void SetKindAndWidth(ColumnSchema& column)
{
    const QString& type = column.typeText;
    column.kind = ColumnKind::Text;
    column.width = 4;
    if (type == QStringLiteral("money") || type == QStringLiteral("real") || type == QStringLiteral("float")
        || type == QStringLiteral("numeric")) {
        column.kind = ColumnKind::Real;
        column.width = 8;
    }
    if (type == QStringLiteral("int") || type == QStringLiteral("tinyint")
        || type == QStringLiteral("smallint")) {
        column.kind = ColumnKind::Integer;
        column.width = 12;
    }
    if (type == QStringLiteral("datetime")) {
        column.kind = ColumnKind::DateTime;
        column.width = 20;
    }
    if (type.contains(QStringLiteral("nvarchar("))) {
        column.kind = ColumnKind::Text;
        column.width = LeadingInteger(type.mid(9));
    }
    if (type.contains(QStringLiteral("nchar("))) {
        column.kind = ColumnKind::Text;
        column.width = LeadingInteger(type.mid(6));
    }
    if (type.contains(QStringLiteral("ntext"))) {
        column.kind = ColumnKind::LongText;
        column.width = 99999;
    }
    if (type == QStringLiteral("uniqueidentifier")) {
        column.kind = ColumnKind::Guid;
        column.width = 38;
    }
}

namespace {

CellKind KindOfCellText(std::u16string_view cell)
{
    if (cell == u"(null)")
        return CellKind::Null;
    if (!cell.empty() && cell.front() == u'\u0006')
        return CellKind::Binary;
    return CellKind::Value;
}

} // namespace

CellKind KindOfCellText(const QString& cell)
{
    return KindOfCellText(
        std::u16string_view(reinterpret_cast<const char16_t*>(cell.utf16()), std::size_t(cell.size())));
}

void QueryResult::AppendRows(QueryResult&& part)
{
    rows.append(std::move(part.rows));
    cellKinds.append(std::move(part.cellKinds));
    if (part.packed.rowCount == 0)
        return;
    if (packed.rowCount == 0) {
        packed = std::move(part.packed);
        return;
    }
    AppendPackedRows(packed, part.packed);
}

void AppendPackedRows(PackedRows& to, const PackedRows& from)
{
    const auto base = quint32(to.text.size());
    to.text.insert(to.text.end(), from.text.begin(), from.text.end());
    to.bounds.reserve(to.bounds.size() + from.bounds.size());
    for (quint32 bound : from.bounds)
        to.bounds.push_back(base + bound);
    to.kinds.insert(to.kinds.end(), from.kinds.begin(), from.kinds.end());
    to.rowCount += from.rowCount;
}

QueryResult MakeQueryHeader(const exchange::TableAnswer& answer, int totalRows)
{
    QueryResult result;
    result.columnCount = answer.columnCount;
    result.totalRows = totalRows;
    for (const auto& name : answer.names) {
        ColumnSchema column;
        column.name = Q(name);
        result.columns.append(column);
    }
    for (std::size_t i = 0; i < answer.types.size() && i < std::size_t(result.columns.size()); ++i) {
        result.columns[qsizetype(i)].typeText = Q(answer.types[i]);
        SetKindAndWidth(result.columns[qsizetype(i)]);
    }
    for (std::size_t i = 0; i < answer.attributes.size() && i < std::size_t(result.columns.size()); ++i) {
        const QString attributes = Q(answer.attributes[i]);
        ColumnSchema& column = result.columns[qsizetype(i)];
        column.isPrimaryKey = attributes.contains(QStringLiteral("primary key"));
        column.isNotNull = attributes.contains(QStringLiteral("not null"));
        column.isAutoinc = attributes.contains(QStringLiteral("autoinc"));
        result.primaryKeyCount += column.isPrimaryKey;
        result.notNullCount += column.isNotNull;
        result.autoincCount += column.isAutoinc;
    }
    for (qsizetype i = 0; i < result.columns.size(); ++i)
        if (result.columns[i].isPrimaryKey)
            result.primaryKeyColumns.append(int(i));
    return result;
}

namespace {

void AppendRowFields(QueryResult& result, const std::vector<std::u16string>& fields)
{
    QStringList row;
    QByteArray kinds;
    row.reserve(qsizetype(fields.size()));
    kinds.reserve(qsizetype(fields.size()));
    for (const auto& field : fields) {
        row.append(
            Q(field.size() > std::size_t(kMaxCellCharacters) ? field.substr(0, kMaxCellCharacters) : field));
        kinds.append(char(devlink::KindOfCellText(row.back())));
    }
    result.rows.append(std::move(row));
    result.cellKinds.append(std::move(kinds));
}

bool HasTransportCodes(std::u16string_view raw)
{
    using exchange::kLineBreakCode1, exchange::kTabCode, exchange::kUnicodeTabCode;
    return std::any_of(raw.begin(), raw.end(),
        [](char16_t c) { return c == kLineBreakCode1 || c == kTabCode || c == kUnicodeTabCode; });
}

// Hands `put` the characters of a field with its transport codes undone.
template <typename Put> void DecodeField(std::u16string_view raw, Put put)
{
    using exchange::kLineBreakCode1, exchange::kLineBreakCode2, exchange::kTabCode, exchange::kUnicodeTabCode;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i];
        if (c == kLineBreakCode1 && i + 1 < raw.size() && raw[i + 1] == kLineBreakCode2) {
            put(u'\r');
            put(u'\n');
            ++i;
        } else if (c == kTabCode || c == kUnicodeTabCode) {
            put(u'\t');
        } else {
            put(c);
        }
    }
}

// A field of a results line with its transport codes undone.
QString DecodedField(std::u16string_view raw)
{
    if (!HasTransportCodes(raw))
        return QString::fromUtf16(raw.data(), qsizetype(raw.size()));
    QString text;
    text.reserve(qsizetype(raw.size()) + 8);
    DecodeField(raw, [&text](char16_t c) { text.append(QChar(c)); });
    return text;
}

} // namespace

// The same cells as SplitFields and AppendRowFields give, in one pass: a
// table of 100,000 rows spent more time making and freeing the intermediate
// strings than anything else on the desktop side.
void AppendRowLine(QueryResult& result, std::u16string_view line)
{
    QStringList row;
    QByteArray kinds;
    if (result.columnCount > 0) {
        row.reserve(result.columnCount);
        kinds.reserve(result.columnCount);
        for (std::size_t start = 0;;) {
            const std::size_t end = line.find(u'\t', start);
            QString text
                = DecodedField(line.substr(start, end == std::u16string_view::npos ? end : end - start));
            if (text.size() > kMaxCellCharacters)
                text.truncate(kMaxCellCharacters);
            kinds.append(char(KindOfCellText(text)));
            row.append(std::move(text));
            if (end == std::u16string_view::npos || row.size() >= result.columnCount)
                break;
            start = end + 1;
        }
    }
    result.rows.append(std::move(row));
    result.cellKinds.append(std::move(kinds));
}

void AppendPackedRowLine(QueryResult& result, std::u16string_view line)
{
    PackedRows& packed = result.packed;
    std::vector<char16_t>& text = packed.text;
    int cells = 0;
    for (std::size_t start = 0; cells < result.columnCount;) {
        const std::size_t end = line.find(u'\t', start);
        const std::u16string_view raw
            = line.substr(start, end == std::u16string_view::npos ? end : end - start);
        const std::size_t begin = text.size();
        packed.bounds.push_back(quint32(begin));
        if (HasTransportCodes(raw))
            DecodeField(raw, [&text](char16_t c) { text.push_back(c); });
        else
            text.insert(text.end(), raw.begin(), raw.end());
        if (text.size() - begin > std::size_t(kMaxCellCharacters))
            text.resize(begin + std::size_t(kMaxCellCharacters));
        packed.kinds.push_back(
            char(KindOfCellText(std::u16string_view(text.data() + begin, text.size() - begin))));
        ++cells;
        if (end == std::u16string_view::npos)
            break;
        start = end + 1;
    }
    // A short row's missing cells are empty values, as a grid shows them.
    for (; cells < result.columnCount; ++cells) {
        packed.bounds.push_back(quint32(text.size()));
        packed.kinds.push_back(char(CellKind::Value));
    }
    packed.bounds.push_back(quint32(text.size()));
    ++packed.rowCount;
}

QueryResult MakeQueryResult(const exchange::TableAnswer& answer, int totalRows)
{
    QueryResult result = MakeQueryHeader(answer, totalRows);
    result.rows.reserve(qsizetype(answer.rows.size()));
    result.cellKinds.reserve(qsizetype(answer.rows.size()));
    for (const auto& fields : answer.rows)
        AppendRowFields(result, fields);
    return result;
}

QVector<TableSchema> MakeTableSchemas(const exchange::BinarySchema& schema)
{
    QVector<TableSchema> tables;
    for (const auto& entry : schema.tables) {
        TableSchema table;
        table.name = Q(entry.name);
        for (const auto& entryColumn : entry.columns) {
            ColumnSchema column;
            column.name = Q(entryColumn.name);
            column.typeText = Q(entryColumn.typeText);
            column.isPrimaryKey = entryColumn.isPrimaryKey;
            table.columns.append(column);
        }
        tables.append(table);
    }
    return tables;
}

} // namespace devlink
