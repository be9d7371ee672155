// The agent's device utility modes: the process list, killing a process by
// name, the device identifier, soft and hard reset; and the stopping of
// stale agents that every ordinary run does first.
#pragma once

#include "agent/AgentContext.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace agent {

// Writes the running processes' executable names, each followed by "\r\n",
// as the results file. With a `killName`, every process of exactly that
// name is terminated first and left out of the list when that worked
// ("ProcessKiller" and "Status" tell how it went). Returns true for a plain
// list; with a name, whether a process was killed ("Status" := "Couldn't
// find process." when none had the name).
bool ListProcesses(AgentContext& context, std::u16string_view killName);

// The device identifier as "DeviceID" holds it: every byte as two upper-case
// hex digits, then the 2 digits from position 40, the 9 from 45 and the 6
// from 70 (what lies inside a shorter text).
std::u16string SelectDeviceId(std::span<const std::uint8_t> identifier);

// Asks the device for its identifier; empty when it cannot be read.
std::u16string ReadDeviceId();

// Restarts the device; `clean` wipes it (the hard reset). Returns only when
// the device cannot restart.
void ResetDevice(AgentContext& context, bool clean);

// Ends every other running agent: the old agent name and the six agent
// executables, never this process. Waits 2 seconds after each one ended.
void StopOtherAgents();

} // namespace agent
