#include "engine/Database.h"

#include "engine/SqlFunctions.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <cstring>

namespace engine::detail {

bool IsInternalName(std::u16string_view name)
{
    return name.size() >= kInternalPrefix.size()
        && EqualsNoCase(name.substr(0, kInternalPrefix.size()), kInternalPrefix);
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = other.m_stmt;
        other.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

int Statement::Step()
{
    return sqlite3_step(m_stmt);
}

void Statement::Reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Statement::Bind(int index, std::u16string_view text)
{
    sqlite3_bind_text16(m_stmt, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

void Statement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::BindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
}

std::u16string Statement::Text(int column) const
{
    const void* p = sqlite3_column_text16(m_stmt, column);
    if (!p)
        return {};
    int bytes = sqlite3_column_bytes16(m_stmt, column);
    return std::u16string(static_cast<const char16_t*>(p), static_cast<std::size_t>(bytes) / 2);
}

std::int64_t Statement::Int(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

bool Statement::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::Database(
    sqlite3* handle, std::filesystem::path path, int version, std::string key, bool damageRecorded)
    : m_db(handle)
    , m_path(std::move(path))
    , m_version(version)
    , m_key(std::move(key))
    , m_damage(damageRecorded ? Damage::Recorded : Damage::None)
{
}

void Database::NoteDamage()
{
    if (m_damage == Damage::Recorded)
        return;
    m_damage = Damage::Noted;
    if (sqlite3_get_autocommit(m_db))
        RecordDamage();
}

void Database::TransactionEnded()
{
    if (m_damage == Damage::Noted && sqlite3_get_autocommit(m_db))
        RecordDamage();
}

void Database::RecordDamage()
{
    std::string pragma = "PRAGMA main.user_version = " + std::to_string(m_version | kDamageFound);
    if (Exec(ToUtf16(pragma)) == SQLITE_OK)
        m_damage = Damage::Recorded;
}

Database::~Database()
{
    m_identityRead = Statement();
    m_identityWrite = Statement();
    m_rowVersionRead = Statement();
    m_rowVersionWrite = Statement();
    sqlite3_close_v2(m_db);
}

int Database::Prepare(std::u16string_view sql, Statement& out)
{
    sqlite3_stmt* stmt = nullptr;
    bool saved = m_userStatement;
    m_userStatement = false;
    int rc = sqlite3_prepare16_v2(m_db, sql.data(), static_cast<int>(sql.size() * 2), &stmt, nullptr);
    m_userStatement = saved;
    out = Statement(stmt);
    return rc;
}

int Database::Exec(std::u16string_view sql)
{
    std::string utf8 = ToUtf8(sql);
    bool saved = m_userStatement;
    m_userStatement = false;
    int rc = sqlite3_exec(m_db, utf8.c_str(), nullptr, nullptr, nullptr);
    m_userStatement = saved;
    return rc;
}

std::int64_t Database::NextIdentity(std::int64_t identityId)
{
    if (!m_identityRead) {
        if (Prepare(u"SELECT next FROM __qv_identity WHERE id = ?", m_identityRead) != SQLITE_OK
            || Prepare(u"UPDATE __qv_identity SET next = next + step WHERE id = ?", m_identityWrite)
                != SQLITE_OK)
            return -1;
    }
    m_identityRead.Bind(1, identityId);
    std::int64_t next = -1;
    if (m_identityRead.Step() == SQLITE_ROW)
        next = m_identityRead.Int(0);
    m_identityRead.Reset();
    if (next == -1 && sqlite3_errcode(m_db) != SQLITE_OK)
        return -1;
    m_identityWrite.Bind(1, identityId);
    int rc = m_identityWrite.Step();
    m_identityWrite.Reset();
    if (rc != SQLITE_DONE)
        return -1;
    m_lastIdentity = next;
    m_hasLastIdentity = true;
    return next;
}

std::int64_t Database::RowVersion(bool advance)
{
    if (!m_rowVersionRead) {
        if (Prepare(u"SELECT value FROM __qv_rowversion", m_rowVersionRead) != SQLITE_OK
            || Prepare(u"UPDATE __qv_rowversion SET value = value + 1", m_rowVersionWrite) != SQLITE_OK) {
            m_rowVersionRead = Statement();
            return -1;
        }
    }
    if (advance) {
        int rc = m_rowVersionWrite.Step();
        m_rowVersionWrite.Reset();
        if (rc != SQLITE_DONE)
            return -1;
    }
    std::int64_t value = m_rowVersionRead.Step() == SQLITE_ROW ? m_rowVersionRead.Int(0) : -1;
    m_rowVersionRead.Reset();
    return value;
}

namespace {

bool StartsWithNoCase(const char* text, const char* prefix)
{
    if (!text)
        return false;
    for (; *prefix; ++prefix, ++text) {
        char a = *text;
        char b = *prefix;
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a + 32);
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b + 32);
        if (a != b)
            return false;
    }
    return true;
}

int Authorize(void* context, int action, const char* a, const char* b, const char*, const char*)
{
    auto* db = static_cast<Database*>(context);
    if (!db->UserStatement())
        return SQLITE_OK;
    switch (action) {
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        // The engine's tables and SQLite's own are not the user's.
        return StartsWithNoCase(a, "__qv_") || StartsWithNoCase(a, "sqlite_") ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_FUNCTION:
        // SQLCipher's functions attach, export and re-key databases.
        return StartsWithNoCase(b, "sqlcipher") || StartsWithNoCase(b, "load_extension") ? SQLITE_DENY
                                                                                         : SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        // Schema changes go through the engine's own statements; ATTACH,
        // PRAGMA, VACUUM and transaction control are not the engine's dialect.
        return SQLITE_DENY;
    }
}

} // namespace

int ConfigureConnection(Database& db)
{
    sqlite3* h = db.Handle();
    sqlite3_extended_result_codes(h, 1);
    sqlite3_busy_timeout(h, 5000);
    int rc = RegisterFunctions(db);
    if (rc != SQLITE_OK)
        return rc;
    rc = db.Exec(u"PRAGMA foreign_keys = ON; PRAGMA temp_store = FILE;");
    if (rc != SQLITE_OK)
        return rc;
    return sqlite3_set_authorizer(h, Authorize, &db);
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.Exec(u"ROLLBACK");
    m_db.TransactionEnded();
}

int Transaction::Begin()
{
    int rc = m_db.Exec(u"BEGIN IMMEDIATE");
    m_active = rc == SQLITE_OK;
    return rc;
}

int Transaction::Commit()
{
    int rc = m_db.Exec(u"COMMIT");
    if (rc == SQLITE_OK)
        m_active = false;
    m_db.TransactionEnded();
    return rc;
}

} // namespace engine::detail
