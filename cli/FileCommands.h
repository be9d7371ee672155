// quorvane-cli's device commands that speak the remote-access protocol
// directly: info, ls, rm, mkdir, rmdir, mv, attrib and run (the copies are
// in TransferCommands.h, reg in RegistryCommands.h). Each gets its words
// read for its syntax and returns the exit status.
#pragma once

#include "cli/Command.h"

namespace cli {

// The device commands of the program's first group, in the order its help
// shows them.
QVector<Command> DeviceCommands();

} // namespace cli
