// DescribeTable: one table of a schema request or of a table view, from the
// engine's table definition: DBSchema.bin elements, DBSchema.txt lines, and
// the three header lines of a table view.
#pragma once

#include "agent/AgentContext.h"
#include "engine/Session.h"
#include "engine/TableDefinition.h"
#include "exchange/OutputCollector.h"
#include "exchange/SchemaWriter.h"

#include <string_view>

namespace agent {

// The agent's description of one table definition: type texts, attribute
// texts and key flags (a column is a key column when the table's last
// primary-key constraint names it).
exchange::SchemaTable DescribeDefinition(const engine::TableDefinition& definition);

// Writes `tableName` to `out` as the binary and/or ASCII schema asks and
// fills `lines` for a table view. False with the context's error text set
// when the definition cannot be read; the caller then closes the database.
bool DescribeTable(AgentContext& context, engine::Session& session, std::u16string_view tableName,
    bool binary, bool ascii, exchange::AsciiSchemaWriter& asciiWriter, exchange::OutputCollector& out,
    exchange::TableViewLines& lines);

} // namespace agent
