// quorvane-cli's database commands: sql, script, schema, tables, newdb, compact,
// rename-table and drop-table. Each is one request to the device agent
// through the desktop link (query file, agent, status values, results
// file), answered and reported as the desktop's database window would:
// the same request texts, the same questions (answered without asking, or
// Yes with --yes) and the same messages, printed on stderr.
#pragma once

#include "cli/Command.h"

namespace cli {

QVector<Command> DatabaseCommands();

// The request text of a shell argument: line breaks become CR LF (the
// query file carries them as line breaks), everything else stays.
QString RequestTextOf(const QString& sql);

// A table name as it goes into SQL: in square brackets when it holds a
// space ("Order Details" -> "[Order Details]"), else unchanged.
QString QuotedTableName(const QString& name);

} // namespace cli
