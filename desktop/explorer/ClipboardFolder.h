// The two temporary folders that hold PC copies of device files handed to
// other programs: "Clipboard" for the clipboard and "DragnDrop" for a drag,
// both in the desktop cache folder (QUORVANE_HOME moves it).
//
// Pure file work; safe from any thread.
#pragma once

#include <QString>

namespace explorer {

QString ClipboardDir();
QString DragDropDir();

// Creates `dir` when missing, else deletes everything below it. False when
// it could not be made or emptied.
bool PrepareTempDir(const QString& dir);
// Deletes everything below `dir` (nothing when it is missing).
bool EmptyTempDir(const QString& dir);

// How the progress dialog names a PC path: "Clipboard" inside the clipboard
// folder, "Drag'n'drop" inside the drag folder, else the path itself.
QString CopyPathText(const QString& path);

} // namespace explorer
