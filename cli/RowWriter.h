// The formats for programs, written row by row as the rows arrive, so that
// an answer of any length takes the same memory and its first rows are out
// before the last ones are read:
//
//   tsv   a header line of column names, then one line per row, fields
//         separated by TAB, each line ended by LF. Inside a field a
//         backslash becomes "\\", TAB "\t", LF "\n" and CR "\r"; a null is
//         "\N" (or --null TEXT). Values as the agent wrote them.
//   csv   RFC 4180: a header line, then one record per row, fields separated
//         by commas, each record ended by CR LF; a field holding a comma, a
//         quote, CR or LF, and every empty text, is quoted, with quotes
//         doubled. Values typed as for json; a null is an empty unquoted
//         field (or --null TEXT).
//   json  {"columns":[{"name":..,"type":..,"primaryKey":..,"notNull":..,
//         "autoinc":..},...],"rows":[[..],...]} with one row per line. Values
//         typed (TypedCell): numbers as numbers, bits as true and false,
//         null as null, dates in ISO 8601, binary values as their byte
//         count, other values as strings. Valid JSON for any input: control
//         characters and lone surrogates are escaped as \uXXXX.
//
// One RowWriter per answer; use it on one thread.
#pragma once

#include "cli/OutputFormat.h"

namespace cli {

// What a cell is, read as a value of its column's type.
struct TypedCell {
    enum class Type { Null, Number, Boolean, Text, ByteCount };
    Type type = Type::Text;
    QString text; // the number, "true"/"false", the text, or the byte count's digits
};

// The typed value of a cell of `column`:
//   null                                  Null;
//   binary                                ByteCount (the digits the agent sent);
//   bit, or "true"/"false" in a column a plain query calls "int"   Boolean;
//   int, smallint, tinyint, bigint, real, float, money, numeric: a
//     number in JSON's form (after `decimalSeparator` becomes ".")  Number;
//   datetime in the agent's "Y/MM/DD  hh:mm:ss" with a year 0..9999:
//     Text "YYYY-MM-DDThh:mm:ss" (the device's local time);
//   anything else                         Text, unchanged.
// A plain query (not a whole table) reports every type but real, datetime
// and nvarchar as "int", long texts included: such a text that reads as a
// number or as true/false is typed as one.
TypedCell TypeCell(const devlink::ColumnSchema& column, devlink::CellKind kind, const QString& cell,
    QChar decimalSeparator = u'.');

class RowWriter {
public:
    // `format` is Tsv, Csv or Json.
    RowWriter(OutputFormat format, const OutputOptions& options);

    // Each returns the text that follows what the previous calls returned:
    // the columns of `header`, the rows of a part of the answer, the end.
    QString Begin(const devlink::QueryResult& header);
    QString Rows(const devlink::QueryResult& part);
    QString End();

private:
    void AppendRow(QString& out, const devlink::QueryResult& part, qsizetype row);
    // A typed cell as csv or json writes it.
    void AppendTyped(QString& out, const TypedCell& cell) const;

    OutputFormat m_format;
    OutputOptions m_options;
    QVector<devlink::ColumnSchema> m_columns;
    bool m_anyRow = false;
};

// A whole answer in one format (Begin, Rows and End of a RowWriter).
QString FormatRows(
    const devlink::QueryResult& result, OutputFormat format, const OutputOptions& options = {});
inline QString FormatTsv(const devlink::QueryResult& result)
{
    return FormatRows(result, OutputFormat::Tsv);
}
inline QString FormatJson(const devlink::QueryResult& result)
{
    return FormatRows(result, OutputFormat::Json);
}

} // namespace cli
