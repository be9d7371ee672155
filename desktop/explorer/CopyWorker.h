// The copy engine behind the progress dialog, in both directions, on the
// link's whole-file copies (DeviceFileCopy.h): a device file is replaced
// only once every byte of its new content arrived, and a PC file appears
// whole or not at all.
//
//   CopyFileToDevice       one PC file into a device folder, by the overwrite
//                          policy (OverwritePolicy.h)
//   CopyDirectoryToDevice  a PC folder and everything below it; folders made
//                          on the device are announced (folderCreated)
//   CopyDropListToDevice   a batch of PC files and folders; true only when
//                          every item was copied
//   CopyFileFromDevice     one device file to a PC path
//   CopyDirectoryFromDevice  a device folder and everything below it into a
//                          PC folder (made when missing); stops at the first
//                          failure
//
// Names the other side cannot hold are refused before anything is copied.
// Each failure is told once, in a box without owner; a lost connection is
// left to the link's reconnection, which tells the user itself, and ends a
// batch unless the device was found again. The job's
// counters follow every block; its `cancelled` flag and the running
// request's cancel both stop the copy after the current block.
//
// Threads: where device work runs (the device session's worker). The events
// are carried to the requester's thread when a request runs, else called
// at once.
#pragma once

#include "desktop/explorer/CopyJob.h"

#include <functional>

namespace explorer {

struct CopyEvents {
    // A folder the copy made on the device: its parent folder and its name.
    std::function<void(const QString& parentDir, const QString& name)> folderCreated;
    // A ".cab" copied while "AutoInstallCABs" is 1: its device path.
    std::function<void(const QString& devicePath)> installCab;
};

// Why `name` cannot be a device file name ("" when it can): a character the
// device forbids (control characters and \ / : * ? " < > |), a trailing dot
// or space, or more than 255 characters.
QString DeviceNameProblem(const QString& name);
// Why `name` cannot be a file name on this PC ("" when it can).
QString LocalNameProblem(const QString& name);

class CopyWorker {
public:
    explicit CopyWorker(CopyJob& job, CopyEvents events = {});

    bool CopyFileToDevice(const QString& pcPath, const QString& deviceDir);
    bool CopyDirectoryToDevice(const QString& pcDir, const QString& deviceDir);
    bool CopyDropListToDevice(const QStringList& dropList, const QString& deviceDir);
    bool CopyFileFromDevice(const QString& devicePath, const QString& pcPath);
    bool CopyDirectoryFromDevice(const QString& deviceDir, const QString& pcDir);

private:
    // Starts the counters and texts of the next file.
    void BeginFile(const QString& from, const QString& to);
    bool Stopped() const;
    void ConnectionLost();
    void Post(std::function<void()> function) const;

    CopyJob& m_job;
    CopyEvents m_events;
    int m_overwriteChoice = -1;
    bool m_gaveUp = false; // the device was lost and not found again
};

} // namespace explorer
