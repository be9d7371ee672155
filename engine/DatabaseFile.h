// Opening, creating and compacting database files. A database with a password
// is encrypted with SQLCipher; one without is a plain SQLite file. The header's
// application id marks the file as the engine's, its user version holds the
// engine version (2 or 3) that made it.
#pragma once

#include "engine/Result.h"

#include <filesystem>
#include <memory>
#include <string>

namespace engine::detail {

class Database;

// What the first bytes of a file say it is. SQLCipher cannot tell an encrypted
// database opened without its key from a file that is no database at all, so
// the engine decides from the file itself: a plain database starts with
// "SQLite format 3"; an encrypted one is whole 1,024-byte pages whose first
// page looks random (close to 8 bits of entropy per byte); anything else (a
// text file, an empty file) is no database.
enum class FileKind { Missing, NotDatabase, Plain, Encrypted };
FileKind InspectFile(const std::filesystem::path& path);

// Opens an existing database for a provider of `providerVersion` (2 or 3).
// Failures (with error records): no file, no database, wrong or missing
// password (DB_SEC_E_AUTH_FAILED), damaged file, a version-3 file for the
// version-2 provider. A plain file opened with a password is opened as it is.
HRESULT OpenDatabaseFile(const std::filesystem::path& path, std::u16string_view password, int providerVersion,
    std::shared_ptr<Database>& out);

// Creates a new database of engine version `version`; fails when the file
// exists. The file appears complete or not at all (built under a temporary
// name beside it).
HRESULT CreateDatabaseFile(const std::filesystem::path& path, std::u16string_view password, int version,
    std::shared_ptr<Database>& out);

// Writes a compacted copy of an open database to `destination`, with the same
// password (or none) and engine version. An existing destination is replaced
// only once the copy is complete.
HRESULT CompactDatabaseFile(Database& db, const std::filesystem::path& destination);

} // namespace engine::detail
