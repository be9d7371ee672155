// quorvane-cli's device tools, done by the device agent's utility modes as
// the desktop's process viewer and reset commands do them: deploy, ps,
// kill NAME, reset soft|hard and device-id. The agent is started with its
// command line through the desktop link; its answer comes back in the
// results file and the agent's status values.
#pragma once

#include "cli/Command.h"

namespace cli {

QVector<Command> AgentToolCommands();

// Whether a kill of `name` succeeded, from the agent's "ProcessKiller"
// value and the process list it left: true only when it reported
// "Success." and `name` (exact case) is gone from the list. Otherwise
// *reason holds the agent's text ("Couldn't find process." when it never
// saw the name).
bool KillSucceeded(
    const QString& name, const QString& killerValue, const QStringList& remaining, QString* reason);

} // namespace cli
