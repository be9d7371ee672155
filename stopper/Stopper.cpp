#include "stopper/Stopper.h"

#include "exchange/AgentContract.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"
#include "platform/ce/Ce.h"

#include <string_view>

namespace stopper {

namespace {

// The stopper's own key, and the agent key the desktop reads.
constexpr std::u16string_view kKeys[] = { contract::kStopperKey, contract::kAgentKey };

void SetCancelStatus(std::u16string_view text)
{
    for (std::u16string_view path : kKeys) {
        HKEY key = 0;
        if (ce::RegCreateKeyEx(
                HKEY_LOCAL_MACHINE, path.data(), 0, nullptr, 0, ce::KEY_ALL_ACCESS, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            continue;
        ce::RegSetValueEx(key, contract::kCancelStatus.data(), 0, REG_SZ,
            reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size() * sizeof(char16_t)));
        ce::RegCloseKey(key);
    }
}

} // namespace

std::optional<std::vector<RunningProcess>> CeProcesses::Snapshot()
{
    HANDLE snapshot = ce::CreateToolhelp32Snapshot(ce::TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<RunningProcess> processes;
    ce::PROCESSENTRY32 entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ce::Process32First(snapshot, &entry); more; more = ce::Process32Next(snapshot, &entry)) {
        std::u16string_view name(entry.szExeFile, MAX_PATH);
        processes.push_back({ entry.th32ProcessID, std::u16string(name.substr(0, name.find(u'\0'))) });
    }
    ce::CloseToolhelp32Snapshot(snapshot);
    return processes;
}

DWORD CeProcesses::SelfId()
{
    return ce::GetCurrentProcessId();
}

ProcessControl::Ending CeProcesses::End(DWORD id)
{
    HANDLE process = ce::OpenProcess(ce::PROCESS_TERMINATE, FALSE, id);
    if (!process)
        return Ending::CannotOpen;
    Ending ending = ce::TerminateProcess(process, 0) ? Ending::Ended : Ending::Refused;
    ce::CloseHandle(process);
    return ending;
}

void CeProcesses::Sleep(DWORD milliseconds)
{
    ce::Sleep(milliseconds);
}

void StopAgents(ProcessControl& processes)
{
    SetCancelStatus(contract::kWait);
    if (auto running = processes.Snapshot()) {
        const DWORD self = processes.SelfId();
        for (const RunningProcess& process : *running) {
            if (!contract::IsAgentExecutable(process.exeName) || process.id == self)
                continue;
            exchange::DebugOutput(exchange::Format(u"Found a copy of %s running...", process.exeName));
            switch (processes.End(process.id)) {
            case ProcessControl::Ending::CannotOpen:
                break;
            case ProcessControl::Ending::Ended:
                exchange::DebugOutput(u"terminated !\r\n");
                processes.Sleep(2000);
                break;
            case ProcessControl::Ending::Refused:
                exchange::DebugOutput(u"couldn't be stopped.\r\n");
                break;
            }
        }
    }
    SetCancelStatus(contract::kDone);
}

} // namespace stopper
