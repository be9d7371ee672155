#include "engine/DatabaseFile.h"

#include "engine/Catalog.h"
#include "engine/Database.h"
#include "engine/EngineErrors.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <unistd.h>
#include <vector>

namespace engine::detail {

namespace {

constexpr std::size_t kPageSize = 1024;

std::u16string PathText(const std::filesystem::path& p)
{
    return ToUtf16(p.string());
}

HRESULT Fail(HRESULT hr, std::u16string_view description, std::vector<std::u16string> params = {})
{
    return detail::SetError(MakeError(hr, description, std::move(params)));
}

double Entropy(const std::vector<unsigned char>& bytes)
{
    std::size_t counts[256] = {};
    for (unsigned char b : bytes)
        ++counts[b];
    double h = 0;
    for (std::size_t c : counts) {
        if (c == 0)
            continue;
        double p = static_cast<double>(c) / static_cast<double>(bytes.size());
        h -= p * std::log2(p);
    }
    return h;
}

std::string Utf8Key(std::u16string_view password)
{
    return ToUtf8(password);
}

// A new empty file beside `target`, reserved under a unique name, with the
// permissions a file created by the user normally gets.
bool TemporaryBeside(const std::filesystem::path& target, std::filesystem::path& out)
{
    std::filesystem::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", random());
        std::filesystem::path candidate = dir / ("." + target.filename().string() + ".tmp-" + suffix);
        int fd = open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            out = candidate;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void RemoveWithJournal(const std::filesystem::path& p)
{
    std::error_code ec;
    std::filesystem::remove(p, ec);
    std::filesystem::remove(p.string() + "-journal", ec);
}

HRESULT OpenFailure(sqlite3* db, int rc, FileKind kind)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
        if (kind == FileKind::Encrypted)
            return Fail(DB_SEC_E_AUTH_FAILED, kWrongPassword);
        return Fail(E_FAIL, kCorrupted);
    case SQLITE_CORRUPT:
        return Fail(E_FAIL, kCorrupted);
    default:
        return detail::SetError(FromSqlite(db, rc));
    }
}

int ReadPragma(sqlite3* db, const char* sql, std::int64_t& value)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return rc;
}

} // namespace

FileKind InspectFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return FileKind::Missing;
    if (!std::filesystem::is_regular_file(path, ec))
        return FileKind::NotDatabase;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size == 0)
        return FileKind::NotDatabase;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> head(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kPageSize)));
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    if (!in)
        return FileKind::NotDatabase;
    static const char kMagic[] = "SQLite format 3";
    if (head.size() >= 16 && std::memcmp(head.data(), kMagic, 16) == 0)
        return FileKind::Plain;
    if (size % kPageSize == 0 && Entropy(head) > 7.2)
        return FileKind::Encrypted;
    return FileKind::NotDatabase;
}

HRESULT OpenDatabaseFile(const std::filesystem::path& path, std::u16string_view password, int providerVersion,
    std::shared_ptr<Database>& out)
{
    FileKind kind = InspectFile(path);
    if (kind == FileKind::Missing)
        return Fail(STG_E_FILENOTFOUND,
            u"The database file cannot be found. Check the path to the database. [ File name ]",
            { PathText(path) });
    if (kind == FileKind::NotDatabase)
        return Fail(STG_E_INVALIDHEADER, kNotDatabase);
    if (kind == FileKind::Encrypted && password.empty())
        return Fail(DB_SEC_E_AUTH_FAILED, kMissingPassword);

    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        HRESULT hr = detail::SetError(FromSqlite(handle, rc));
        sqlite3_close_v2(handle);
        return hr;
    }
    std::string key = kind == FileKind::Encrypted ? Utf8Key(password) : std::string();
    if (!key.empty())
        sqlite3_key(handle, key.data(), static_cast<int>(key.size()));
    std::int64_t tables = 0;
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    rc = ReadPragma(handle, "SELECT count(*) FROM sqlite_master", tables);
    if (rc == SQLITE_OK)
        rc = ReadPragma(handle, "PRAGMA application_id", applicationId);
    if (rc == SQLITE_OK)
        rc = ReadPragma(handle, "PRAGMA user_version", version);
    if (rc != SQLITE_OK) {
        HRESULT hr = OpenFailure(handle, rc, kind);
        sqlite3_close_v2(handle);
        return hr;
    }
    const bool damageRecorded = (version & kDamageFound) != 0;
    version &= ~std::int64_t(kDamageFound);
    if (applicationId != kApplicationId || (version != 2 && version != 3)) {
        sqlite3_close_v2(handle);
        return Fail(STG_E_INVALIDHEADER, kNotDatabase);
    }
    if (version > providerVersion) {
        sqlite3_close_v2(handle);
        return Fail(STG_E_INVALIDHEADER,
            std::u16string(kNotDatabase)
                + u" for this version of the engine. [ Database version,Engine version ]",
            { u"3.0", u"2.0" });
    }
    auto db = std::make_shared<Database>(handle, path, static_cast<int>(version), key, damageRecorded);
    if (!catalog::IsInstalled(*db))
        return Fail(E_FAIL, kCorrupted);
    rc = ConfigureConnection(*db);
    if (rc != SQLITE_OK)
        return OpenFailure(handle, rc, kind);
    out = std::move(db);
    return S_OK;
}

