// The desktop's parsed form of the agent's answers: the rows and columns of
// one request (QueryResult) and the tables of a database's schema
// (TableSchema), with each column's kind and display width.
//
// Plain values; safe to copy between threads.
#pragma once

#include "exchange/ResultsReader.h"
#include "exchange/SchemaReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

namespace devlink {

enum class ColumnKind { Text = 0, DateTime = 1, Integer = 2, LongText = 3, Guid = 4, Real = 5 };

struct ColumnSchema {
    QString name;
    // The type as the agent sent it ("int", "nvarchar(50)"); in a
    // TableSchema the type followed by its attributes.
    QString typeText;
    ColumnKind kind = ColumnKind::Text;
    int width = 4; // display width in characters
    bool isPrimaryKey = false;
    bool isNotNull = false;
    bool isAutoinc = false;

    bool operator==(const ColumnSchema&) const = default;
};

// Sets `kind` and `width` from `typeText`; the tests run in this order, a
// later match overriding an earlier one (default: text, width 4):
//   "money" "real" "float" "numeric" -> real, 8;  "int" "tinyint" "smallint"
//   -> integer, 12;  "datetime" -> datetime, 20;  contains "nvarchar(" ->
//   text, the number after the first nine characters;  contains "nchar(" ->
//   text, the number after the first six;  contains "ntext" -> long text,
//   99999;  "uniqueidentifier" -> guid, 38.
void SetKindAndWidth(ColumnSchema& column);

// The longest text a cell keeps.
inline constexpr int kMaxCellCharacters = 40000;

// What a cell holds, decided once while the answer is read.
enum class CellKind : char {
    Value = 0,
    Null = 1, // the agent's "(null)"
    Binary = 2, // a binary or long value the agent sent as U+0006 and its byte count
};
CellKind KindOfCellText(const QString& cell);

// Rows as a grid keeps them, for a window that would otherwise make a
// string per cell only to copy it: every cell's text one after another in
// `text`, per row columnCount + 1 offsets into it in `bounds` (cell c runs
// from offset c to offset c + 1; a short row is padded with empty cells), and
// a CellKind per cell in `kinds`.
struct PackedRows {
    std::vector<char16_t> text;
    std::vector<quint32> bounds;
    std::vector<char> kinds;
    int rowCount = 0;

    bool operator==(const PackedRows&) const = default;
};

// Appends the rows of `from` after those of `to`.
void AppendPackedRows(PackedRows& to, const PackedRows& from);

struct QueryResult {
    int columnCount = 0;
    QVector<ColumnSchema> columns;
    QVector<int> primaryKeyColumns; // indices of the primary-key columns, in order
    int primaryKeyCount = 0;
    int notNullCount = 0;
    int autoincCount = 0;
    QVector<QStringList> rows; // transport codes undone; each row at most columnCount texts
    QVector<QByteArray> cellKinds; // per row, a CellKind per cell
    int totalRows = -1; // the device's "TotalRows", or -1
    int rowsAffected = -1; // the device's "RowsAffected", or -1
    PackedRows packed; // rows taken packed (AppendPackedRowLine), after `rows`

    CellKind KindOf(qsizetype row, qsizetype column) const { return CellKind(cellKinds[row].at(column)); }
    // Takes the rows of `part` (a batch) after these; packed rows only
    // when these hold none of the other kind.
    void AppendRows(QueryResult&& part);
    qsizetype rowCount() const { return rows.size() + packed.rowCount; }

    bool operator==(const QueryResult&) const = default;
};

// The QueryResult of a parsed table answer: names, types (kind and width),
// attributes ("primary key", "not null", "autoinc") and rows, each cell cut
// to kMaxCellCharacters.
QueryResult MakeQueryResult(const exchange::TableAnswer& answer, int totalRows);
// The same without rows, from the header of a TableAnswerReader.
QueryResult MakeQueryHeader(const exchange::TableAnswer& header, int totalRows);
// Splits one row line (exchange::SplitFields) into `result`.
void AppendRowLine(QueryResult& result, std::u16string_view line);
// The same cells, appended to `result.packed`.
void AppendPackedRowLine(QueryResult& result, std::u16string_view line);

struct TableSchema {
    QString name;
    QVector<ColumnSchema> columns; // name, typeText (type and attributes), isPrimaryKey

    bool operator==(const TableSchema&) const = default;
};

QVector<TableSchema> MakeTableSchemas(const exchange::BinarySchema& schema);

// C's atoi over a text: leading white space, a sign, digits; 0 when none.
int LeadingInteger(const QString& text);

} // namespace devlink
