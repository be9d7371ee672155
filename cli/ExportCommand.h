// export: device tables copied into a desktop database (a SQLite file with
// --to, or an ODBC data source with --odbc) by the same export the database
// window runs, its log lines printed as they come.
#pragma once

#include "cli/Command.h"

namespace cli {

// The command's description and its function.
Command ExportCommand(const QVector<OptionSpec>& databaseOptions);

} // namespace cli
