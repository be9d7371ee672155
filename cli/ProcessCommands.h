// quorvane-cli's process and restart commands: ps, kill NAME, reset
// soft|hard. Each takes its positional arguments (after the command name)
// and returns the exit status.
#pragma once

#include "cli/CliContext.h"

namespace cli {

// One line per process of the device: its id as eight hex digits, two
// spaces, its executable's file name.
int Processes(CliContext& cx, const QStringList& args);

// Ends every process whose executable name is NAME (case ignored), as the
// device compares file names. Fails when none runs or one refuses.
int Kill(CliContext& cx, const QStringList& args);

// Restarts the device: "soft" keeps its files and registry, "hard" returns
// them to the factory image. The device drops every connection meanwhile.
int Reset(CliContext& cx, const QStringList& args);

} // namespace cli
