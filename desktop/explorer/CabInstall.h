// Installing a CAB package on the device, without a window: what the
// package holds (read from its first bytes on the device), whether that
// application is installed already, the installer's command line by device
// type, starting "\windows\wceload.exe", and waiting for it to finish. The
// CAB installer dialog, the engine runtime window and quorvane-cli share
// these steps.
//
// Device work uses the program's device connection: call from the device
// session's worker or a command-line program's main thread. The pure
// functions are safe from any thread.
#pragma once

#include "desktop/link/DeviceFileCopy.h"

#include <QString>

#include <functional>

namespace explorer {

inline const QString kCabInstallerExe = QStringLiteral("\\windows\\wceload.exe");
inline const QString kUnknownApplication = QStringLiteral("(Unknown)");
// Settings of the CAB installer, each read as set when missing.
inline const QString kDontDeleteCabSetting = QStringLiteral("DontDeleteCab");
inline const QString kSkipOverwriteCabWarningSetting = QStringLiteral("SkipOverwriteCabWarning");

struct CabPackage {
    QString devicePath;
    QString applicationName = kUnknownApplication; // provider, a space, application
    bool named = false; // the name was read from the package
    bool alreadyInstalled = false; // "Software\Apps\<name>" has "InstallDir"
};

// Copies a CAB of this machine to the device. The copy itself, in one place,
// so that the copy window can take it over for the windows.
devlink::CopyOutcome CopyCabToDevice(
    const QString& localPath, const QString& devicePath, const devlink::CopyProgress& progress = {});

// Reads the first bytes of the device file `devicePath` for its application
// name and looks the name up among the installed applications. A file that
// cannot be read or holds no name keeps "(Unknown)" and is not installed.
CabPackage ReadCabPackage(const QString& devicePath);

// Whether the device's installer has recorded `applicationName` as
// installed: "Software\Apps\<name>" has "InstallDir".
bool CabApplicationInstalled(const QString& applicationName);

// The installer's command line: the CAB path in double quotes, preceded,
// when the CAB is to be kept, by "/delete 0 " (Smartphone and Windows CE
// devices, and operating system 5 or later: `shortOptions`) or by
// "/noaskdest /delete 0 ".
QString CabInstallCommandLine(const QString& devicePath, bool keepCab, bool shortOptions);
// Whether the connected device takes the short options (see above).
bool DeviceTakesShortCabOptions();

// Reads a CAB installer setting: true when missing or 1.
bool CabSettingChecked(const QString& name);

// Starts the device's installer on `package`. With `skipReinstallWarning`
// and an application installed already, its "Software\Apps" key is deleted
// first so that the installer does not ask before installing again.
// *processId (when given) receives the installer's process id. False when
// the installer could not be started.
bool StartCabInstaller(
    const CabPackage& package, bool keepCab, bool skipReinstallWarning, quint32* processId);

// How a wait for the installer ended.
enum class InstallerWait {
    CabRemoved, // the installer removed the CAB: it is done
    InstallerEnded, // the installer's process ended with the CAB still there
    TimedOut, // `seconds` passed
    Cancelled, // `cancelled` said so
};

// Waits, a second at a time, up to `seconds`, while the CAB at `devicePath`
// exists and (when `processId` is not 0) the installer's process runs.
// `tick` (when given) is called after each second with the seconds so far;
// `cancelled` (when given) is asked before each wait.
InstallerWait WaitForCabInstaller(const QString& devicePath, quint32 processId, int seconds,
    const std::function<void(int)>& tick = {}, const std::function<bool()>& cancelled = {});

} // namespace explorer
