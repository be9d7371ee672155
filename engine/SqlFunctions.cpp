#include "engine/SqlFunctions.h"

#include "engine/Database.h"
#include "engine/DateTimeText.h"
#include "engine/DialectFunctions.h"
#include "engine/FunctionSupport.h"
#include "engine/GuidText.h"
#include "engine/RowVersions.h"

#include <sqlite3.h>

#include <compare>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace engine::detail {

namespace {

template <typename Char> std::basic_string_view<Char> View(const void* data, int bytes)
{
    return std::basic_string_view<Char>(
        static_cast<const Char*>(data), static_cast<std::size_t>(bytes) / sizeof(Char));
}

int Sign(std::strong_ordering o)
{
    return o < 0 ? -1 : (o > 0 ? 1 : 0);
}

int CompareRaw(const void* a, int na, const void* b, int nb)
{
    int n = std::memcmp(a, b, static_cast<std::size_t>(na < nb ? na : nb));
    if (n != 0)
        return n < 0 ? -1 : 1;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

// Collation arguments point into database pages and need not be aligned for
// UTF-16: such text is read from an aligned copy.
template <typename Char>
std::basic_string_view<Char> Aligned(const void* data, int bytes, std::basic_string<Char>& copy)
{
    if (reinterpret_cast<std::uintptr_t>(data) % alignof(Char) == 0)
        return View<Char>(data, bytes);
    copy.resize(static_cast<std::size_t>(bytes) / sizeof(Char));
    std::memcpy(copy.data(), data, copy.size() * sizeof(Char));
    return copy;
}

// Values that parse order by their meaning and before those that do not;
// those that do not parse order by their bytes.
template <typename Char, typename Key, bool (*Parse)(std::basic_string_view<Char>, Key&)>
int CompareParsed(void*, int na, const void* a, int nb, const void* b)
{
    Key ka {};
    Key kb {};
    std::basic_string<Char> copyA;
    std::basic_string<Char> copyB;
    bool okA = Parse(Aligned<Char>(a, na, copyA), ka);
    bool okB = Parse(Aligned<Char>(b, nb, copyB), kb);
    if (okA && okB)
        return Sign(ka <=> kb);
    if (okA != okB)
        return okA ? -1 : 1;
    return CompareRaw(a, na, b, nb);
}

template <typename Char> bool DateKey(std::basic_string_view<Char> t, std::int64_t& key)
{
    DateTime v;
    if (!ParseDateTime(t, v))
        return false;
    key = SecondKey(v);
    return true;
}

template <typename Char> bool GuidKey(std::basic_string_view<Char> t, GuidBytes& key)
{
    return ParseGuid(t, key);
}

template <typename Char> bool BitKey(std::basic_string_view<Char> t, int& key)
{
    bool b = false;
    if (!ParseBit(t, b))
        return false;
    key = b ? 1 : 0;
    return true;
}

template <typename Char> int RegisterCollations(sqlite3* db, int encoding)
{
    int rc = sqlite3_create_collation(
        db, "QV_DATETIME", encoding, nullptr, CompareParsed<Char, std::int64_t, DateKey<Char>>);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_collation(
            db, "QV_GUID", encoding, nullptr, CompareParsed<Char, GuidBytes, GuidKey<Char>>);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_collation(
            db, "QV_BIT", encoding, nullptr, CompareParsed<Char, int, BitKey<Char>>);
    return rc;
}

void GetDate(sqlite3_context* ctx, int, sqlite3_value**)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    DateTime v;
    v.year = local.tm_year + 1900;
    v.month = local.tm_mon + 1;
    v.day = local.tm_mday;
    v.hour = local.tm_hour;
    v.minute = local.tm_min;
    v.second = local.tm_sec;
    std::string text = FormatDateTime(v);
    sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void NewId(sqlite3_context* ctx, int, sqlite3_value**)
{
    GuidBytes b {};
    sqlite3_randomness(static_cast<int>(b.size()), b.data());
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40); // random-number form
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
    std::string text = FormatGuid(b);
    sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Identity(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* db = static_cast<Database*>(sqlite3_user_data(ctx));
    std::int64_t next = db->NextIdentity(sqlite3_value_int64(argv[0]));
    if (next == -1) {
        sqlite3_result_error(ctx, "the identity numbering of this table cannot be read", -1);
        return;
    }
    sqlite3_result_int64(ctx, next);
}

void LastIdentity(sqlite3_context* ctx, int, sqlite3_value**)
{
    auto* db = static_cast<Database*>(sqlite3_user_data(ctx));
    std::int64_t value = 0;
    if (db->LastIdentity(value))
        sqlite3_result_int64(ctx, value);
    else
        sqlite3_result_null(ctx);
}

void IsDateTime(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_type(argv[0]);
    DateTime v;
    bool ok = type == SQLITE_NULL || (type == SQLITE_TEXT && ParseDateTime(TextArg(argv[0]), v));
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

void IsGuid(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_type(argv[0]);
    GuidBytes g;
    bool ok = type == SQLITE_NULL || (type == SQLITE_TEXT && ParseGuid(TextArg(argv[0]), g))
        || (type == SQLITE_BLOB && sqlite3_value_bytes(argv[0]) == 16);
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

void IsBit(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_type(argv[0]);
    bool b = false;
    bool ok = type == SQLITE_NULL || type == SQLITE_INTEGER
        || (type == SQLITE_TEXT && ParseBit(TextArg(argv[0]), b));
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

} // namespace

int RegisterFunctions(Database& database)
{
    sqlite3* db = database.Handle();
    struct Function {
        const char* name;
        int args;
        bool deterministic;
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Function functions[] = {
        { "getdate", 0, false, GetDate },
        { "newid", 0, false, NewId },
        { "qv_isdatetime", 1, true, IsDateTime },
        { "qv_isguid", 1, true, IsGuid },
        { "qv_isbit", 1, true, IsBit },
    };
    for (const auto& f : functions) {
        int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        int rc = sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.call, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    int rc
        = sqlite3_create_function(db, "qv_identity", 1, SQLITE_UTF8, &database, Identity, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(
            db, "qv_last_identity", 0, SQLITE_UTF8, &database, LastIdentity, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = RegisterRowVersionFunctions(database);
    for (auto group : { RegisterDateFunctions, RegisterStringFunctions, RegisterNumericFunctions,
             RegisterOperatorFunctions, RegisterConvertFunction }) {
        if (rc == SQLITE_OK)
            rc = group(db);
    }
    if (rc == SQLITE_OK)
        rc = RegisterCollations<char16_t>(db, SQLITE_UTF16LE);
    if (rc == SQLITE_OK)
        rc = RegisterCollations<char>(db, SQLITE_UTF8);
    return rc;
}

} // namespace engine::detail
