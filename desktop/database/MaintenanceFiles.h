// The desktop files of the database window's maintenance commands: the
// CREATE TABLE text of one table cut from the agent's whole-database text,
// written for the desktop's viewer, and a table window's rows as a
// tab-separated UTF-16 text file.
//
// Threads: window thread (the grid is a window's model); the text
// functions are pure.
#pragma once

#include <QString>

namespace database {

class ResultsGrid;

// The CREATE TABLE statement of `table` in `schemaText`: from "create table "
// and the whole name (in square brackets or as it is, followed by the end of
// its line, so "Order" never finds "OrderItems") up to and including the
// line that closes the statement (")" alone), past any key constraint.
// Empty when the table is not there. Case is ignored.
QString CreateTableSection(const QString& schemaText, const QString& table);

// Writes `text` to "schema.txt" in `folder` (UTF-8), replacing any earlier
// one whole. Returns its path, or empty when it could not be written.
QString WriteSchemaFile(const QString& folder, const QString& text);

// The export file's bytes: UTF-16LE without byte-order mark; the column
// titles, then one line per shown row, cells as shown (at most 33000
// characters each) separated by tabs; a text holding a comma enclosed in
// double quotes; each line ended by "\r\n".
QByteArray GridExportBytes(const ResultsGrid& grid);

// Writes GridExportBytes to `path` through a temporary file renamed into
// place, so a failed write leaves any earlier file as it was.
bool WriteGridExport(const ResultsGrid& grid, const QString& path);

} // namespace database
