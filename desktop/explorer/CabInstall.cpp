#include "desktop/explorer/CabInstall.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceRegistryTree.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/CabHeader.h"
#include "platform/rapi/Rapi.h"

#include <vector>

namespace explorer {
namespace {

const QString kAppsKey = QStringLiteral("Software\\Apps\\");

// Up to the header read size of the file's first bytes; false when the file
// cannot be opened or read.
bool ReadLeadingBytes(const QString& devicePath, std::vector<std::uint8_t>* bytes)
{
    HANDLE file
        = devlink::RapiCeCreateFile(devicePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE || file == HANDLE(-2))
        return false;
    bytes->assign(exchange::kCabHeaderReadSize, 0);
    DWORD total = 0;
    bool ok = true;
    // One read may return less than asked; keep reading to the size or the end.
    while (total < bytes->size()) {
        DWORD got = 0;
        if (!CeReadFile(file, bytes->data() + total, DWORD(bytes->size() - total), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        total += got;
    }
    CeCloseHandle(file);
    bytes->resize(total);
    return ok;
}

bool ProcessRuns(quint32 processId)
{
    std::vector<CEPROCESSENTRY> processes;
    if (!CeGetProcessList(&processes))
        return true; // unknown: keep waiting for the CAB
    for (const CEPROCESSENTRY& p : processes)
        if (p.dwProcessId == processId)
            return true;
    return false;
}

} // namespace

devlink::CopyOutcome CopyCabToDevice(
    const QString& localPath, const QString& devicePath, const devlink::CopyProgress& progress)
{
    return devlink::CopyFileToDevice(localPath, devicePath, progress);
}

CabPackage ReadCabPackage(const QString& devicePath)
{
    CabPackage package;
    package.devicePath = devicePath;
    std::vector<std::uint8_t> bytes;
    if (!ReadLeadingBytes(devicePath, &bytes))
        return package;
    exchange::CabApplication application;
    if (exchange::ReadCabApplication(bytes, application) != exchange::CabHeaderResult::Named)
        return package;
    package.applicationName = QString::fromLatin1(exchange::CabApplicationName(application));
    package.named = true;
    package.alreadyInstalled = CabApplicationInstalled(package.applicationName);
    return package;
}

bool CabApplicationInstalled(const QString& applicationName)
{
    return devlink::DeviceRegValueExists(
        HKEY_LOCAL_MACHINE, kAppsKey + applicationName, QStringLiteral("InstallDir"));
}

QString CabInstallCommandLine(const QString& devicePath, bool keepCab, bool shortOptions)
{
    const QString quoted = QLatin1Char('"') + devicePath + QLatin1Char('"');
    if (!keepCab)
        return quoted;
    return (shortOptions ? QStringLiteral("/delete 0 ") : QStringLiteral("/noaskdest /delete 0 ")) + quoted;
}

bool DeviceTakesShortCabOptions()
{
    return devlink::IsSmartphoneDevice() || devlink::IsWindowsCEDevice() || devlink::DeviceOsAtLeast5();
}

bool CabSettingChecked(const QString& name)
{
    quint32 value = 1;
    return !settings::ReadDword(name, &value) || value == 1;
}

bool StartCabInstaller(const CabPackage& package, bool keepCab, bool skipReinstallWarning, quint32* processId)
{
    // Only a name read from the package names its key; "(Unknown)" never
    // reaches the registry.
    if (skipReinstallWarning && package.alreadyInstalled && package.named) {
        const std::u16string key = devlink::DevicePath(kAppsKey + package.applicationName);
        CeRegDeleteKey(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(key.c_str()));
    }
    DWORD id = 0;
    const bool started = devlink::RunDeviceExe(kCabInstallerExe,
        CabInstallCommandLine(package.devicePath, keepCab, DeviceTakesShortCabOptions()), true, &id);
    if (processId)
        *processId = id;
    return started;
}

InstallerWait WaitForCabInstaller(const QString& devicePath, quint32 processId, int seconds,
    const std::function<void(int)>& tick, const std::function<bool()>& cancelled)
{
    for (int second = 1; second <= seconds; ++second) {
        if (!devlink::DeviceFileExists(devicePath))
            return InstallerWait::CabRemoved;
        if (processId != 0 && !ProcessRuns(processId))
            return devlink::DeviceFileExists(devicePath) ? InstallerWait::InstallerEnded
                                                         : InstallerWait::CabRemoved;
        if (cancelled && cancelled())
            return InstallerWait::Cancelled;
        devlink::WaitWithMessages(1000);
        if (tick)
            tick(second);
    }
    return devlink::DeviceFileExists(devicePath) ? InstallerWait::TimedOut : InstallerWait::CabRemoved;
}

} // namespace explorer
