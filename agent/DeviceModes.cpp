#include "agent/DeviceModes.h"

#include "agent/DeviceOutputFile.h"
#include "exchange/AgentContract.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"
#include "platform/ce/Ce.h"

#include <vector>

namespace agent {

namespace {

// The list buffer: 60,000 bytes are usable.
constexpr std::size_t kProcessListChars = 60000 / sizeof(char16_t);

std::u16string_view ExeName(const ce::PROCESSENTRY32& entry)
{
    std::u16string_view name(entry.szExeFile, MAX_PATH);
    return name.substr(0, name.find(u'\0'));
}

void AppendListed(std::u16string& list, std::u16string_view name)
{
    if (list.size() + name.size() + 2 > kProcessListChars)
        return;
    list += name;
    list += u"\r\n";
}

} // namespace

bool ListProcesses(AgentContext& context, std::u16string_view killName)
{
    AgentStatus& status = context.status;
    status.LogLine(u"Creating list of processes.");
    DeviceOutputFile results(context.files);
    if (!results.Create(contract::kResultsFilePath))
        return false;

    std::u16string list;
    list.reserve(kProcessListChars);
    status.LogLine(u"Opening snapshot.");
    HANDLE snapshot = ce::CreateToolhelp32Snapshot(ce::TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        results.Commit();
        return false;
    }
    status.LogLine(u"Enumerating processes...");

    bool found = false;
    bool killed = false;
    ce::PROCESSENTRY32 entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ce::Process32First(snapshot, &entry); more; more = ce::Process32Next(snapshot, &entry)) {
        std::u16string_view name = ExeName(entry);
        status.LogLine(exchange::Format(u"Found process: %s", name));
        if (killName.empty() || name != killName) {
            AppendListed(list, name);
            continue;
        }
        status.LogLine(exchange::Format(u"Killing \"%s\"...", name));
        found = true;
        HANDLE process = ce::OpenProcess(ce::PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (!process) {
            status.SetStatusValue(contract::kProcessKiller, contract::kKillCannotOpen);
            AppendListed(list, name);
            continue;
        }
        if (ce::TerminateProcess(process, 0)) {
            status.LogVerdict(true);
            status.SetStatusValue(contract::kProcessKiller, contract::kKillSucceeded);
            status.SetStatus(contract::kKillSucceeded);
            killed = true;
        } else {
            status.LogVerdict(false);
            status.SetStatusValue(contract::kProcessKiller, contract::kKillFailed);
            status.SetStatus(contract::kKillFailed);
            AppendListed(list, name);
        }
        ce::CloseHandle(process);
    }
    status.LogLine(u"Closing snapshot.");
    ce::CloseToolhelp32Snapshot(snapshot);
    std::string bytes = exchange::ToUtf16LeBytes(list);
    results.Write(bytes.data(), bytes.size());
    results.Commit();

    if (killName.empty())
        return true;
    if (!found)
        status.SetStatus(contract::kKillNotFound);
    return killed;
}

std::u16string SelectDeviceId(std::span<const std::uint8_t> identifier)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string hex;
    hex.reserve(identifier.size() * 2);
    for (std::uint8_t byte : identifier) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0F];
    }
    auto part = [&](std::size_t from, std::size_t count) {
        return from < hex.size() ? hex.substr(from, count) : std::u16string();
    };
    return part(40, 2) + part(45, 9) + part(70, 6);
}

std::u16string ReadDeviceId()
{
    std::uint8_t buffer[4096];
    DWORD returned = 0;
    if (!ce::KernelIoControl(ce::IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer, sizeof buffer, &returned))
        return {};
    return SelectDeviceId(
        std::span<const std::uint8_t>(buffer, std::min<std::size_t>(returned, sizeof buffer)));
}

void ResetDevice(AgentContext& context, bool clean)
{
    if (clean) {
        context.status.LogLine(u"Hard reseting device..");
        ce::Sleep(1000);
        ce::SetCleanRebootFlag();
    } else {
        ce::Sleep(1000);
        context.status.LogLine(u"Soft reseting device..");
    }
    ce::KernelIoControl(ce::IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr);
}

void StopOtherAgents()
{
    HANDLE snapshot = ce::CreateToolhelp32Snapshot(ce::TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    const DWORD self = ce::GetCurrentProcessId();
    std::vector<ce::PROCESSENTRY32> processes;
    ce::PROCESSENTRY32 entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ce::Process32First(snapshot, &entry); more; more = ce::Process32Next(snapshot, &entry))
        processes.push_back(entry);
    ce::CloseToolhelp32Snapshot(snapshot);
    // The engine-2.0 agent that handed its request to this one is ending by
    // itself; stopping it would only cost the pause below.
    DWORD handedOverBy = 0;
    for (const auto& process : processes) {
        if (process.th32ProcessID == self && contract::IsAgentExecutable(ExeName(process)))
            handedOverBy = process.th32ParentProcessID;
    }
    for (const auto& process : processes) {
        std::u16string_view name = ExeName(process);
        if (!contract::IsAgentExecutable(name) || process.th32ProcessID == self
            || (handedOverBy != 0 && process.th32ProcessID == handedOverBy))
            continue;
        exchange::DebugOutput(exchange::Format(u"Another copy of %s is already running...", name));
        HANDLE handle = ce::OpenProcess(ce::PROCESS_TERMINATE, FALSE, process.th32ProcessID);
        if (!handle)
            continue;
        if (ce::TerminateProcess(handle, 0)) {
            exchange::DebugOutput(u"terminated !\r\n");
            ce::Sleep(2000);
        } else {
            exchange::DebugOutput(u"couldn't be stopped.\r\n");
        }
        ce::CloseHandle(handle);
    }
}

} // namespace agent
