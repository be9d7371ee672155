// The upgrade hand-over: the program started from "Downloads" with
// "-upgrade" installs the downloaded release over the installation beside
// that folder, then starts the installed program.
//
//   1. The installation folder is the program's folder without its last
//      "/Downloads" (compared without regard to case).
//   2. The downloaded set is checked against its "SHA256SUMS" again; a set
//      that does not pass installs nothing.
//   3. For each file of the set, in the list's order: an existing target is
//      moved aside as "%s.old.%02d" (the first number from 00 to 99 that is
//      free and takes the move), then the downloaded file is copied in.
//   4. A copy that fails shows "Unable to copy temporary file from from: ..."
//      and undoes the hand-over: the files copied in so far are removed and
//      every file moved aside goes back, so the old installation starts.
//   5. After a complete installation the moved-aside files are deleted; one
//      that cannot be deleted (a program still running) stays as it is.
//   6. When the installation's program file exists, "Spawning a new copy of
//      Brackenloft..\r\n" is traced and it is started without arguments.
//
// Messages go through the prompt interface (caption "Error").
//
// Threads: any thread; it waits for the prompter's answers.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace update {

// Starts `program` with `arguments` on its own; true when it started.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;

// The file operations of the hand-over. Empty members use QFile and
// QProcess; tests put in a file that will not copy or a lock.
struct HandOverOperations {
    std::function<bool(const QString& from, const QString& to)> copy;
    std::function<bool(const QString& path)> remove;
    ProgramStarter start;
};

enum class HandOverResult {
    Installed,
    NotFromDownloads, // the program does not run from a "Downloads" folder
    DamagedSet, // the set failed its check; nothing was changed
    RolledBack, // a copy failed; the old installation is back
};

// The installation folder of `programDir` ("/opt/q/Downloads" -> "/opt/q");
// empty when `programDir` is not a "Downloads" folder.
QString InstallationFolderOf(const QString& programDir);

// The hand-over for the program in `programDir`, whose own file name is
// `programName`.
HandOverResult RunUpgradeHandOver(
    const QString& programDir, const QString& programName, const HandOverOperations& operations = {});

// What the main window does after a finished download: the program's own
// file in "Downloads" is started with "-upgrade". Empty when it started (the
// window should close); otherwise the text of the "Error" box to show:
// "Unable to find new version of application to run:\r\n" and the path, or,
// when it would not start, "Unable to launch a new copy of our .exe :\r\n"
// and the path.
QString LaunchDownloadedProgram(const ProgramStarter& start = {});

} // namespace update
