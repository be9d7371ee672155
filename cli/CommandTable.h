// Every quorvane-cli command, in the groups the program's help shows them.
#pragma once

#include "cli/Command.h"

namespace cli {

struct CommandGroup {
    QString title;
    QVector<Command> commands;
};

QVector<CommandGroup> AllCommands();

// The device commands that speak the remote-access protocol directly:
// info, ls, get, put, rm, mkdir, rmdir, mv, attrib, reg, run.
QVector<Command> DeviceCommands();

// The command named `name`, or null.
const Command* FindCommand(const QVector<CommandGroup>& groups, const QString& name);

// The program's help: usage, the commands of each group with their
// summaries, and the global options.
QString ProgramHelp(const QVector<CommandGroup>& groups);

} // namespace cli
