// The agent's command line: the whole line is one token that selects a run
// mode. Every switch but "-killprocess" must equal the whole line, compared
// without regard to case; "-killprocess" is matched with case against the
// line's beginning, and the process name starts one character after it.
// Any other text is an ordinary run.
//
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace agent {

enum class RunMode {
    Ordinary,
    Test, // "-test"
    Kill, // "-kill"
    TableStruct, // "-tableStruct": a log line, then an ordinary run
    DeviceId, // "-deviceID": writes "DeviceID", then an ordinary run
    Processes, // "-processes"
    KillProcess, // "-killprocess" SEP name
    SoftReset, // "-softreset"
    HardReset, // "-hardreset"
};

struct CommandLine {
    RunMode mode = RunMode::Ordinary;
    std::u16string processName; // KillProcess only; empty when the line ends after the switch
};

CommandLine ParseCommandLine(std::u16string_view line);

} // namespace agent
