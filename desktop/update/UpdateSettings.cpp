#include "desktop/update/UpdateSettings.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/AgentContract.h"

#include <QFileInfo>
#include <QHostAddress>

namespace update {
namespace {

bool ReadFlag(const QString& name)
{
    quint32 value = 1;
    settings::ReadDword(name, &value);
    return value != 0;
}

QString FromU16(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

} // namespace

bool IsLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString DefaultUpdateLocation()
{
    return QStringLiteral(QUORVANE_UPDATE_LOCATION);
}

QString UpdateLocation()
{
    QString location;
    settings::ReadString(QStringLiteral("UpdateLocation"), &location);
    location = location.trimmed();
    return location.isEmpty() ? DefaultUpdateLocation() : location;
}

bool CheckUpdateLocation(const QString& location, QUrl* folder, QString* error)
{
    QUrl url(location, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https");
    const bool local = scheme == QLatin1String("http") && IsLoopbackHost(url.host());
    if (!url.isValid() || url.host().isEmpty() || !(secure || local) || url.hasQuery() || url.hasFragment()) {
        *error
            = QStringLiteral("The update location \"%1\" is not a secure (https) web address.").arg(location);
        return false;
    }
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    *folder = url;
    return true;
}

QString DownloadFolder()
{
    return devlink::GetProgramDir() + QStringLiteral("/Downloads");
}

QStringList ReleaseFiles()
{
    QStringList files { QFileInfo(devlink::GetProgramPath()).fileName() };
    for (const contract::AgentBuild& build : contract::kAgentBuilds)
        files.append(FromU16(contract::DesktopCopyName(build.exeName)));
    files.append(FromU16(contract::DesktopCopyName(contract::kStopperExe)));
    return files;
}

bool UpdateAnnouncementWanted()
{
    return ReadFlag(QStringLiteral("CheckForUpdates")) && ReadFlag(QStringLiteral("TellMeAboutUpdates"));
}

bool UpdateCheckWanted()
{
    return ReadFlag(QStringLiteral("CheckForUpdates"));
}

} // namespace update
