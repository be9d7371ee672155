// How quorvane-cli prints the rows of a request: an aligned table for
// people; tab-separated values, CSV and JSON for programs (RowWriter.h).
//
// Nulls. The agent writes the text "(null)" for a null value, and also for
// an empty long value (ntext, image), so a text column holding the five
// letters "(null)" reads exactly like a null: nothing in the answer tells
// them apart. The loader marks every such cell null (CellKind::Null), and
// the formats print it as null:
//   table  "(null)", as the desktop's grid does (or --null TEXT);
//   tsv    \N, the usual tab-separated convention (or --null TEXT);
//   csv    an empty unquoted field (or --null TEXT), where an empty text is "";
//   json   null.
// Binary values. The agent sends only their byte count (CellKind::Binary);
// table and tsv show it as the desktop's grid does, "(Binary: 3 bytes)";
// csv and json give the count as a number, or that text with --binary text.
//
// Pure functions over the values given; safe from any thread.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QString>

#include <optional>

namespace cli {

enum class OutputFormat { Table, Tsv, Csv, Json, Raw };

// "table", "tsv", "csv", "json", "raw"; no value for anything else.
std::optional<OutputFormat> ParseOutputFormat(const QString& name);
// "table, tsv, csv, json or raw", for messages and help.
QString OutputFormatNames();

struct OutputOptions {
    std::optional<QString> nullText; // what a null prints as; none: the format's own
    bool header = true; // the header line(s) of table, tsv and csv
    bool binaryAsText = false; // csv and json: "(Binary: N bytes)" instead of N
    QChar decimalSeparator = u'.'; // the one the agent was told to write (besides '.')
    int maxCellWidth = 60; // table: cells wider than this are cut (0: no limit)
};

// The kind of a cell: from the kinds the loader recorded; a cell past the
// end of a short row, or a result without kinds, holds a plain value.
devlink::CellKind CellKindAt(const devlink::QueryResult& result, qsizetype row, qsizetype column);

// A cell as table and tsv print it: a binary value as "(Binary: N bytes)",
// anything else unchanged.
QString ShownCell(const QString& cell, devlink::CellKind kind);

// `text` with its line breaks and tabs as "\n", "\r" and "\t" (and, with
// `escapeBackslash`, a backslash as "\\"), so that it stays on one line.
QString WithVisibleBreaks(const QString& text, bool escapeBackslash);
void AppendWithVisibleBreaks(QString& out, const QString& text, bool escapeBackslash);

// The columns a text takes on a terminal: 0 for control characters,
// combining marks and other zero-width characters, 2 for East Asian wide
// and full-width characters (and most emoji), 1 for the rest.
int DisplayWidth(const QString& text);

// The rows as an aligned table: a header of column names and a rule of "-"
// under each (unless options.header is false), then one line per row,
// columns two spaces apart and padded by display width; integer and real
// columns whose cells are all numbers (or null) are right-aligned, others
// left. Line breaks and tabs inside a cell show as "\n", "\r" and "\t"; a
// cell wider than options.maxCellWidth (when it is above 0) is cut and ends
// in "...". Each line ends in LF.
QString FormatTable(const devlink::QueryResult& result, const OutputOptions& options = {});

// The status the desktop shows after a query: "1 row found." or "%d rows
// found.", with its line break.
QString RowsFoundText(qsizetype rows);

// A statement without rows: table "1 row affected." / "%d rows affected.",
// tsv and csv the number alone, json {"rowsAffected":N}; each ends in a line
// break.
QString FormatRowsAffected(int rowsAffected, OutputFormat format);

// A JSON string literal, with its quotes.
QString JsonString(const QString& text);

} // namespace cli
