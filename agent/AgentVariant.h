// What differs between the agent's builds: the engine version it serves,
// the provider class it loads, its engine texts, and the names of every
// agent executable (so that stale agents of any build can be stopped).
//
// Pure data; safe from any thread.
#pragma once

#include <array>
#include <string_view>

namespace agent {

struct AgentVariant {
    int engineVersion; // 2 or 3
    std::u16string_view engineClass; // the provider class identifier
    std::u16string_view engineText; // "v2.0" / "v3.0": the results file's error block
    std::u16string_view versionDigit; // "2" / "3": the value "SQLCEversion"
    std::u16string_view librariesLine; // the verbose log line naming the engine libraries
    std::u16string_view openingLine; // the log line before the data source opens
};

// The engine-2.0 and engine-3.0 builds.
const AgentVariant& Engine20Variant();
const AgentVariant& Engine30Variant();
const AgentVariant& VariantFor(int engineVersion);

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
bool IsAgentExecutable(std::u16string_view exeName);

} // namespace agent
