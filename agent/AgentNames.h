// The executable names of the agents on the device: the old agent name and
// the six agent builds. The agent and the stopper end running copies of all
// of them. Header only, so that the stopper needs nothing else of the agent.
#pragma once

#include "exchange/Text.h"

#include <array>
#include <string_view>

namespace agent {

// The old agent name that every agent and the stopper end on sight.
inline constexpr std::u16string_view kOldAgentExe = u"Pelmorra.exe";

// The executables of the six agent builds, as they lie on the device.
inline constexpr std::array<std::u16string_view, 6> kAgentExecutables = {
    u"Quorvane2003.exe",
    u"Quorvane2005.exe",
    u"QuorvaneSP2003.exe",
    u"QuorvaneSP2005.exe",
    u"QuorvaneWCE2003.exe",
    u"QuorvaneWCE2005.exe",
};

// True when `exeName` (a file name without folder) is the old agent name or
// one of the six agent executables, compared without regard to case.
inline bool IsAgentExecutable(std::u16string_view exeName)
{
    if (exchange::EqualsIgnoreAsciiCase(exeName, kOldAgentExe))
        return true;
    for (auto name : kAgentExecutables) {
        if (exchange::EqualsIgnoreAsciiCase(exeName, name))
            return true;
    }
    return false;
}

} // namespace agent
