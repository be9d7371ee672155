// Every quorvane-cli command, in the groups the program's help shows them.
#pragma once

#include "cli/Command.h"

namespace cli {

struct CommandGroup {
    QString title;
    QVector<Command> commands;
};

QVector<CommandGroup> AllCommands();

// The command named `name`, or null.
const Command* FindCommand(const QVector<CommandGroup>& groups, const QString& name);

// The program's help: usage, the commands of each group with their
// summaries, and the global options.
QString ProgramHelp(const QVector<CommandGroup>& groups);

// "quorvane-cli (Quorvane) VERSION" with its line break.
QString VersionText();

// Reads the program's command line (the program's name first), answers
// --help and --version, and runs the command it names; the exit status.
// A mistyped command gets the name it most likely meant. Main thread, with a
// QCoreApplication alive.
int RunCommandLine(CliContext& cx, const QStringList& arguments);

} // namespace cli
