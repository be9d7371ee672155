// The SQL the results grid generates for its edits, and the checks a typed
// value passes first: plain functions of texts, columns and the desktop's
// locale, with no device and no window.
//
// Threads: any.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace database {

using devlink::ColumnKind;
using devlink::ColumnSchema;

// The texts the grid shows and sends for a null value.
inline const QString kNullText = QStringLiteral("(null)");
// The characters that stand for a line break, a tab and a binary value in
// an exchanged text.
inline const QString kNewlineMarker = QStringLiteral("\u001d\u001e");
inline constexpr QChar kTabMarker = u'\u0008';
inline constexpr QChar kBinaryMarker = u'\u0006';

// "[name]" when the table name holds a space, else the name.
QString QuoteTableName(const QString& name);
// "\"name\"" when the column name holds a space, else the name.
QString QuoteColumnName(const QString& name);

// True when `sql`, trimmed, starts with "SELECT * FROM " (any case); the
// table is what lies between "[" and "]" right after it, or else the rest
// of the text, in the case the user typed it. A rest that holds more than a
// name (a WHERE or ORDER BY clause, a second statement) is not a single
// table: the edits would name that text as a table.
bool IsSingleTableSelect(const QString& sql, QString* tableName);

// The request text of the SQL panel: its line breaks, whatever the editor
// made of them, as CR LF, which the query file carries as a line break, so
// that a "--" comment ends at the end of its line.
QString SqlPanelRequest(const QString& panelText);

// A date-time typed or shown in a cell: the agent's year-first form, or one
// of the locale's forms; none when it is neither.
std::optional<QDateTime> ParseCellDateTime(const QString& text, const QLocale& locale = QLocale());

// The date-time form the agent reads without regard to any locale.
QString AgentDateTimeText(const QDateTime& value);

// The result of checking a typed value.
struct CellCheck {
    bool ok = true;
    QString text; // the value as the grid keeps it (a "0" added to a decimal, a date in the agent's form)
    QString error; // the message when not ok
};

// Checks a typed value for a column of `kind`: integers (digits, a leading
// "-", or empty), decimals (digits and at most one of the locale's decimal
// separators, "0" added at a bare separator's side), date-times (the
// locale's forms or the agent's own). "(null)" always passes.
CellCheck CheckCellText(const QString& text, ColumnKind kind, const QLocale& locale = QLocale());

// The SQL literal of a cell's text: NULL for "(null)"; quoted text with
// quotes doubled and line breaks, tabs and "<Binary>" as their markers;
// a quoted date-time in the agent's form; an integer unquoted; a decimal
// with a decimal point, unquoted once checked.
QString FormatSqlValue(const QString& cellText, ColumnKind kind, const QLocale& locale = QLocale());

// Why a WHERE part is built.
enum class RowChange { Update, Delete };

// The WHERE part that identifies a row from its texts as they were before
// the edit (`binary` marks cells that hold binary values, which no text can
// match): the primary-key columns, or without a key the text, date-time and
// integer columns (update) or every column but `editColumn` (delete),
// followed by " LIMIT 1" on a guarded first pass.
QString WhereClause(const QVector<ColumnSchema>& columns, const QVector<int>& keyColumns,
    const QStringList& rowTexts, const QVector<bool>& binary, RowChange change, int editColumn,
    bool firstPass, const QLocale& locale = QLocale());

// "UPDATE t SET c=v WHERE " + where.
QString UpdateStatement(const QString& table, const ColumnSchema& column, const QString& newText,
    const QString& where, const QLocale& locale = QLocale());
// "DELETE FROM t WHERE " + where.
QString DeleteStatement(const QString& table, const QString& where);
// "INSERT INTO t (cols) VALUES (values)" of the cells that are not null and
// not auto-increment (`binary` cells are left out too).
QString InsertStatement(const QString& table, const QVector<ColumnSchema>& columns, const QStringList& texts,
    const QVector<bool>& binary, const QLocale& locale = QLocale());

// The statement as the guarded-change question shows it: " SET " and
// " WHERE " on lines of their own, "LIMIT 1" removed.
QString ShownStatement(const QString& statement);
// The "Warning" questions of a guarded change that would touch `rows` rows.
QString GuardedUpdateQuestion(
    const QString& oldText, const QString& newText, int rows, const QString& statement);
QString GuardedDeleteQuestion(int rows, const QString& statement);
// The statement without its trailing "LIMIT 1" (the second pass).
QString WithoutLimit(const QString& statement);

// The start values of a new row: "(null)" for a nullable column; for a
// non-nullable one "1900/01/01 00:00" (date-time), `proposedKeys` or "0"
// (integer), "0" (decimal), else empty.
QStringList NewRowTexts(
    const QVector<ColumnSchema>& columns, const QVector<std::optional<qint64>>& proposedKeys);

// A row filter: off, on chosen values, or on values containing a text.
struct RowFilter {
    enum Mode { Values = 0, Containing = 1, Off = 2 };
    int column = -1;
    Mode mode = Off;
    QString text;
    bool exactMatch = false;
    QStringList values;

    bool active() const { return mode != Off && column >= 0; }
};
// Whether a row whose filter-column value is `value` stays shown.
bool FilterKeeps(const RowFilter& filter, QStringView value);

} // namespace database
