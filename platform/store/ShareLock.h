// Windows sharing between every open of one store file, across threads and
// processes (the device host and the device programs alike).
//
// Each open records what it does and what it forbids as shared open-file-
// description locks (F_OFD_SETLK) on reserved bytes far beyond any real file
// size: "reads", "writes", "denies read", "denies write", "denies delete".
// A new open first tests the bytes that would conflict with it, then records
// its own; a short flock() on the same file makes the test and the record
// one step. The locks go away with the descriptor: when the open is closed or
// its process dies, for whatever reason.
//
// Conflicts (as Windows): an open that reads needs every other open to share
// reading; one that writes needs them to share writing; an open that does not
// share reading cannot join an open that reads, and likewise for writing. An
// open with neither read nor write access takes part in none of this.
// Deleting, moving or renaming a file needs every open of it to share
// deleting.
//
// Safe from any thread. Descriptors passed in must be open for reading.
#pragma once

#include "platform/rapi/CeTypes.h"

namespace store {

// Records an open of `fd` with `access` (GENERIC_READ | GENERIC_WRITE) and
// `share` (FILE_SHARE_*). ERROR_SUCCESS, ERROR_SHARING_VIOLATION, or
// another Win32 error when the locks cannot be taken.
DWORD AcquireShare(int fd, DWORD access, DWORD share);

// Holds the file's gate while a delete or move decides; the gate opens when
// the object goes away.
class DeleteGate {
public:
    explicit DeleteGate(int fd);
    ~DeleteGate();
    DeleteGate(const DeleteGate&) = delete;
    DeleteGate& operator=(const DeleteGate&) = delete;
    // ERROR_SUCCESS when no open of the file forbids deleting it, else
    // ERROR_SHARING_VIOLATION.
    DWORD Check() const;

private:
    int m_fd;
    bool m_held;
};

} // namespace store
