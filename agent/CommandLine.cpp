#include "agent/CommandLine.h"

#include "exchange/Text.h"

namespace agent {

CommandLine ParseCommandLine(std::u16string_view line)
{
    using exchange::EqualsIgnoreAsciiCase;
    CommandLine result;
    if (line.empty())
        return result;
    constexpr std::u16string_view kKillProcess = u"-killprocess";
    if (EqualsIgnoreAsciiCase(line, u"-test")) {
        result.mode = RunMode::Test;
    } else if (EqualsIgnoreAsciiCase(line, u"-kill")) {
        result.mode = RunMode::Kill;
    } else if (EqualsIgnoreAsciiCase(line, u"-tableStruct")) {
        result.mode = RunMode::TableStruct;
    } else if (EqualsIgnoreAsciiCase(line, u"-deviceID")) {
        result.mode = RunMode::DeviceId;
    } else if (EqualsIgnoreAsciiCase(line, u"-processes")) {
        result.mode = RunMode::Processes;
    } else if (line.starts_with(kKillProcess)) {
        result.mode = RunMode::KillProcess;
        // The separator is skipped whatever it is; a line that ends at the
        // switch names no process rather than reading past its end.
        if (line.size() > kKillProcess.size() + 1)
            result.processName = std::u16string(line.substr(kKillProcess.size() + 1));
    } else if (EqualsIgnoreAsciiCase(line, u"-softreset")) {
        result.mode = RunMode::SoftReset;
    } else if (EqualsIgnoreAsciiCase(line, u"-hardreset")) {
        result.mode = RunMode::HardReset;
    }
    return result;
}

} // namespace agent
