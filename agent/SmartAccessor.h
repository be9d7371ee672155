// CSmartAccessor: the column binding of one result. Columns whose declared
// size is above 1,024 (characters for text, bytes otherwise) or whose type
// is already a long-data code are long columns: they are read as streams on
// demand and take the type code 13. The others are bound in one row buffer
// in column order, each with its value, a 4-byte length and a 4-byte status,
// each on a 4-byte boundary. The bookmark column (ordinal 0) is not bound.
//
// One accessor belongs to one thread and one rowset.
#pragma once

#include "engine/Rowset.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace agent {

inline constexpr engine::DBTYPE kLongDataType = 13;
inline constexpr std::uint32_t kLongColumnThreshold = 1024;

struct BoundColumn {
    std::uint32_t ordinal = 0;
    std::u16string name;
    engine::DBTYPE type = 0; // 13 for a long column
    engine::DBTYPE engineType = 0; // the type the engine reported
    std::uint32_t size = 0; // the declared size
    bool isLong = false;
    engine::Binding binding; // bound columns only
};

class CSmartAccessor {
public:
    // Reads the rowset's column information and lays out the row buffer
    // (debug output "CSmartAccessor::BindColumns()\r\n").
    engine::HRESULT BindColumns(engine::Rowset& rowset);

    // The data columns in ordinal order.
    const std::vector<BoundColumn>& Columns() const { return m_columns; }

    // Fills the row buffer with the current row's bound values.
    engine::HRESULT GetData(engine::Rowset& rowset);

    const std::byte* Row() const { return m_row.data(); }

    // The bound value of `column`: its bytes, its length and its status.
    const std::byte* Value(const BoundColumn& column) const
    {
        return m_row.data() + column.binding.valueOffset;
    }
    std::uint32_t Length(const BoundColumn& column) const;
    std::uint32_t Status(const BoundColumn& column) const;

private:
    std::vector<BoundColumn> m_columns;
    std::vector<engine::Binding> m_bindings;
    std::vector<std::byte> m_row;
};

// The bytes a bound value of `type` with declared size `size` needs.
std::size_t BoundValueSize(engine::DBTYPE type, std::uint32_t size);

} // namespace agent
