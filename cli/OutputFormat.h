// How quorvane-cli prints the rows of a request: an aligned table for
// people, tab-separated values and JSON for programs.
//
// Nulls. The agent writes the text "(null)" for a null value, and also for
// an empty long value (ntext, image), so a text column holding the five
// letters "(null)" reads exactly like a null: nothing in the answer tells
// them apart. The cli therefore takes every cell that is exactly "(null)" to
// be null:
//   table  shows "(null)", as the desktop's grid does;
//   tsv    writes \N (the usual tab-separated convention for null);
//   json   writes null.
// Other cells are texts as the agent wrote them, with its transport codes
// undone (line breaks and tabs are real ones), except that the placeholder
// of a binary value (U+0006 and "%lu bytes") shows as the desktop's grid
// shows it: "(Binary: 3 bytes)".
//
// Pure functions over the values given; safe from any thread.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QString>

#include <optional>

namespace cli {

enum class OutputFormat { Table, Tsv, Json, Raw };

// "table", "tsv", "json", "raw"; no value for anything else.
std::optional<OutputFormat> ParseOutputFormat(const QString& name);

// A cell as the formats print it: the binary placeholder as
// "(Binary: ...)", anything else unchanged.
QString ShownCell(const QString& cell);

// True for the text the agent writes for a null value.
bool IsNullText(const QString& cell);

// The columns a text takes on a terminal: 0 for control characters,
// combining marks and other zero-width characters, 2 for East Asian wide
// and full-width characters (and most emoji), 1 for the rest.
int DisplayWidth(const QString& text);

// The rows as an aligned table: a header of column names, a rule of "-"
// under each, then one line per row, columns two spaces apart and padded by
// display width; integer and real columns whose cells are all numbers (or
// null) are right-aligned, others left.
// Line breaks and tabs inside a cell show as "\n", "\r" and "\t"; a cell
// wider than `maxCellWidth` (when it is above 0) is cut and ends in "...".
// The last line is the status the desktop shows: "1 row found." or
// "%d rows found.".
QString FormatTable(const devlink::QueryResult& result, int maxCellWidth = 60);

// A header line of column names, then one line per row, fields separated by
// TAB, each line ended by LF. Inside a field a backslash becomes "\\", TAB
// "\t", LF "\n" and CR "\r"; a null is "\N".
QString FormatTsv(const devlink::QueryResult& result);

// {"columns":[{"name":..,"type":..,"primaryKey":..,"notNull":..,
// "autoinc":..},...],"rows":[[..],...]} with one row per line; cells are
// strings or null. Valid JSON for any input: control characters and lone
// surrogates are escaped as \uXXXX.
QString FormatJson(const devlink::QueryResult& result);

// A statement without rows: table "1 row affected." / "%d rows affected.",
// tsv the number alone, json {"rowsAffected":N}; each ends in a line break.
QString FormatRowsAffected(int rowsAffected, OutputFormat format);

// A JSON string literal, with its quotes.
QString JsonString(const QString& text);

} // namespace cli
