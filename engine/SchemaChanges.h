// Carries out data definition commands on SQLite and the engine's metadata.
// Every change runs in one transaction, so a failure leaves nothing behind.
#pragma once

#include "engine/DdlParser.h"
#include "engine/Result.h"

namespace engine::detail {

class Database;

// Returns S_OK, or a failure with the thread's error record set.
HRESULT ApplyDefinition(Database& db, DdlCommand& command);

// Renames a user table (the table-alteration service).
HRESULT RenameTable(Database& db, std::u16string_view from, std::u16string_view to);

// SQLite's CREATE TABLE text for a model, creating it under `physicalName`.
std::u16string CreateTableSql(const TableModel& model, std::u16string_view physicalName);

} // namespace engine::detail
