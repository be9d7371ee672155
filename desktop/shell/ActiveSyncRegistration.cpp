#include "desktop/shell/ActiveSyncRegistration.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"

namespace shell {

bool RegisterWithActiveSync(const QString& programPath)
{
    devlink::TraceLine(QStringLiteral("Setting up ActiveSync link...\r\n"));
    const QString quoted = QLatin1Char('"') + programPath + QLatin1Char('"');
    const bool connect = settings::WriteString(
        kAutoStartOnConnectKey, QStringLiteral("Quorvane"), quoted + QStringLiteral(" -connected"));
    const bool disconnect = settings::WriteString(
        kAutoStartOnDisconnectKey, QStringLiteral("Quorvane"), quoted + QStringLiteral(" -disconnected"));
    return connect && disconnect;
}

} // namespace shell
