// What the cli's database commands share: a request set up as a database
// window would have it, run under the session's watchdog, and the reason
// printed when it failed.
//
// Main thread only, with a LinkSession open.
#pragma once

#include "cli/CommandSyntax.h"
#include "cli/LinkSession.h"
#include "desktop/link/RequestController.h"

namespace cli {

// A request of a database window that nobody looks at but whose answer is
// read: the cli's way through the request loop.
void SetUpRequest(devlink::RequestController& c, const QString& database, const QString& password,
    const QString& sql, bool tableMode);

// Runs the controller's request under the session's watchdog; true when it
// succeeded. Nothing runs once the program was interrupted.
bool RunRequest(LinkSession& s, devlink::RequestController& c, bool skipResults = false);

// After a failed request: the reason, unless the desktop's messages gave it
// already; kInterrupted after an interrupt.
int RequestFailure(LinkSession& s, const devlink::RequestController& c);

// Loads the binary schema of a database (database mode) into the
// controller's schema model, which also leaves DBSchema.bin on the device;
// false, with *status set, after saying why it failed.
bool LoadSchema(LinkSession& s, devlink::RequestController& c, const QString& database, int* status);

// The database refused `password` (empty: none was given): what to do.
int PasswordRejected(LinkSession& s, const QString& database, const QString& password);

// The device's text as this terminal shows it: its line ends become LF.
QString TerminalText(QString text);
// The bytes of a device text file as text.
QString DeviceText(const QByteArray& bytes);

// sql: runs one statement and prints its rows (SqlCommand.cpp).
int RunSql(CliContext& cx, const ParsedCommand& p);
// sql's options beyond the agent's and the password's.
QVector<OptionSpec> SqlOptions();

} // namespace cli
