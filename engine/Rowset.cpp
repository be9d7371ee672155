#include "engine/Rowset.h"

#include "engine/Database.h"
#include "engine/DateTimeText.h"
#include "engine/EngineErrors.h"
#include "engine/GuidText.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace engine {

using detail::Database;
using detail::Statement;

class Rowset::Stream final : public SequentialStream {
public:
    Stream(const Rowset& owner, const std::byte* data, std::size_t size)
        : m_owner(owner)
        , m_generation(owner.m_generation)
        , m_data(data)
        , m_size(size)
    {
    }

    HRESULT Read(void* buffer, std::uint32_t bytes, std::uint32_t& read) override
    {
        read = 0;
        if (m_owner.m_generation != m_generation)
            return E_UNEXPECTED;
        std::size_t n = std::min<std::size_t>(bytes, m_size - m_pos);
        if (n)
            std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        read = static_cast<std::uint32_t>(n);
        return S_OK;
    }

private:
    const Rowset& m_owner;
    std::uint64_t m_generation;
    const std::byte* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

Rowset::Rowset(std::shared_ptr<Database> db, std::unique_ptr<Statement> statement, std::u16string sql,
    std::vector<ColumnInfo> columns, bool firstRowFetched, int firstStep)
    : m_db(std::move(db))
    , m_statement(std::move(statement))
    , m_sql(std::move(sql))
    , m_columns(std::move(columns))
    , m_pending(firstRowFetched)
    , m_pendingStep(firstStep)
{
}

Rowset::~Rowset() = default;

HRESULT Rowset::GetRowCount(std::int64_t& count)
{
    detail::ClearError();
    if (m_countKnown) {
        count = m_count;
        return S_OK;
    }
    // SQLite counts a wrapped query without producing its rows (often from the
    // table's pages alone); a statement that cannot be wrapped is stepped through.
    Statement counter;
    int rc = m_db->Prepare(u"SELECT count(*) FROM (" + m_sql + u"\n)", counter);
    std::int64_t n = 0;
    if (rc == SQLITE_OK) {
        rc = counter.Step();
        if (rc == SQLITE_ROW) {
            n = counter.Int(0);
            rc = SQLITE_DONE;
        }
    } else {
        rc = m_db->Prepare(m_sql, counter);
        while (rc == SQLITE_OK && (rc = counter.Step()) == SQLITE_ROW)
            ++n;
    }
    if (rc != SQLITE_DONE)
        return detail::SetError(detail::FromSqlite(*m_db, rc));
    m_count = n;
    m_countKnown = true;
    count = n;
    return S_OK;
}

HRESULT Rowset::Step()
{
    ++m_generation;
    int rc;
    if (m_pending) {
        m_pending = false;
        rc = m_pendingStep;
    } else {
        rc = m_statement->Step();
    }
    if (rc == SQLITE_ROW) {
        m_onRow = true;
        ++m_rowNumber;
        return S_OK;
    }
    m_onRow = false;
    // A finished statement lets go of its read lock at once, so that changes
    // on the same session need not wait for the rowset to be released.
    sqlite3_reset(m_statement->Get());
    if (rc == SQLITE_DONE)
        return DB_S_ENDOFROWSET;
    return detail::SetError(detail::FromSqlite(*m_db, rc));
}

HRESULT Rowset::MoveFirst()
{
    detail::ClearError();
    if (m_started && !m_pending) {
        sqlite3_reset(m_statement->Get());
        m_pending = false;
    }
    m_started = true;
    m_rowNumber = 0;
    return Step();
}

HRESULT Rowset::MoveNext()
{
    detail::ClearError();
    if (!m_started)
        return MoveFirst();
    if (!m_onRow)
        return DB_S_ENDOFROWSET;
    return Step();
}

namespace {

// Numeric values need up to 16 bytes of magnitude.
__extension__ typedef unsigned __int128 UInt128;

template <typename T> void Put(std::byte* at, T value)
{
    std::memcpy(at, &value, sizeof value);
}

// A whole number from any stored value, or false when it is none.
bool WholeNumber(sqlite3_stmt* stmt, int index, std::int64_t& out)
{
    switch (sqlite3_column_type(stmt, index)) {
    case SQLITE_INTEGER:
        out = sqlite3_column_int64(stmt, index);
        return true;
    case SQLITE_FLOAT: {
        double d = sqlite3_column_double(stmt, index);
        if (d != std::floor(d) || std::fabs(d) >= 9.2e18)
            return false;
        out = static_cast<std::int64_t>(d);
        return true;
    }
    case SQLITE_TEXT: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
        char* end = nullptr;
        errno = 0;
        long long v = std::strtoll(t, &end, 10);
        if (errno || end == t || *end)
            return false;
        out = v;
        return true;
    }
    default:
        return false;
    }
}

bool RealNumber(sqlite3_stmt* stmt, int index, double& out)
{
    int type = sqlite3_column_type(stmt, index);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        out = sqlite3_column_double(stmt, index);
        return true;
    }
    if (type == SQLITE_TEXT) {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
        char* end = nullptr;
        out = std::strtod(t, &end);
        return end != t && *end == '\0';
    }
    return false;
}

