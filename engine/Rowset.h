// The result of a command that returns rows: column information (ordinal 0 is
// the bookmark), the row count known before the first row is read, forward
// movement, row data with a status per value, and long values as streams.
// Rows are read one at a time from SQLite, so memory does not grow with the
// number of rows. A rowset is used from one thread.
#pragma once

#include "engine/Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace engine {

namespace detail {
class Database;
class Statement;
} // namespace detail

struct ColumnInfo {
    std::u16string name; // empty for the bookmark
    std::uint32_t ordinal = 0; // 0 = bookmark, 1.. = data columns
    DBTYPE type = 0; // type code of the delivered value
    std::uint32_t columnSize = 0; // characters for WSTR, bytes otherwise; 536,870,911 for ntext/image
    std::uint8_t precision = 0; // numeric
    std::uint8_t scale = 0; // numeric
    std::uint32_t flags = 0; // DBCOLUMNFLAGS_*
    std::u16string typeName; // the engine's type name when the column comes from a table column
};

// Where GetData puts one column's value, its length (4 bytes, bytes without
// the terminator) and its status (4 bytes, DBSTATUS) in a row buffer. The
// value is delivered in the column's own type:
//   I2 int16, I4 int32, UI1 uint8, I8 int64, R4 float, R8 double,
//   BOOL int16 (-1 true, 0 false), CY int64 scaled by 10,000,
//   NUMERIC DbNumeric, DBTIMESTAMP DbTimestamp, GUID 16 bytes in storage
//   order, WSTR UTF-16 text with a terminating 0, BYTES the bytes;
//   the bookmark (ordinal 0) is the row number from 1 as int32.
struct Binding {
    std::uint32_t ordinal = 0;
    std::size_t valueOffset = 0;
    std::size_t lengthOffset = 0;
    std::size_t statusOffset = 0;
    std::size_t maxLength = 0; // bytes available at valueOffset (text: including the terminator)
};

// A long value read in pieces. It stays valid until the rowset moves.
class SequentialStream {
public:
    virtual ~SequentialStream() = default;
    // Copies up to `bytes` bytes into `buffer` and sets `read` (0 at the end).
    // Returns S_OK, or E_UNEXPECTED when the rowset has moved since.
    virtual HRESULT Read(void* buffer, std::uint32_t bytes, std::uint32_t& read) = 0;
};

class Rowset {
public:
    // Made by Session::Execute. `sql` is the statement's SQLite text (for
    // counting its rows); when `firstRowFetched`, the statement has already
    // been stepped once with result `firstStep`.
    Rowset(std::shared_ptr<detail::Database> db, std::unique_ptr<detail::Statement> statement,
        std::u16string sql, std::vector<ColumnInfo> columns, bool firstRowFetched, int firstStep);
    ~Rowset();
    Rowset(const Rowset&) = delete;
    Rowset& operator=(const Rowset&) = delete;

    // Bookmark column first (ordinal 0), then the data columns in order.
    const std::vector<ColumnInfo>& GetColumnInfo() const { return m_columns; }

    // The number of rows the result holds, counted before any row is read
    // (the row-position service). Safe to call at any time.
    HRESULT GetRowCount(std::int64_t& count);

    // Moves to the first row (restarting the result when rows were read) or
    // to the next one. S_OK on a row, DB_S_ENDOFROWSET past the last row, or a
    // failure with error records (the rowset then stays at its end).
    HRESULT MoveFirst();
    HRESULT MoveNext();

    // Fills the row buffer for the current row. A null value gets status 3 and
    // length 0; a text or byte value longer than its space is cut to fit with
    // status DBSTATUS_S_TRUNCATED; a value that cannot be delivered in the
    // column's type gets DBSTATUS_E_CANTCONVERTVALUE (or _DATAOVERFLOW).
    // Returns S_OK, or E_UNEXPECTED when there is no current row.
    HRESULT GetData(std::span<const Binding> bindings, std::byte* row);

    // The current row's value of a long column (or any column) as a stream of
    // its bytes: UTF-16 for text, the bytes for binary. A null value gives an
    // empty stream and, when `status` is given, status 3.
    HRESULT GetStream(
        std::uint32_t ordinal, std::unique_ptr<SequentialStream>& stream, DBSTATUS* status = nullptr);

private:
    class Stream;
    HRESULT Step();
    DBSTATUS Deliver(
        const ColumnInfo& column, int index, std::byte* value, std::size_t maxLength, std::uint32_t& length);

    std::shared_ptr<detail::Database> m_db;
    std::unique_ptr<detail::Statement> m_statement;
    std::u16string m_sql;
    std::vector<ColumnInfo> m_columns;
    bool m_pending; // the first row was read while building the column information
    int m_pendingStep;
    bool m_onRow = false;
    bool m_started = false;
    std::int64_t m_rowNumber = 0;
    std::uint64_t m_generation = 0;
    bool m_countKnown = false;
    std::int64_t m_count = 0;
};

} // namespace engine
