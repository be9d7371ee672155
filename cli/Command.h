// One quorvane-cli command: its description (usage, help, options) and the
// function that runs it with the words after the command name, read for
// that description.
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandSyntax.h"

#include <functional>

namespace cli {

struct Command {
    CommandSyntax syntax;
    // Commands that work through the agent connect through the desktop
    // link themselves; the others get a remote-access connection first.
    bool connectsItself = false;
    std::function<int(CliContext&, const ParsedCommand&)> run;
};

// Reads `args` for `syntax`. Prints the command's help (*status 0) or the
// usage error (*status 2) and returns false when the command should not
// run; checks the values of --timeout and --format where the command has
// them.
bool PrepareCommand(
    CliContext& cx, const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, int* status);

// Reads `args` for the command and runs it: connected first unless it
// connects itself. Returns the exit status.
int RunCommand(CliContext& cx, const Command& command, const QStringList& args);

} // namespace cli
