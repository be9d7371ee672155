#include "desktop/link/UtilityModes.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AgentWait.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/Prompter.h"
#include "platform/rapi/Rapi.h"

namespace devlink {

QString UtilityAgentPath(int engineVersion)
{
    return kAgentDir + AgentExeName(engineVersion);
}

bool RunUtilityMode(const QString& commandLine, const QStringList& staleValues)
{
    const std::u16string results = DevicePath(kResultsFilePath);
    CeDeleteFile(results.c_str());
    DeleteAgentRegValue(kAgentKey, ContractText(contract::kStatus));
    for (const QString& name : staleValues)
        DeleteAgentRegValue(kAgentKey, name);
    DWORD agent = 0;
    return RunDeviceExe(UtilityAgentPath(2), commandLine, true, &agent)
        && WaitForAgent(agent) == AgentWaitEnd::Finished;
}

bool ReadProcessList(QStringList* names)
{
    DeviceTextFile file;
    if (!file.Read(kResultsFilePath, true) && !file.Read(kResultsFilePath, true)) {
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unable to open results file on the device."),
            PromptIcon::Information);
        return false;
    }
    *names = file.Lines();
    return true;
}

QString KillCommandLine(const QString& name)
{
    return ContractText(contract::kSwitchKillProcess) + QLatin1Char(' ') + name;
}

bool IsAgentProcess(const QString& name)
{
    return name == AgentExeName(2).mid(1);
}

bool StartDeviceReset(bool hard)
{
    return RunDeviceExe(UtilityAgentPath(hard ? 3 : 2),
        hard ? ContractText(contract::kSwitchHardReset) : ContractText(contract::kSwitchSoftReset), true);
}

} // namespace devlink
