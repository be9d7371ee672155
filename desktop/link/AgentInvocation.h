// The desktop side of one agent request: the query file, the agent's start,
// the wait for its end (with the question after 200 unchanged polls), the
// user's cancel and the stopper; device programs started with a command
// line; and the engine version remembered per database.
//
// Messages go through the prompt interface. CreateCEQueryFile runs on a
// request's worker thread (or a command-line program's main thread);
// RequestCancel may be called from any thread while it runs.
#pragma once

#include "desktop/link/AgentContractText.h"
#include "platform/rapi/CeTypes.h"

#include <QString>

namespace devlink {

inline const QString kQueryFilePath = ContractText(contract::kQueryFilePath);
inline const QString kResultsFilePath = ContractText(contract::kResultsFilePath);
inline const QString kBinarySchemaPath = ContractText(contract::kBinarySchemaPath);
inline const QString kAsciiSchemaPath = ContractText(contract::kAsciiSchemaPath);

// Writes the query file (database path, scrambled password, `sql` with its
// line breaks and tabs encoded), deletes the previous results file, resets
// "Cancel" and "Status", starts the agent build that suits the database's
// engine version (with "-tableStruct" when `tableStruct`), and waits until
// it is done, cancelled, or the user gives up waiting.
//
// True when the query file was written completely and the agent was started
// and waited for; false on any failure before the wait (after its message),
// when the request was cancelled before the agent started, and when the user
// aborted after the connection was lost during the wait.
//
// A cancel requested before the call is forgotten (`pending` Forget): it
// belonged to an earlier request. The request loop clears it itself before
// its worker starts and passes Keep, so that a cancel given in between stops
// the request before its agent starts.
enum class PendingCancel { Forget, Keep };
bool CreateCEQueryFile(const QString& databasePath, const QString& password, const QString& sql,
    bool tableStruct, PendingCancel pending = PendingCancel::Forget);

// "_" followed by each character with bits 0-2 and 3-5 exchanged: the
// query file's password line. An empty password gives "_".
QString ScramblePassword(const QString& password);

// The desktop's decimal separator: the second character of 1.23 formatted
// with two decimals in the user's locale (QLocale()).
QString DecimalSeparator();

// Starts a device program. False, after a message, when the file is missing
// on the device or the start failed. When not `quiet`, the running-
// application notice is shown.
// *processId (when given) receives the started process's id.
bool RunDeviceExe(const QString& exePath, const QString& commandLine, bool quiet, DWORD* processId = nullptr);
bool RunDeviceCommand(const QString& exePath, const QString& commandLine);

// The cancel of the request running on this thread; on a thread without
// one (a command-line program's main thread, its interrupt), the cancel of
// the program-wide flag and of whatever request the device session runs.
// The wait then writes "Cancel" = 1 for the agent and stops it. No device
// work here: safe from any thread, a window's included.
void RequestCancel();
// Whether the request on this thread (or the program-wide flag) is cancelled.
bool CancelRequested();
// Forgets a cancel of the program-wide flag (CreateCEQueryFile does so when
// it begins a request outside the session).
void ClearCancelRequest();

// Stops the running agent through the stopper "\Quorvane\Haltquill.exe",
// unless "Status" already reads "Done."; checks once a second, 30 times,
// then warns "Could not stop the SQL process running on your device."
void CancelAgent();

// The engine version last reported for a database (setting "SQLCE_" + path
// with "\" -> "_"): 3, 2, or -1 when nothing is known.
int GetDatabaseEngineVersion(const QString& databasePath);
QString EngineSettingName(const QString& databasePath);

} // namespace devlink
