#include "cli/PackageCommands.h"

#include "cli/Interrupts.h"
#include "desktop/explorer/CabInstall.h"
#include "desktop/explorer/DatabaseSearch.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceLink.h"
#include "platform/rapi/Rapi.h"

#include <QFileInfo>

namespace cli {
namespace {

// How long the device's installer is given, as the runtime installation does.
constexpr int kInstallerSeconds = 60;

int FindDatabases(CliContext& cx, const ParsedCommand& p)
{
    const QString folder = p.arguments.isEmpty() ? QStringLiteral("\\") : p.arguments[0];
    const DWORD attributes = CeGetFileAttributes(W(folder));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return cx.Fail(QStringLiteral("find-databases: %1 is not a folder on the device").arg(folder));
    int found = 0;
    explorer::DatabaseSearchHooks hooks;
    hooks.cancelled = [] { return Interrupted(); };
    hooks.found = [&](const explorer::FoundDatabase& row) {
        ++found;
        cx.out() << QString::number(row.size).rightJustified(10) << "  " << row.dateText << "  "
                 << row.fullPath() << Qt::endl;
    };
    // Nothing on the device changes: an interrupt simply ends the walk.
    InterruptScope scope([] {}, "quorvane-cli: stopping the search");
    const bool finished = explorer::SearchDatabases(folder, !p.Has(QStringLiteral("windows")), hooks);
    cx.err() << explorer::DatabaseSearchSummary(found, !finished) << Qt::endl;
    return finished ? kOk : kInterrupted;
}

int Install(CliContext& cx, const ParsedCommand& p)
{
    const QString local = p.arguments[0];
    const QFileInfo info(local);
    if (!info.isFile())
        return cx.Fail(QStringLiteral("install: cannot read %1").arg(local));
    if (p.Has(QStringLiteral("keep-cab")) && p.Has(QStringLiteral("delete-cab")))
        return cx.Usage(
            QStringLiteral("--keep-cab and --delete-cab exclude each other"), QStringLiteral("install"));
    const bool keepCab = p.Has(QStringLiteral("keep-cab")) ? true
        : p.Has(QStringLiteral("delete-cab"))              ? false
                                              : explorer::CabSettingChecked(explorer::kDontDeleteCabSetting);
    const QString devicePath = QLatin1Char('\\') + info.fileName();

    cx.out() << "Copying " << info.fileName() << " to " << devicePath << Qt::endl;
    {
        InterruptScope scope;
        const devlink::CopyOutcome copy = explorer::CopyCabToDevice(local, devicePath);
        if (copy.end == devlink::CopyOutcome::End::Cancelled)
            return kInterrupted;
        if (!copy.copied() && !copy.localError.isEmpty())
            return cx.Fail(QStringLiteral("cannot copy %1: %2").arg(local, copy.localError));
        if (!copy.copied())
            return cx.Failure(
                QStringLiteral("cannot copy %1 to %2").arg(local, devicePath), copy.deviceError);
    }

    const explorer::CabPackage package = explorer::ReadCabPackage(devicePath);
    cx.out() << "Installing \"" << package.applicationName << "\""
             << (package.alreadyInstalled ? " (installed already)" : "") << Qt::endl;
    quint32 processId = 0;
    const bool skipWarning = explorer::CabSettingChecked(explorer::kSkipOverwriteCabWarningSetting);
    if (!explorer::StartCabInstaller(package, keepCab, skipWarning, &processId))
        return cx.DeviceFailure(QStringLiteral("cannot start %1").arg(explorer::kCabInstallerExe));
    const explorer::InstallerWait wait = explorer::WaitForCabInstaller(
        devicePath, processId, kInstallerSeconds, {}, [] { return Interrupted(); });
    if (wait == explorer::InstallerWait::Cancelled)
        return kInterrupted;
    if (wait == explorer::InstallerWait::TimedOut)
        return cx.Fail(QStringLiteral("install: the device's installer did not finish within %1 seconds")
                           .arg(kInstallerSeconds));
    // The installer's application key says whether it worked; without a
    // name only the removal of a CAB it was to delete can tell.
    if (!package.named && wait == explorer::InstallerWait::InstallerEnded && keepCab)
        return cx.Fail(QStringLiteral("install: the installer has ended, but %1 names no application, so "
                                      "whether it was installed cannot be checked (--delete-cab lets its "
                                      "removal tell)")
                           .arg(devicePath));
    const bool installed = package.named ? explorer::CabApplicationInstalled(package.applicationName)
                                         : wait == explorer::InstallerWait::CabRemoved;
    if (!installed)
        return cx.Fail(QStringLiteral("install: the device's installer did not install %1").arg(devicePath));
    cx.out() << "Installed \"" << package.applicationName << "\"" << Qt::endl;
    return kOk;
}

} // namespace

Command FindDatabasesCommand()
{
    return { { QStringLiteral("find-databases"), QStringLiteral("[FOLDER]"),
                 QStringLiteral("search a device folder tree for SQLCE databases"),
                 QStringLiteral(
                     "Searches a device folder (default \"\\\") and everything below it for databases\n"
                     "(files whose name ends in \"sdf\") and prints each one's size, last write time\n"
                     "(dd/mm/yy hh:mm) and full path, in the order the device lists its folders.\n"
                     "The folder \"\\Windows\" is left out unless --windows is given. The count\n"
                     "(\"3 SQLCE databases found.\") goes to standard error.\n"),
                 { { QStringLiteral("windows"), QString(), QStringLiteral("Search \"\\Windows\" too."),
                     QStringLiteral("w") } },
                 0, 1 },
        false, FindDatabases };
}

Command InstallCommand()
{
    return { { QStringLiteral("install"), QStringLiteral("CAB"),
                 QStringLiteral("install a CAB package on the device"),
                 QStringLiteral(
                     "Copies the CAB file of this machine to the device's root folder, starts the\n"
                     "device's installer \"\\windows\\wceload.exe\" on it and waits (up to 60 seconds)\n"
                     "until it has finished. The CAB stays on the device when the setting\n"
                     "\"DontDeleteCab\" is set (the default) or with --keep-cab; --delete-cab lets\n"
                     "the installer remove it. An application that is installed already is\n"
                     "installed again (without the device asking when \"SkipOverwriteCabWarning\"\n"
                     "is set, the default).\n"),
                 { { QStringLiteral("keep-cab"), QString(), QStringLiteral("Keep the CAB on the device."),
                       QStringLiteral("k") },
                     { QStringLiteral("delete-cab"), QString(),
                         QStringLiteral("Let the installer delete the CAB on the device."),
                         QStringLiteral("d") } },
                 1, 1 },
        false, Install };
}

} // namespace cli
