// Whole-file copies between this machine and the device, in blocks of 60000
// bytes, that never leave half a file under the final name, whichever way
// they end (a failure, a cancel, or the program killed):
//
//   to the device    the bytes go to a temporary name beside the target
//                    (TemporaryNameBeside); only when every byte arrived and
//                    the file was closed does it take the target's name. The
//                    device cannot rename over an existing file, so an old
//                    target is first moved aside and removed once the new
//                    file is in place (and put back when that fails). On any
//                    failure or cancel the temporary file is removed.
//   from the device  the caller's side decides: CopyFromDeviceToFile writes
//                    through QSaveFile, which renames into place on success
//                    and removes its temporary file otherwise.
//
// A copy sees a cancel through the cancel token of the request it runs for
// (CancelRequested, checked after each block). Run it on the device
// session's worker (DeviceSession), or on a command-line program's main
// thread; it uses the program's device connection. No prompts: the caller
// reports a failure in its own words from the CopyOutcome.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QString>

#include <functional>

class QIODevice;

namespace devlink {

inline constexpr DWORD kCopyBlockBytes = 60000;

// Called on the copying thread after each block (and once before the first):
// the bytes copied so far and the total (-1 while unknown, as for a pipe).
using CopyProgress = std::function<void(quint64 copied, qint64 total)>;

struct CopyOutcome {
    enum class End { Copied, Cancelled, Failed };
    // Where a failed copy stopped.
    enum class Step {
        None,
        OpenSource, // the source could not be opened (device file, or local file)
        CreateTarget, // the target (or its temporary file) could not be made
        Read, // reading the source failed
        Write, // writing the target failed (disk full, connection lost)
        Replace, // the finished copy could not take the target's name
    };
    End end = End::Failed;
    Step step = Step::None;
    DWORD deviceError = 0; // the device's error code (or the transport's) of a device step, else 0
    QString localError; // the text of a failed local step, else empty

    bool copied() const { return end == End::Copied; }
    // The connection to the device broke on the way (the device stopped or
    // went away), rather than the device refusing something.
    bool connectionLost() const
    {
        return deviceError == DWORD(RAPI_E_NOT_CONNECTED) || deviceError == DWORD(RAPI_E_CONNECTION_LOST);
    }
};

// The name a copy to `target` writes first: the target's folder, its name, a
// random part and ".tmp" ("\Temp\a.txt" -> "\Temp\a.txt.~3f9a1c2e.tmp").
QString TemporaryNameBeside(const QString& target);

// Copies what `source` (open for reading) yields until its end to the device
// file `target`, replacing a file of that name. A target that cannot be
// written (read-only, open on the device) fails before any byte is sent,
// with the device's error for it. Unknown sizes (a pipe) are fine.
CopyOutcome CopyToDevice(QIODevice& source, const QString& target, const CopyProgress& progress = {});
// The same from a local file.
CopyOutcome CopyFileToDevice(
    const QString& localPath, const QString& target, const CopyProgress& progress = {});

// Copies the device file `source` into `target` (open for writing), block by
// block. `target` may hold part of the file when this fails or is cancelled.
CopyOutcome CopyFromDevice(const QString& source, QIODevice& target, const CopyProgress& progress = {});
// The same into a local file, which appears whole or not at all (QSaveFile).
CopyOutcome CopyFromDeviceToFile(
    const QString& source, const QString& localPath, const CopyProgress& progress = {});

} // namespace devlink
