#include "agent/CommandLine.h"

#include "exchange/AgentContract.h"
#include "exchange/Text.h"

namespace agent {

CommandLine ParseCommandLine(std::u16string_view line)
{
    using exchange::EqualsIgnoreAsciiCase;
    CommandLine result;
    if (line.empty())
        return result;
    if (EqualsIgnoreAsciiCase(line, contract::kSwitchTest)) {
        result.mode = RunMode::Test;
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchKill)) {
        result.mode = RunMode::Kill;
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchTableStruct)) {
        result.mode = RunMode::TableStruct;
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchDeviceId)) {
        result.mode = RunMode::DeviceId;
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchProcesses)) {
        result.mode = RunMode::Processes;
    } else if (line.starts_with(contract::kSwitchKillProcess)) {
        result.mode = RunMode::KillProcess;
        // The separator is skipped whatever it is; a line that ends at the
        // switch names no process rather than reading past its end.
        if (line.size() > contract::kSwitchKillProcess.size() + 1)
            result.processName = std::u16string(line.substr(contract::kSwitchKillProcess.size() + 1));
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchSoftReset)) {
        result.mode = RunMode::SoftReset;
    } else if (EqualsIgnoreAsciiCase(line, contract::kSwitchHardReset)) {
        result.mode = RunMode::HardReset;
    }
    return result;
}

} // namespace agent
