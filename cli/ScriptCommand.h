// script: a SQL file run against a device database one statement at a time
// through the agent (SqlScript.h splits it).
#pragma once

#include "cli/Command.h"

namespace cli {

// The command's description and its function.
Command ScriptCommand(const QVector<OptionSpec>& databaseOptions);

// "statement 120 of 15000  35.2/s  07:02 left" after `done` of `total`
// statements in `elapsedMs`; without rate and time left until one is done.
QString ScriptProgressText(int done, int total, qint64 elapsedMs);

} // namespace cli
