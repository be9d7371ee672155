// The CREATE TABLE text of a whole database, as the agent writes it for a
// "SCHEMA-ASCII" request into DBSchema.txt in the agent folder.
//
// Threads: the device session's worker (it reads device files and waits).
#pragma once

#include <QString>

#include <optional>

namespace devlink {

// After a "SCHEMA-ASCII" request for `databasePath` ran with its answer left
// unread: checks that the answer is a success and reads DBSchema.txt whole
// (the file is deleted on the device once read). None when the answer was a
// failure or the file could not be read; *succeeded (when given) tells which.
std::optional<QString> ReadAsciiSchema(
    const QString& databasePath, const QString& password, bool* succeeded = nullptr);

} // namespace devlink
