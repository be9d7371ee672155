// rowversion (timestamp) columns: one counter per database numbers every
// insert and every update of a row of a table with such a column, and the
// column holds that number as 8 big-endian bytes. Inserted rows take it from
// the column's default; an UPDATE is given the assignment; neither may set
// the column itself.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/StatementText.h"
#include "engine/TableModel.h"

#include <string>

namespace engine::detail {

class Database;

// Creates the counter when the database has none yet (inside the caller's
// transaction); returns an SQLite result code.
int EnsureRowVersionCounter(Database& db);

// The table's rowversion column, or null.
const ColumnModel* RowVersionColumn(const TableModel& model);

// qv_next_rowversion(): the counter's next value; qv_dbts() (@@DBTS): the last
// value it gave. Returns an SQLite result code.
int RegisterRowVersionFunctions(Database& db);

// For an INSERT or UPDATE (`text` as it will run) of a table with a rowversion
// column: refuses a value written for that column, and adds the new value to
// an UPDATE's assignments. False with `error` set when refused.
bool StampRowVersion(Database& db, StatementKind kind, std::u16string& text, ErrorRecord& error);

} // namespace engine::detail
