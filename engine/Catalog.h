// The engine's metadata tables: per user table its columns (engine type,
// nullability, default as written, identity) and constraints, and the
// numbering state of identity columns. All functions return SQLite result
// codes and run inside the caller's transaction when there is one.
#pragma once

#include "engine/TableModel.h"

#include <string>
#include <vector>

namespace engine::detail {

class Database;

namespace catalog {

// Creates the metadata tables in a new database.
int Install(Database& db);

// Whether the metadata tables are there (a database of ours).
bool IsInstalled(Database& db);

// The user tables, ordered by name without regard to case.
int ListTables(Database& db, std::vector<std::u16string>& names);

// The table's name as stored (exact case), or empty when there is no such user table.
std::u16string FindTable(Database& db, std::u16string_view name);

// Loads a table's model; `found` is false when the table has no metadata.
int Load(Database& db, std::u16string_view name, TableModel& model, bool& found);

// Writes a table's model, replacing what was stored for that name. Identity
// columns without a numbering row get one (their identityId is filled in).
int Save(Database& db, TableModel& model);

// Forgets a table (its columns, constraints and numbering rows).
int Remove(Database& db, std::u16string_view name);

// Renames a table in the metadata, including foreign keys that refer to it.
int Rename(Database& db, std::u16string_view from, std::u16string_view to);

// Whether a constraint of that name exists anywhere in the database.
int ConstraintNameUsed(Database& db, std::u16string_view name, bool& used);

// Foreign keys of other tables that refer to `table`: pairs of (child table, constraint).
int ReferencesTo(
    Database& db, std::u16string_view table, std::vector<std::pair<std::u16string, ConstraintModel>>& out);

} // namespace catalog

} // namespace engine::detail
