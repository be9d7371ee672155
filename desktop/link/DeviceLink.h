// DeviceLink: the desktop's one connection to the device, held for the whole
// run of the program, with the wrappers that repeat a device operation after
// a reconnect, small helpers for device files and for the agent's registry
// key, the wait that keeps dispatching events, and the trace lines.
//
// Free functions on program-wide state, as the remote-access client below
// them (platform/rapi/Rapi.h). Every other desktop part reaches the device
// through these or through the client's Ce... operations.
//
// Results follow the device's conventions: booleans, handles, -1 when the
// caller must be told at once (a sharing violation), -2 when the wrapper gave
// up after reconnecting (callers that get -2 end quietly). Messages and
// questions go through the prompt interface (Prompter.h).
//
// Threads: usable from the window thread, from a request's worker thread and
// from a command-line program's main thread. The connection is shared; the
// client serialises its requests. Two threads should not reconnect at the
// same time (the request loop keeps the window thread to status reads while
// its worker runs).
#pragma once

#include "desktop/link/AgentContractText.h"
#include "platform/rapi/CeTypes.h"

#include <QString>
#include <QVector>

#include <functional>

namespace devlink {

// Fixed device locations.
inline const QString kAgentDir = ContractText(contract::kAgentDir);
inline const QString kAgentKey = ContractText(contract::kAgentKey);
inline const QString kAgentDebugKey = ContractText(contract::kAgentDebugKey);
inline constexpr HKEY kAgentRoot = HKEY_LOCAL_MACHINE;

// Where a connection's progress is shown ("Connecting to device, retry 1..").
// An empty function means there is no status window.
using StatusSink = std::function<void(const QString&)>;

// ---- Connection -------------------------------------------------------------

// Starts the remote-access connection: CeRapiInitEx, then a wait of up to
// 1500 ms for its event. True when connected (the `connected` flag is then
// set and ActiveSync's desktop values of the device are written into the
// desktop hive, see WriteActiveSyncValues).
bool InitRapi();
// Ends the connection when it is up; clears `connected`.
void UninitRapi();
// The `connected` flag: set by a successful InitRapi, cleared by UninitRapi.
bool IsConnected();

// True at once when connected; otherwise up to three InitRapi attempts, with
// "Connecting to device, retry %d.." on `status` and a one-second wait after
// each failed one.
bool ConnectWithRetries(const StatusSink& status = {});

// Connects, and while that fails offers the connection-error dialog, which
// retries every five seconds by itself. True when connected, false when the
// user cancelled the dialog.
bool ConnectToDevice(const StatusSink& status = {});

// After a failed device operation: is the connection open again?
inline constexpr int kRapiReopened = 4; // reconnected: repeat the operation
inline constexpr int kRapiAbort = 3; // the user chose Abort
inline constexpr int kRapiIgnore = 5; // the user chose Ignore
inline constexpr int kRapiOtherError = -1; // the failure was not a lost connection
// A lost connection is reconnected (ConnectToDevice); when that fails the user
// is asked "Connection error" with Abort, Retry, Ignore.
int IsRAPIopen();

// Writes the connected device's identity into the desktop hive where
// ActiveSync keeps it: HKCU "Software\Microsoft\Windows CE Services"
// "DeviceType" and "DeviceOemInfo" (strings), HKLM same key "MajorVersion"
// and "MinorVersion" (DWORDs). True when the device answered and all four
// were stored. InitRapi calls it on every successful connection.
bool WriteActiveSyncValues();

// ---- Wrappers that retry after a reconnect -----------------------------------

// Repeats CeCreateFile up to 10 times (reconnecting once when the transport
// failed, waiting 500 ms between tries). A handle, -1 on a sharing
// violation (no retry, no message), -2 after giving up.
HANDLE RapiCeCreateFile(const QString& path, DWORD access, DWORD share, void* security, DWORD disposition,
    DWORD attributes, HANDLE templateFile);
// The attributes, or -2 after giving up (a missing file included).
qint64 RapiCeGetFileAttributes(const QString& path);
// 1, or -2 after giving up.
int RapiCeSetFileAttributes(const QString& path, DWORD attributes);
// True when moved; false after telling the user (ShowDeviceError).
bool RapiCeMoveFile(const QString& from, const QString& to);
// CeFindAllFiles with `fieldMask`; true when the call succeeded, with the
// records copied into *records (the device's array is always released).
bool RapiCeFindAllFiles(const QString& path, DWORD fieldMask, QVector<CE_FIND_DATA>* records);

// ---- Device file helpers --------------------------------------------------------

// True when at least one entry matches `path` (a path or a pattern).
bool DeviceFileExists(const QString& path);
// True when exactly one entry matches; *size gets the low 32 bits of its size.
bool GetDeviceFileSize(const QString& path, quint32* size);
// True when every byte was written.
bool WriteDeviceBytes(HANDLE file, const void* data, DWORD byteCount);
// The text's UTF-16 code units, little-endian, no terminator, no byte-order
// mark ("abc" is 6 bytes). True when all were written.
bool WriteDeviceString(HANDLE file, const QString& text);

// Message box "Error" (exclamation, no owner): `prefix` followed by the
// system's text for the device error (or the transport error when the device
// error is 0), or "Unknown error" when both are 0.
void ShowDeviceError(const QString& prefix);

// The system's text for a device error code or transport result; empty when
// there is none.
QString DeviceErrorText(DWORD code);

// ---- Device information --------------------------------------------------------

// True when the version query fails or the device's major version is >= 4.
bool DeviceOsAtLeast4();
// False when the version query fails, else major version >= 5.
bool DeviceOsAtLeast5();

// ---- Device registry ----------------------------------------------------------
// Keys are opened with create semantics (a missing key is created, also for
// reads and deletes) and closed again.

// Reads up to `byteSize` bytes of a value into `buffer`; true when read.
// *type (when not null) receives the value's type, *readBytes its size.
bool ReadDeviceRegValue(HKEY root, const QString& keyPath, const QString& name, void* buffer, DWORD byteSize,
    DWORD* type = nullptr, DWORD* readBytes = nullptr);
// Stores `byteSize` bytes of `type`; true when stored.
bool WriteDeviceRegValue(
    HKEY root, const QString& keyPath, const QString& name, const void* data, DWORD byteSize, DWORD type);
// Deletes a value below HKEY_LOCAL_MACHINE; true when deleted.
bool DeleteAgentRegValue(const QString& keyPath, const QString& name);
// A text value of "\Software\Quorvane": read into a zeroed 400-byte buffer
// with byte size 200, so at most 100 characters come back; "" when absent
// (or longer than that). *ok (when not null) tells whether it was read.
QString ReadAgentRegString(const QString& name, bool* ok = nullptr);
bool ReadAgentRegDword(const QString& name, quint32* value);
// DWORD (type 4, 4 bytes) and string (type 1, (length + 1) * 2 bytes).
bool WriteAgentRegDword(const QString& name, quint32 value);
bool WriteAgentRegString(const QString& name, const QString& text);

// One line of the agent's step log: a value of "\Software\Quorvane\Debug",
// its name (the agent's line number, "000") and its text.
struct AgentLogLine {
    QString name;
    QString text;
};

// Reads the agent's step log in the order the device enumerates it: names of
// at most 260 characters, texts of at most 3000 bytes (cut at their first
// NUL). The key is opened, not created. True when the key could be opened
// and enumerated to its end; *lines then holds every line (on false, the
// lines read before the failure).
bool ReadAgentDebugLog(QVector<AgentLogLine>* lines);

// ---- Waiting, tracing, program location ----------------------------------------

// Waits `milliseconds`. On the main thread it dispatches window messages
// meanwhile; elsewhere (the device session's worker), and without an
// application object, it simply sleeps. Never returns early.
void WaitWithMessages(int milliseconds);

// Calls `attempt` until it succeeds, at most `tries` times, waiting
// `waitMs` (WaitWithMessages) after each failure. True when one succeeded.
bool RetryWithWaits(int tries, int waitMs, const std::function<bool()>& attempt);

// "%H:%M:%S : text" to the trace sink (exchange/Trace.h).
void TraceLine(const QString& text);
// `text` as it is to the trace sink.
void DebugOutput(const QString& text);

// The desktop program's own file, and its folder without a trailing
// separator. QUORVANE_PROGRAM_DIR, when set, names the folder instead (tests
// and tools that run beside build/bin, where the agent files are).
QString GetProgramPath();
QString GetProgramDir();

// A device path as the client takes it (UTF-16, NUL-terminated).
std::u16string DevicePath(const QString& path);

} // namespace devlink
