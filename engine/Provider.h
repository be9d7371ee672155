// The database engine provider: created by class identifier for engine 2.0 or
// 3.0, it opens, creates and compacts database files and opens sessions.
// It stands in for the SQL Server CE OLE DB provider with the same operations
// and result codes, as plain C++ objects. Every call clears this thread's
// error records first and leaves new ones when it fails (GetErrorInfo).
// Objects are used from one thread at a time.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/Result.h"
#include "engine/Session.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace engine {

namespace detail {
class Database;
}

inline constexpr std::u16string_view kEngine20Class = u"{76A85B2E-9DE0-4DED-8E69-4DEFDB9C0917}";
inline constexpr std::u16string_view kEngine30Class = u"{32CE2952-2585-49A6-AEFF-1732076C2945}";

// Answers whether the device registry holds HKEY_CLASSES_ROOT\CLSID\<classId>
// (the class identifier with its braces), i.e. whether the engine runtime of
// that class is installed.
using ClassRegistered = std::function<bool(std::u16string_view classId)>;

// The data-source properties: 59 (the database file; a path on this machine)
// and the password property (113 for engine 2.0, 507 for 3.0; empty = none).
struct DataSourceProperties {
    std::filesystem::path dataSource;
    std::u16string password;
};

class Provider {
public:
    explicit Provider(int engineVersion);
    ~Provider();
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    // 2 or 3.
    int EngineVersion() const { return m_version; }

    // Sets the data-source properties. DB_E_ALREADYINITIALIZED while initialized.
    HRESULT SetProperties(const DataSourceProperties& properties);

    // Opens the database the properties name. Failures with error records:
    //   DB_SEC_E_AUTH_FAILED, description containing "database password":
    //     an encrypted file with a wrong or no password;
    //   E_FAIL "The database file is corrupted": a damaged file;
    //   STG_E_INVALIDHEADER "The file is not a valid database file": not a
    //     database of this engine, or (engine 2.0) a database of engine 3.0;
    //   STG_E_FILENOTFOUND: no such file.
    // An encrypted file whose first page is damaged cannot be told from a
    // wrong password and is reported as one.
    HRESULT Initialize();

    // Closes the database; sessions and rowsets still open keep it alive.
    HRESULT Uninitialize();

    bool IsInitialized() const { return m_db != nullptr; }

    // Creates a new empty database at the properties' path, recording this
    // provider's engine version; with a password the file is encrypted.
    // Leaves the provider initialized on it. STG_E_FILEALREADYEXISTS when the
    // file exists.
    HRESULT CreateDataSource();

    // Writes a compacted copy of the open database to `destination`, keeping
    // its password and engine version. A destination left from an earlier
    // attempt is replaced, but only by a complete copy. E_UNEXPECTED when not
    // initialized.
    HRESULT Compact(const std::filesystem::path& destination);

    // Opens a session. E_UNEXPECTED when not initialized.
    HRESULT CreateSession(std::unique_ptr<Session>& session);

private:
    int m_version;
    DataSourceProperties m_properties;
    std::shared_ptr<detail::Database> m_db;
};

// Creates the provider of a class identifier (compared without regard to
// case). REGDB_E_CLASSNOTREG when the class is not one of the two engine
// classes or `registered` says it is not installed.
HRESULT CreateProvider(
    std::u16string_view classId, const ClassRegistered& registered, std::unique_ptr<Provider>& provider);

} // namespace engine
