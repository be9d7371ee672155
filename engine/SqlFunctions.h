// The engine's SQL functions (GETDATE, NEWID and the checks and numbering its
// tables use) and the collations that compare date-times, unique identifiers
// and bits by what they mean rather than by how they were written.
#pragma once

namespace engine::detail {

class Database;

// Registers everything on the connection; returns an SQLite result code.
int RegisterFunctions(Database& db);

} // namespace engine::detail
