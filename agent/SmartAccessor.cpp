#include "agent/SmartAccessor.h"

#include "exchange/Trace.h"

#include <algorithm>
#include <cstring>

namespace agent {

namespace {

std::size_t AlignUp(std::size_t offset)
{
    return (offset + 3) & ~std::size_t(3);
}

} // namespace

std::size_t BoundValueSize(engine::DBTYPE type, std::uint32_t size)
{
    switch (type) {
    case engine::DBTYPE_I2:
    case engine::DBTYPE_BOOL:
        return 2;
    case engine::DBTYPE_I4:
    case engine::DBTYPE_R4:
        return 4;
    case engine::DBTYPE_UI1:
        return 1;
    case engine::DBTYPE_R8:
    case engine::DBTYPE_CY:
    case engine::DBTYPE_I8:
    case 7: // DBTYPE_DATE
        return 8;
    case engine::DBTYPE_GUID:
    case engine::DBTYPE_DBTIMESTAMP:
        return 16;
    case engine::DBTYPE_NUMERIC:
        return sizeof(engine::DbNumeric);
    case engine::DBTYPE_WSTR:
        return (static_cast<std::size_t>(size) + 1) * sizeof(char16_t);
    case 129: // DBTYPE_STR
        return static_cast<std::size_t>(size) + 1;
    case engine::DBTYPE_BYTES:
        return std::max<std::size_t>(size, 1);
    default:
        return std::max<std::size_t>(size, 8);
    }
}

engine::HRESULT CSmartAccessor::BindColumns(engine::Rowset& rowset)
{
    exchange::DebugOutput(u"CSmartAccessor::BindColumns()\r\n");
    m_columns.clear();
    m_bindings.clear();
    std::size_t offset = 0;
    for (const engine::ColumnInfo& info : rowset.GetColumnInfo()) {
        if (info.ordinal == 0)
            continue;
        BoundColumn column;
        column.ordinal = info.ordinal;
        column.name = info.name;
        column.engineType = info.type;
        column.type = info.type;
        column.size = info.columnSize;
        column.isLong = info.columnSize > kLongColumnThreshold || info.type == kLongDataType;
        if (column.isLong) {
            column.type = kLongDataType;
        } else {
            engine::Binding& b = column.binding;
            b.ordinal = info.ordinal;
            b.valueOffset = AlignUp(offset);
            b.maxLength = BoundValueSize(info.type, info.columnSize);
            b.lengthOffset = AlignUp(b.valueOffset + b.maxLength);
            b.statusOffset = b.lengthOffset + 4;
            offset = b.statusOffset + 4;
            m_bindings.push_back(b);
        }
        m_columns.push_back(std::move(column));
    }
    m_row.assign(AlignUp(offset) + 8, std::byte { 0 });
    return engine::S_OK;
}

engine::HRESULT CSmartAccessor::GetData(engine::Rowset& rowset)
{
    if (m_bindings.empty())
        return engine::S_OK;
    return rowset.GetData(m_bindings, m_row.data());
}

std::uint32_t CSmartAccessor::Length(const BoundColumn& column) const
{
    std::uint32_t length;
    std::memcpy(&length, m_row.data() + column.binding.lengthOffset, sizeof length);
    return length;
}

std::uint32_t CSmartAccessor::Status(const BoundColumn& column) const
{
    std::uint32_t status;
    std::memcpy(&status, m_row.data() + column.binding.statusOffset, sizeof status);
    return status;
}

} // namespace agent
