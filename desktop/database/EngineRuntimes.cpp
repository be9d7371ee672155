#include "desktop/database/EngineRuntimes.h"

#include "desktop/explorer/CabInstall.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceRegistryTree.h"
#include "desktop/settings/SettingsStore.h"

#include <QFileInfo>

namespace database {
namespace {

const QString kDevicePleaseCheck = QStringLiteral("Please check for messages on your device's screen.");

RuntimeChoice ChoiceFor(const QString& version, bool installed, bool cabsPresent)
{
    if (installed)
        return { false, false, QStringLiteral("SQLCE %1 is already installed on your device.").arg(version) };
    if (!cabsPresent)
        return { false, false,
            QStringLiteral("Error: SQLCE %1 is not installed on your device, but cannot find the SQLCE %1 "
                           "library file(s).")
                .arg(version) };
    return { true, true, QStringLiteral("SQLCE %1 is not currently installed on your device.").arg(version) };
}

void Tell(const std::function<void(const QString&)>& hook, const QString& text)
{
    if (hook)
        hook(text);
}

} // namespace

RuntimePresence ReadRuntimePresence()
{
    const QString classes = QStringLiteral("CLSID\\");
    return { devlink::DeviceRegKeyExists(HKEY_CLASSES_ROOT, classes + kEngine20Clsid),
        devlink::DeviceRegKeyExists(HKEY_CLASSES_ROOT, classes + kEngine30Clsid) };
}

QStringList RuntimeCabNames(int engine, bool osAtLeast5)
{
    if (engine != 3)
        return { QStringLiteral("sqlce.wce4.armv4.cab") };
    if (osAtLeast5)
        return { QStringLiteral("sqlce30.ppc.wce5.armv4i.cab"),
            QStringLiteral("sqlce30.repl.wce5.armv4i.cab") };
    return { QStringLiteral("sqlce30.ppc.wce4.armv4.cab"),
        QStringLiteral("sqlce30.repl.ppc.wce4.armv4.cab") };
}

bool RuntimeCabsPresent(const QStringList& names, const QString& directory)
{
    for (const QString& name : names)
        if (!QFileInfo(directory + QLatin1Char('/') + name).isFile())
            return false;
    return true;
}

bool DisplayWhenDeviceConnects()
{
    quint32 value = 1;
    return !settings::ReadDword(kDisplayWhenDeviceConnects, &value) || value != 0;
}

bool SetDisplayWhenDeviceConnects(bool display)
{
    return settings::WriteDword(kDisplayWhenDeviceConnects, display ? 1 : 0);
}

bool ShowRuntimeWindow(bool manual, const RuntimePresence& presence, bool displayWhenDeviceConnects)
{
    if (manual)
        return true;
    return !(presence.has20 && presence.has30) && displayWhenDeviceConnects;
}

RuntimeWindowTexts RuntimeWindowState(const RuntimePresence& presence, bool cabs20Present, bool cabs30Present)
{
    RuntimeWindowTexts texts;
    if (!presence.has20 && !presence.has30)
        texts.status = QStringLiteral(
            "This device does not have any of the Microsoft SQLCE libraries installed on it.");
    else if (!presence.has20)
        texts.status
            = QStringLiteral("This device does not have the Microsoft SQLCE 2.0 libraries installed on it.");
    else if (!presence.has30)
        texts.status
            = QStringLiteral("This device does not have the Microsoft SQLCE 3.0 libraries installed on it.");
    else
        texts.status = QStringLiteral("This device has all SQLCE 2.0 and 3.0 libraries installed on it.");
    texts.engine20 = ChoiceFor(QStringLiteral("2.0"), presence.has20, cabs20Present);
    texts.engine30 = ChoiceFor(QStringLiteral("3.0"), presence.has30, cabs30Present);
    return texts;
}

RuntimeInstallEnd InstallRuntimeCabs(
    const QStringList& localPaths, const RuntimeInstallHooks& hooks, const RuntimeInstallTiming& timing)
{
    for (const QString& localPath : localPaths) {
        const QString name = QFileInfo(localPath).fileName();
        const QString devicePath = QLatin1Char('\\') + name;
        Tell(hooks.installing, name);
        Tell(hooks.status, QStringLiteral("Copying file to device.."));
        devlink::WaitWithMessages(timing.beforeCopyMs);
        const bool copied = hooks.copy ? hooks.copy(localPath, devicePath)
                                       : explorer::CopyCabToDevice(localPath, devicePath).copied();
        if (!copied)
            return RuntimeInstallEnd::CopyFailed;
        Tell(hooks.status,
            QStringLiteral("Installing \"%1\" on the device...\r\n").arg(name) + kDevicePleaseCheck);
        if (!devlink::RunDeviceExe(
                explorer::kCabInstallerExe, QLatin1Char('"') + devicePath + QLatin1Char('"'), true))
            return RuntimeInstallEnd::StartFailed;
        devlink::WaitWithMessages(timing.afterStartMs);
        explorer::WaitForCabInstaller(devicePath, 0, timing.waitSeconds, [&](int seconds) {
            Tell(hooks.status,
                QStringLiteral("00:%1: Waiting for %2 to finish installing...\r\n")
                        .arg(seconds, 2, 10, QLatin1Char('0'))
                        .arg(name)
                    + kDevicePleaseCheck);
        });
        devlink::WaitWithMessages(timing.afterRemovedMs);
    }
    return RuntimeInstallEnd::Done;
}

} // namespace database
