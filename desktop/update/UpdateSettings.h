// The online update's settings: where it looks for releases, where it keeps
// what it fetched, which files make a release, and whether it checks and
// tells.
//
//   "UpdateLocation"   text setting: the web folder that serves "Version.txt",
//                      "SHA256SUMS" and the release's files. Missing or
//                      empty: the location fixed at build time
//                      (QUORVANE_UPDATE_LOCATION in CMake).
//   "Downloads"        the folder beside the program that receives a
//                      downloaded release (GetProgramDir() + "/Downloads").
//
// Only https locations are used; plain http only for a loopback address,
// where nothing crosses a network.
//
// Threads: safe from any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace update {

// The location built into the program.
QString DefaultUpdateLocation();
// The location in use: the setting, else the built-in one.
QString UpdateLocation();

// Checks `location` and returns it as a folder URL (ending in "/"); false
// and *error (a text for the user) when it is not https or loopback http.
bool CheckUpdateLocation(const QString& location, QUrl* folder, QString* error);

// "localhost" or a loopback address.
bool IsLoopbackHost(const QString& host);

// GetProgramDir() + "/Downloads".
QString DownloadFolder();

// The files of a release, in the order they are fetched: the desktop
// program under its own file name on this system, the six agent builds and
// the stopper under their desktop names.
QStringList ReleaseFiles();

// Whether the start-up check may announce a new release: "CheckForUpdates"
// and "TellMeAboutUpdates" both non-zero (each 1 when missing).
bool UpdateAnnouncementWanted();
// "CheckForUpdates", 1 when missing.
bool UpdateCheckWanted();

} // namespace update
