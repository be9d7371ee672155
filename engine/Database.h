// One open engine database: the SQLite (SQLCipher) connection with the
// engine's functions and collations registered, shared by the data source,
// its sessions and their rowsets. Used from one thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace engine::detail {

// Marks our database files in the header's application id; the header's user
// version holds the engine version (2 or 3), plus kDamageFound once the
// engine has found the file damaged.
inline constexpr std::int32_t kApplicationId = 0x51564345; // "QVCE"
inline constexpr std::int32_t kDamageFound = 0x100;

// Names of the engine's own tables start with this; they never show as user tables.
inline constexpr std::u16string_view kInternalPrefix = u"__qv_";
bool IsInternalName(std::u16string_view name);

class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* stmt)
        : m_stmt(stmt)
    {
    }
    Statement(Statement&& other) noexcept
        : m_stmt(other.m_stmt)
    {
        other.m_stmt = nullptr;
    }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    sqlite3_stmt* Get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }

    int Step();
    void Reset();
    void Bind(int index, std::u16string_view text);
    void Bind(int index, std::int64_t value);
    void BindNull(int index);

    std::u16string Text(int column) const;
    std::int64_t Int(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

class Database {
public:
    // `key` is the SQLCipher passphrase the file was opened with, empty for a
    // plain file; `damageRecorded`: the header says the file was found damaged.
    Database(sqlite3* handle, std::filesystem::path path, int version, std::string key,
        bool damageRecorded = false);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    sqlite3* Handle() const { return m_db; }
    const std::filesystem::path& Path() const { return m_path; }
    int Version() const { return m_version; }
    const std::string& Key() const { return m_key; }

    // Prepares one of the engine's own statements (never user text).
    int Prepare(std::u16string_view sql, Statement& out);
    // Runs engine statements that return no rows.
    int Exec(std::u16string_view sql);

    // True once the file has been found damaged, on this connection or (as
    // its header records) on any earlier one: it then takes no more writes,
    // until a compacted copy or another file takes its place.
    bool FoundDamaged() const { return m_damage != Damage::None; }
    // Called when SQLite reported the file damaged. Records it in the header
    // at once, or, inside a transaction, when that has ended (a rollback
    // would take the mark with it). A mark that cannot be written (a
    // read-only file) still holds for this connection.
    void NoteDamage();
    // Writes a mark that waited for the end of a transaction.
    void TransactionEnded();

    // While set, the authorizer admits only what a user statement may do:
    // no ATTACH, PRAGMA or transaction control, no access to the engine's tables.
    void SetUserStatement(bool on) { m_userStatement = on; }
    bool UserStatement() const { return m_userStatement; }

    // The next number of an identity column (its numbering row), used by the
    // column's default; -1 when the numbering state cannot be read.
    std::int64_t NextIdentity(std::int64_t identityId);
    // The next value of the database's rowversion counter (advancing it), or
    // the value it gave last (0 before any); -1 when it cannot be read.
    std::int64_t NextRowVersion() { return RowVersion(true); }
    std::int64_t LastRowVersion() { return RowVersion(false); }
    // The last number NextIdentity gave on this connection; false when none yet.
    bool LastIdentity(std::int64_t& value) const
    {
        value = m_lastIdentity;
        return m_hasLastIdentity;
    }

private:
    enum class Damage { None, Noted, Recorded };
    void RecordDamage();
    std::int64_t RowVersion(bool advance);

    sqlite3* m_db;
    std::filesystem::path m_path;
    int m_version;
    std::string m_key;
    Damage m_damage = Damage::None;
    bool m_userStatement = false;
    std::int64_t m_lastIdentity = 0;
    bool m_hasLastIdentity = false;
    Statement m_identityRead;
    Statement m_identityWrite;
    Statement m_rowVersionRead;
    Statement m_rowVersionWrite;
};

// Sets up a freshly opened connection: engine functions, collations,
// authorizer, foreign keys on, temporary data in files (so that memory stays
// small however large a sort is). Returns an SQLite result code.
int ConfigureConnection(Database& db);

// A write transaction that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db)
        : m_db(db)
    {
    }
    ~Transaction();
    int Begin();
    int Commit();

private:
    Database& m_db;
    bool m_active = false;
};

} // namespace engine::detail
