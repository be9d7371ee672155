// The agent's run: program start, the dispatch of the command line to its
// mode, the reading of the query file, the ordinary request run with its
// results file, and the engine-2.0 agent's hand-over to its engine-3.0
// sibling.
#pragma once

#include "agent/AgentContext.h"
#include "exchange/QueryFile.h"

#include <string>
#include <string_view>

namespace agent {

// Reads the query file into `request`, with the checkpoint values "Test"
// 8.1 to 8.8 and the database file checks. False with the context's error
// text set when the request cannot run; the caller then writes the results
// file and only after it "Done.".
bool ReadQueryFile(AgentContext& context, exchange::QueryRequest& request);

// The short results file: "<Success>\r\n" or "<Failed>\r\n", then the
// error block when there is an error text. Skipped when it cannot be written.
void WriteStatusFile(AgentContext& context, bool ok);

// Dispatches `commandLine` and runs its mode. Always 0.
int ReadInSQLQuery(AgentContext& context, std::u16string_view commandLine);

// The whole program: log reset, verbose lines, the run, the closing
// checkpoint and "Done.". Returns the exit code (always 0).
int AgentMain(const AgentVariant& variant);

} // namespace agent