// value * 10^scale as an unsigned magnitude and a sign.
bool Scaled(sqlite3_stmt* stmt, int index, int scale, UInt128& magnitude, bool& negative)
{
    if (sqlite3_column_type(stmt, index) == SQLITE_INTEGER) {
        std::int64_t v = sqlite3_column_int64(stmt, index);
        negative = v < 0;
        magnitude = negative ? static_cast<UInt128>(-(v + 1)) + 1 : static_cast<UInt128>(v);
        for (int i = 0; i < scale; ++i)
            magnitude *= 10;
        return true;
    }
    double d = 0;
    if (!RealNumber(stmt, index, d) || !std::isfinite(d))
        return false;
    long double x = std::fabs(static_cast<long double>(d));
    for (int i = 0; i < scale; ++i)
        x *= 10;
    x = std::round(x);
    if (x >= 1.7e38L)
        return false;
    negative = d < 0;
    magnitude = static_cast<UInt128>(x);
    return true;
}

} // namespace

DBSTATUS Rowset::Deliver(
    const ColumnInfo& column, int index, std::byte* value, std::size_t maxLength, std::uint32_t& length)
{
    sqlite3_stmt* stmt = m_statement->Get();
    length = 0;
    if (sqlite3_column_type(stmt, index) == SQLITE_NULL)
        return DBSTATUS_S_ISNULL;
    auto fixed = [&](auto v) -> DBSTATUS {
        if (maxLength < sizeof v)
            return DBSTATUS_E_BADACCESSOR;
        Put(value, v);
        length = sizeof v;
        return DBSTATUS_S_OK;
    };
    std::int64_t whole = 0;
    double real = 0;
    switch (column.type) {
    case DBTYPE_I2:
    case DBTYPE_I4:
    case DBTYPE_UI1:
    case DBTYPE_I8: {
        if (!WholeNumber(stmt, index, whole))
            return DBSTATUS_E_CANTCONVERTVALUE;
        if (column.type == DBTYPE_I8)
            return fixed(whole);
        if (column.type == DBTYPE_I4) {
            if (whole < std::numeric_limits<std::int32_t>::min()
                || whole > std::numeric_limits<std::int32_t>::max())
                return DBSTATUS_E_DATAOVERFLOW;
            return fixed(static_cast<std::int32_t>(whole));
        }
        if (column.type == DBTYPE_I2) {
            if (whole < -32768 || whole > 32767)
                return DBSTATUS_E_DATAOVERFLOW;
            return fixed(static_cast<std::int16_t>(whole));
        }
        if (whole < 0 || whole > 255)
            return DBSTATUS_E_DATAOVERFLOW;
        return fixed(static_cast<std::uint8_t>(whole));
    }
    case DBTYPE_R4:
        if (!RealNumber(stmt, index, real))
            return DBSTATUS_E_CANTCONVERTVALUE;
        return fixed(static_cast<float>(real));
    case DBTYPE_R8:
        if (!RealNumber(stmt, index, real))
            return DBSTATUS_E_CANTCONVERTVALUE;
        return fixed(real);
    case DBTYPE_CY: {
        UInt128 magnitude = 0;
        bool negative = false;
        if (!Scaled(stmt, index, 4, magnitude, negative))
            return DBSTATUS_E_CANTCONVERTVALUE;
        if (magnitude > static_cast<UInt128>(std::numeric_limits<std::int64_t>::max()))
            return DBSTATUS_E_DATAOVERFLOW;
        std::int64_t v = static_cast<std::int64_t>(magnitude);
        return fixed(negative ? -v : v);
    }
    case DBTYPE_NUMERIC: {
        UInt128 magnitude = 0;
        bool negative = false;
        if (!Scaled(stmt, index, column.scale, magnitude, negative))
            return DBSTATUS_E_CANTCONVERTVALUE;
        DbNumeric n {};
        n.precision = column.precision;
        n.scale = column.scale;
        n.sign = (negative && magnitude != 0) ? 0 : 1;
        for (int i = 0; i < 16; ++i) {
            n.value[i] = static_cast<std::uint8_t>(magnitude & 0xFF);
            magnitude >>= 8;
        }
        return fixed(n);
    }
    case DBTYPE_BOOL: {
        bool b = false;
        if (sqlite3_column_type(stmt, index) == SQLITE_TEXT) {
            const void* t = sqlite3_column_text16(stmt, index);
            std::u16string_view text(static_cast<const char16_t*>(t),
                static_cast<std::size_t>(sqlite3_column_bytes16(stmt, index)) / 2);
            if (!detail::ParseBit(text, b))
                return DBSTATUS_E_CANTCONVERTVALUE;
        } else if (WholeNumber(stmt, index, whole)) {
            b = whole != 0;
        } else {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        return fixed(static_cast<std::int16_t>(b ? -1 : 0));
    }
    case DBTYPE_DBTIMESTAMP: {
        if (sqlite3_column_type(stmt, index) != SQLITE_TEXT)
            return DBSTATUS_E_CANTCONVERTVALUE;
        const void* t = sqlite3_column_text16(stmt, index);
        std::u16string_view text(static_cast<const char16_t*>(t),
            static_cast<std::size_t>(sqlite3_column_bytes16(stmt, index)) / 2);
        detail::DateTime dt;
        if (!detail::ParseDateTime(text, dt))
            return DBSTATUS_E_CANTCONVERTVALUE;
        return fixed(detail::ToTimestamp(dt));
    }
    case DBTYPE_GUID: {
        detail::GuidBytes g {};
        int type = sqlite3_column_type(stmt, index);
        if (type == SQLITE_BLOB && sqlite3_column_bytes(stmt, index) == 16) {
            std::memcpy(g.data(), sqlite3_column_blob(stmt, index), 16);
        } else if (type == SQLITE_TEXT) {
            const void* t = sqlite3_column_text16(stmt, index);
            std::u16string_view text(static_cast<const char16_t*>(t),
                static_cast<std::size_t>(sqlite3_column_bytes16(stmt, index)) / 2);
            if (!detail::ParseGuid(text, g))
                return DBSTATUS_E_CANTCONVERTVALUE;
        } else {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        return fixed(g);
    }
    case DBTYPE_WSTR: {
        const void* t = sqlite3_column_text16(stmt, index);
        std::size_t bytes = static_cast<std::size_t>(sqlite3_column_bytes16(stmt, index));
        length = static_cast<std::uint32_t>(bytes);
        if (maxLength < 2)
            return DBSTATUS_E_BADACCESSOR;
        std::size_t room = (maxLength - 2) & ~std::size_t { 1 };
        std::size_t n = std::min(bytes, room);
        std::memcpy(value, t, n);
        value[n] = std::byte { 0 };
        value[n + 1] = std::byte { 0 };
        return n < bytes ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
    }
    case DBTYPE_BYTES: {
        const void* b = sqlite3_column_blob(stmt, index);
        std::size_t bytes = static_cast<std::size_t>(sqlite3_column_bytes(stmt, index));
        length = static_cast<std::uint32_t>(bytes);
        std::size_t n = std::min(bytes, maxLength);
        if (n)
            std::memcpy(value, b, n);
        return n < bytes ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
    }
    default:
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
}

HRESULT Rowset::GetData(std::span<const Binding> bindings, std::byte* row)
{
    detail::ClearError();
    if (!m_onRow)
        return detail::SetError(detail::MakeError(E_UNEXPECTED, u"There is no current row"));
    for (const Binding& b : bindings) {
        std::uint32_t length = 0;
        DBSTATUS status;
        if (b.ordinal == 0) {
            status = DBSTATUS_S_OK;
            if (b.maxLength < 4) {
                status = DBSTATUS_E_BADACCESSOR;
            } else {
                Put(row + b.valueOffset, static_cast<std::int32_t>(m_rowNumber));
                length = 4;
            }
        } else if (b.ordinal >= m_columns.size()) {
            status = DBSTATUS_E_BADACCESSOR;
        } else {
            status = Deliver(m_columns[b.ordinal], static_cast<int>(b.ordinal - 1), row + b.valueOffset,
                b.maxLength, length);
        }
        Put(row + b.lengthOffset, length);
        Put(row + b.statusOffset, status);
    }
    return S_OK;
}

HRESULT Rowset::GetStream(std::uint32_t ordinal, std::unique_ptr<SequentialStream>& stream, DBSTATUS* status)
{
    detail::ClearError();
    if (!m_onRow)
        return detail::SetError(detail::MakeError(E_UNEXPECTED, u"There is no current row"));
    if (ordinal == 0 || ordinal >= m_columns.size())
        return detail::SetError(detail::MakeError(DB_E_BADORDINAL, u"The column ordinal is not valid"));
    sqlite3_stmt* stmt = m_statement->Get();
    int index = static_cast<int>(ordinal - 1);
    const void* data = nullptr;
    std::size_t size = 0;
    int type = sqlite3_column_type(stmt, index);
    if (type == SQLITE_BLOB) {
        data = sqlite3_column_blob(stmt, index);
        size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, index));
    } else if (type != SQLITE_NULL) {
        data = sqlite3_column_text16(stmt, index);
        size = static_cast<std::size_t>(sqlite3_column_bytes16(stmt, index));
    }
    if (status)
        *status = type == SQLITE_NULL ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
    stream = std::make_unique<Stream>(*this, static_cast<const std::byte*>(data), size);
    return S_OK;
}

} // namespace engine
