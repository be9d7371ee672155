// The explorer's changes on the device: deleting folders with everything
// below them (asking about read-only files), deleting one entry, choosing
// and creating new folder names, renaming, and one entry's properties.
// Messages and questions go through the prompt interface.
//
// Uses the program's device connection; call where device work may run
// (the device session's worker), never on the window thread.
#pragma once

#include "desktop/explorer/DeleteProgress.h"
#include "platform/rapi/CeTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace explorer {

// What one delete command carries through its recursion.
struct DeleteState {
    // The answer to the read-only question: ask, or the "…all" answers.
    enum class ReadOnly { Ask = 3, YesToAll = 2, NoToAll = 4 };
    ReadOnly readOnlyChoice = ReadOnly::Ask;
    // Set once a failure was reported or a file was kept: enclosing folders
    // neither report again nor try to remove themselves.
    bool stopReported = false;
    // Set when the user cancelled or the device was lost: nothing more is
    // tried.
    bool stopped = false;
    // The folders removed, deepest first.
    QStringList removedDirs;
    // When set: counts every file and folder removed, and a cancel set on it
    // stops the delete before the next entry, as a Cancel answer does.
    DeleteProgress* progress = nullptr;
};

// The files and folders below `path` (not counting `path`), for a delete's
// progress; stops early (with what it counted) once `progress` is cancelled.
// -1 when `path` cannot be read.
int CountEntriesBelow(const QString& path, const DeleteProgress* progress = nullptr);

// DeleteFilesIn's results.
inline constexpr int kFilesDeleted = 5; // every file deleted, or none there
inline constexpr int kFilesKept = 6; // at least one file kept or not deleted
inline constexpr int kDeleteCancelled = 7;

// Deletes the files (not the folders) of `path`. A read-only file is asked
// about ("This file is Read-Only.  Delete it anyway ?" under its path) unless
// an "…all" answer was given.
int DeleteFilesIn(const QString& path, DeleteState* state);

// Deletes `path` with its folders and files, deepest first; the root's
// content goes but the root stays. False when anything stayed.
bool DeleteDirectory(const QString& path, DeleteState* state);

// Deletes one file; false after reporting the failure as
// "Could not delete:\r\n%s\r\n\r\nError:\r\n%s".
bool DeleteListFile(const QString& path, const QString& name);

// True when an entry of that path exists on the device.
bool DeviceEntryExists(const QString& path);

// The first of `base`, `base` + `separator` + 1, 2, ... that does not exist in
// `directory`; nothing after `maxNumber` (0: no limit).
std::optional<QString> FreeFolderName(
    const QString& directory, const QString& base, const QString& separator, int maxNumber);

// Creates a folder; true when created.
bool CreateDeviceDirectory(const QString& path);

// Renames a device folder of the tree; false after reporting
// "Unable to rename \r\n%s\r\nto:\r\n%s.\r\n\r\nError: %s".
bool RenameTreeDirectory(const QString& from, const QString& to);

// The device error of the last failed call as text (the transport's when
// the device gave none).
QString LastDeviceErrorText();

// One entry's find record; false when it cannot be found.
bool FindEntry(const QString& path, CE_FIND_DATA* found);

} // namespace explorer
