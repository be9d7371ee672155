// The agent's utility modes as the desktop's device tools use them: the
// process list, the kill of a process by name and the two resets. The
// process viewer, the reset commands and quorvane-cli all go through these.
//
// Same threads as DeviceLink.h: a window calls them inside a request on the
// device session, never on its own thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QString>
#include <QStringList>

namespace devlink {

// The agent program on the device: "\Quorvane" + AgentExeName(engineVersion).
QString UtilityAgentPath(int engineVersion);

// Starts the engine-2.0 agent with `commandLine` ("-processes",
// "-killprocess NAME", "-deviceID") and waits for its end (WaitForAgent).
// The old results file, "Status" and `staleValues` are removed first, so
// nothing of an earlier run is taken for this one's. True when the agent
// started and finished; false when it could not be started (RunDeviceExe
// has said why) or the connection was lost and the user gave up.
bool RunUtilityMode(const QString& commandLine, const QStringList& staleValues = {});

// The process list the agent left in the results file: one name a line, in
// the agent's order. When the file cannot be read it is tried once more
// (DeviceTextFile waits in between); when that fails too, "Unable to open
// results file on the device." ("Error", information icon) is shown and the
// result is false.
bool ReadProcessList(QStringList* names);

// The kill command line for the agent: "-killprocess " + name.
QString KillCommandLine(const QString& name);

// Whether `name` is the agent's own process (the engine-2.0 build for the
// device's platform), which a kill must not be offered for: the agent that
// lists the processes would be ending itself.
bool IsAgentProcess(const QString& name);

// Asks the agent to restart the device: the engine-2.0 agent with
// "-softreset", or the engine-3.0 agent with "-hardreset" (which wipes it).
// Returns at once, without waiting for the restart. True when the agent was
// started; false after RunDeviceExe's message.
bool StartDeviceReset(bool hard);

} // namespace devlink
