// Which database engine runtimes the device has, what the runtime window
// shows about them, and their installation from the CAB files beside the
// program, without a window. The runtime window and its automatic check
// after each connection are built on these.
//
// Device work (ReadRuntimePresence, InstallRuntimeCabs) uses the program's
// device connection: call it from the device session's worker or a
// command-line program's main thread. The rest are pure functions (or read
// the desktop's settings and files), safe from the window thread.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace database {

inline const QString kEngine20Clsid = QStringLiteral("{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}");
inline const QString kEngine30Clsid = QStringLiteral("{32ce2952-2585-49a6-aeff-1732076c2945}");
inline const QString kDisplayWhenDeviceConnects = QStringLiteral("DisplayWhenDeviceConnects");

struct RuntimePresence {
    bool has20 = false;
    bool has30 = false;
};

// A runtime is installed when its provider's class key exists under the
// device's classes root. The key is only opened: a look that created it
// would make every device seem to have both runtimes.
RuntimePresence ReadRuntimePresence();

// The CAB files of engine 2 or 3, in the order they are installed:
// "sqlce.wce4.armv4.cab"; for engine 3 on operating system 5 or later
// "sqlce30.ppc.wce5.armv4i.cab", "sqlce30.repl.wce5.armv4i.cab", else
// "sqlce30.ppc.wce4.armv4.cab", "sqlce30.repl.ppc.wce4.armv4.cab".
QStringList RuntimeCabNames(int engine, bool osAtLeast5);
// Whether all of them are files in `directory`.
bool RuntimeCabsPresent(const QStringList& names, const QString& directory);

// "DisplayWhenDeviceConnects": true when missing or not 0.
bool DisplayWhenDeviceConnects();
bool SetDisplayWhenDeviceConnects(bool display);

// Whether a check shows the window: always when asked for from the menu;
// after a connection only when a runtime is missing and the setting allows.
bool ShowRuntimeWindow(bool manual, const RuntimePresence& presence, bool displayWhenDeviceConnects);

// One runtime's check box in the window.
struct RuntimeChoice {
    bool checked = false;
    bool enabled = false;
    QString explanation;
};

struct RuntimeWindowTexts {
    QString status;
    RuntimeChoice engine20;
    RuntimeChoice engine30;
};

// The window's status text and check boxes for what the device has and
// which CAB sets are present beside the program.
RuntimeWindowTexts RuntimeWindowState(
    const RuntimePresence& presence, bool cabs20Present, bool cabs30Present);

// The waits of an installation; tests shorten them.
struct RuntimeInstallTiming {
    int beforeCopyMs = 500;
    int afterStartMs = 2000;
    int waitSeconds = 60; // for the installer to remove the CAB
    int afterRemovedMs = 1000;
};

struct RuntimeInstallHooks {
    std::function<void(const QString& fileName)> installing; // the "Installing:" label
    std::function<void(const QString& text)> status; // the status line
    // Copies one CAB of this machine to the device; the copy window's place.
    std::function<bool(const QString& localPath, const QString& devicePath)> copy;
};

enum class RuntimeInstallEnd {
    Done, // every CAB was handed to the device's installer
    CopyFailed, // a copy failed or was cancelled: the rest was not attempted
    StartFailed, // the installer could not be started
};

// Installs `localPaths` one after the other: each is copied to "\" + its
// name, the device's installer is started on it (quietly), and the wait for
// the installer to remove it shows "00:%02d: Waiting for %s to finish
// installing..." a second at a time.
RuntimeInstallEnd InstallRuntimeCabs(
    const QStringList& localPaths, const RuntimeInstallHooks& hooks, const RuntimeInstallTiming& timing = {});

} // namespace database
