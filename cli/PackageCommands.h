// quorvane-cli's find-databases and install: the explorer's database search
// and CAB installation, through the same steps as its windows.
#pragma once

#include "cli/Command.h"

namespace cli {

Command FindDatabasesCommand();
Command InstallCommand();

} // namespace cli
