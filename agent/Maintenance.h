// Compaction and creation of a database, run by the dispatcher without the
// request runner.
#pragma once

#include "agent/AgentContext.h"

#include <string>
#include <string_view>

namespace agent {

// The compacted copy's path: the database path followed by "x".
std::u16string CompactDestination(std::u16string_view databasePath);

// Compacts the database into path + "x", then puts that copy in the place of
// the database in one step (the path always holds the old or the compacted
// database). "CompactSuccessful" := 1 or 0 after the engine's call. On
// failure the old database stays and the context's error text holds the
// engine's message, or "Couldn't compact this database."; a compacted copy
// that cannot replace the database stays at path + "x".
bool CompactDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password);

// Creates an empty database at `databasePath`, protected by `password`
// when it is not empty.
bool CreateDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password);

} // namespace agent
