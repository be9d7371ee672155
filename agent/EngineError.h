// The engine's error records turned into the agent's error messages.
//
// A message is built per record: the description with its parameters put in
// (into the bracketed slots of the description, or as a " (p, q)" list),
// then "0x%lx\r\n%s." with the result code; a record without description
// says "Login failed.  Check your password." for 0x80040E4D and
// "Unknown error" otherwise. The last record's message is the one kept.
//
// Thread rule: the error records belong to the calling thread.
#pragma once

#include "engine/ErrorInfo.h"

#include <string>
#include <string_view>
#include <vector>

namespace agent {

class AgentStatus;

// What the formatter may touch besides the log.
struct EngineErrorScope {
    AgentStatus& log;
    // The engine-2.0 agent hands a database that its engine calls "not a
    // valid database file" to the engine-3.0 agent.
    bool checkNotValidDatabase = false;
    // The hand-over flag, only while a request runs; null for compaction and
    // creation.
    bool* needsEngine3 = nullptr;
};

// The description of one record with its parameters put in (logs
// "Error argument %d:  %s" for each non-empty one).
std::u16string DescribeRecord(const engine::ErrorRecord& record, AgentStatus& log);

// The message of a list of records, as FormatEngineError builds it from the
// engine's records (logs the count and each record).
std::u16string FormatErrorRecords(
    const std::vector<engine::ErrorRecord>& records, const EngineErrorScope& scope);

// Takes this thread's error records and builds their message into `message`.
// Returns non-zero when there was an error object or none at all (then
// `message` is empty), 0 when the records could not be read.
int FormatEngineError(const EngineErrorScope& scope, std::u16string& message);

// FormatEngineError, then, when it returned non-zero, "\r\n" and the message
// appended to `text`. Always writes "\r\n\r\nAn error occurred:\r\n\r\n",
// `text` and "\r\n\r\n" to the debug channel. Returns the formatter's status.
bool AppendEngineError(const EngineErrorScope& scope, std::u16string& text);

} // namespace agent
