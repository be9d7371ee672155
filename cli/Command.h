// One quorvane-cli command: its description (usage, help, options) and the
// function that runs it with the words after the command name.
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
    std::function<int(CliContext&, const QStringList&)> run;
};

// Reads `args` for `syntax`. Prints the command's help (*status 0) or the
// usage error (*status 2) and returns false when the command should not
// run; checks --timeout and --format values where the command has them.
bool PrepareCommand(
    CliContext& cx, const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, int* status);

// A command that connects through the desktop link itself: its words are
// read for `syntax` (help and usage errors answered) before `run` starts.
using AgentCommandRun = int (*)(CliContext&, const ParsedCommand&);
Command AgentCommand(const CommandSyntax& syntax, AgentCommandRun run);

// True when "--help" stands among `args` before a "--".
bool AsksForHelp(const QStringList& args);

} // namespace cli