HRESULT CreateDatabaseFile(const std::filesystem::path& path, std::u16string_view password, int version,
    std::shared_ptr<Database>& out)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return Fail(STG_E_FILEALREADYEXISTS,
            u"File already exists. Try using a different database name. [ File name ]", { PathText(path) });
    std::filesystem::path dir = path.parent_path();
    if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
        return Fail(STG_E_FILENOTFOUND,
            u"The path is not valid. Check the directory for the database. [ Path ]", { PathText(path) });
    std::filesystem::path temp;
    if (!TemporaryBeside(path, temp))
        return Fail(
            STG_E_ACCESSDENIED, u"The database file cannot be written. [ Reason ]", { PathText(path) });

    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(temp.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::string key = Utf8Key(password);
    if (rc == SQLITE_OK && !key.empty())
        rc = sqlite3_key(handle, key.data(), static_cast<int>(key.size()));
    if (rc == SQLITE_OK) {
        Database setup(handle, temp, version, key);
        handle = nullptr; // owned by `setup` from here
        std::string pragmas = "PRAGMA encoding = 'UTF-16le'; PRAGMA application_id = "
            + std::to_string(kApplicationId) + "; PRAGMA user_version = " + std::to_string(version) + ";";
        rc = setup.Exec(ToUtf16(pragmas));
        if (rc == SQLITE_OK)
            rc = setup.Exec(u"BEGIN");
        if (rc == SQLITE_OK)
            rc = catalog::Install(setup);
        if (rc == SQLITE_OK)
            rc = setup.Exec(u"COMMIT");
        if (rc != SQLITE_OK) {
            HRESULT hr = detail::SetError(FromSqlite(setup.Handle(), rc));
            RemoveWithJournal(temp);
            return hr;
        }
    } else {
        HRESULT hr = detail::SetError(FromSqlite(handle, rc));
        sqlite3_close_v2(handle);
        RemoveWithJournal(temp);
        return hr;
    }
    // link() refuses an existing name, so a file that appeared meanwhile is never replaced.
    if (link(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        if (error == EEXIST) {
            RemoveWithJournal(temp);
            return Fail(STG_E_FILEALREADYEXISTS,
                u"File already exists. Try using a different database name. [ File name ]",
                { PathText(path) });
        }
        if (std::filesystem::exists(path, ec) || std::rename(temp.c_str(), path.c_str()) != 0) {
            RemoveWithJournal(temp);
            return Fail(STG_E_ACCESSDENIED, u"The database file cannot be written. [ Reason ]",
                { ToUtf16(std::strerror(error)) });
        }
    }
    RemoveWithJournal(temp);
    return OpenDatabaseFile(path, password, version, out);
}

HRESULT CompactDatabaseFile(Database& db, const std::filesystem::path& destination)
{
    std::error_code ec;
    std::filesystem::path dir = destination.parent_path();
    if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
        return Fail(STG_E_FILENOTFOUND,
            u"The path is not valid. Check the directory for the database. [ Path ]",
            { PathText(destination) });
    if (std::filesystem::equivalent(destination, db.Path(), ec))
        return Fail(E_INVALIDARG, u"A database cannot be compacted into itself. [ File name ]",
            { PathText(destination) });
    std::filesystem::path temp;
    if (!TemporaryBeside(destination, temp))
        return Fail(STG_E_ACCESSDENIED, u"The database file cannot be written. [ Reason ]",
            { PathText(destination) });

    Statement attach;
    int rc = db.Prepare(u"ATTACH DATABASE ? AS qv_compact KEY ?", attach);
    if (rc == SQLITE_OK) {
        std::u16string tempText = ToUtf16(temp.string());
        attach.Bind(1, tempText);
        sqlite3_bind_blob(
            attach.Get(), 2, db.Key().data(), static_cast<int>(db.Key().size()), SQLITE_TRANSIENT);
        rc = attach.Step();
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    attach = Statement();
    bool attached = rc == SQLITE_OK;
    if (rc == SQLITE_OK)
        rc = db.Exec(u"SELECT sqlcipher_export('qv_compact')");
    if (rc == SQLITE_OK) {
        // The export copies tables and data, not the header's marks.
        std::string pragmas = "PRAGMA qv_compact.application_id = " + std::to_string(kApplicationId)
            + "; PRAGMA qv_compact.user_version = " + std::to_string(db.Version()) + ";";
        rc = db.Exec(ToUtf16(pragmas));
    }
    HRESULT hr = rc == SQLITE_OK ? S_OK : detail::SetError(FromSqlite(db, rc));
    if (attached) {
        int detach = db.Exec(u"DETACH DATABASE qv_compact");
        if (Succeeded(hr) && detach != SQLITE_OK)
            hr = detail::SetError(FromSqlite(db, detach));
    }
    if (Succeeded(hr) && std::rename(temp.c_str(), destination.c_str()) != 0)
        hr = Fail(STG_E_ACCESSDENIED, u"The database file cannot be written. [ Reason ]",
            { ToUtf16(std::strerror(errno)) });
    if (Failed(hr))
        RemoveWithJournal(temp);
    else
        std::filesystem::remove(temp.string() + "-journal", ec);
    return hr;
}

} // namespace engine::detail
