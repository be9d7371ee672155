#include "desktop/explorer/CabInstallerController.h"

#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"

namespace explorer {

CabInstallerController::CabInstallerController(const QString& devicePath, QObject* parent)
    : QObject(parent)
    , m_dontDeleteCab(CabSettingChecked(kDontDeleteCabSetting))
    , m_skipWarning(CabSettingChecked(kSkipOverwriteCabWarningSetting))
{
    m_package.devicePath = devicePath;
}

CabInstallerController::~CabInstallerController()
{
    devlink::DeviceSession::Instance().Forget(this);
}

QString CabInstallerController::skipWarningText() const
{
    return QStringLiteral("Skip the \"%1 is already installed.  Re-install?\" warning on the device.")
        .arg(m_package.applicationName);
}

void CabInstallerController::Load()
{
    auto package = std::make_shared<CabPackage>();
    const QString path = m_package.devicePath;
    devlink::DeviceSession::Instance().Start(
        this, [package, path](devlink::RequestContext&) { *package = ReadCabPackage(path); },
        [this, package](devlink::RequestEnd end) {
            if (end == devlink::RequestEnd::Ran)
                m_package = *package;
            m_loaded = true;
            emit loadedChanged();
        });
}

void CabInstallerController::Install(bool dontDeleteCab, bool skipWarning)
{
    settings::WriteDword(kDontDeleteCabSetting, dontDeleteCab ? 1 : 0);
    settings::WriteDword(kSkipOverwriteCabWarningSetting, skipWarning ? 1 : 0);
    auto started = std::make_shared<bool>(false);
    const CabPackage package = m_package;
    // The skip box only counts where it is shown: for an installed application.
    const bool skip = skipWarning && package.alreadyInstalled;
    devlink::DeviceSession::Instance().Start(
        this,
        [package, dontDeleteCab, skip, started](devlink::RequestContext&) {
            *started = StartCabInstaller(package, dontDeleteCab, skip, nullptr);
        },
        [this, started](devlink::RequestEnd) { emit installStarted(*started); });
}

} // namespace explorer
