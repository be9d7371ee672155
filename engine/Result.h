// Result codes, value status codes, type codes and property identifiers of the
// database engine provider. The numbers are OLE DB's, so that the agent can
// compare and print them exactly as it would with the original provider.
#pragma once

#include <cstdint>

namespace engine {

// A 32-bit result: negative means failure, 0 and positive values success.
using HRESULT = std::int32_t;

constexpr HRESULT MakeResult(std::uint32_t bits)
{
    return static_cast<HRESULT>(bits);
}
constexpr bool Succeeded(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr)
{
    return hr < 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT DB_S_ENDOFROWSET = 0x00040EC6;

inline constexpr HRESULT E_FAIL = MakeResult(0x80004005);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154);
inline constexpr HRESULT DB_E_CANTCONVERTVALUE = MakeResult(0x80040E07);
inline constexpr HRESULT DB_E_ERRORSINCOMMAND = MakeResult(0x80040E14);
inline constexpr HRESULT DB_E_INTEGRITYVIOLATION = MakeResult(0x80040E2F);
inline constexpr HRESULT DB_E_NOTABLE = MakeResult(0x80040E37);
inline constexpr HRESULT DB_E_DUPLICATETABLEID = MakeResult(0x80040E3F);
inline constexpr HRESULT DB_SEC_E_AUTH_FAILED = MakeResult(0x80040E4D);
inline constexpr HRESULT DB_E_ALREADYINITIALIZED = MakeResult(0x80040E52);
inline constexpr HRESULT DB_E_BADORDINAL = MakeResult(0x80040E55);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeResult(0x80030002);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeResult(0x80030005);
inline constexpr HRESULT STG_E_SHAREVIOLATION = MakeResult(0x80030020);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeResult(0x80030050);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeResult(0x80030070);
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeResult(0x800300FB);

// Status of one delivered value (DBSTATUS).
using DBSTATUS = std::uint32_t;
inline constexpr DBSTATUS DBSTATUS_S_OK = 0;
inline constexpr DBSTATUS DBSTATUS_E_BADACCESSOR = 1;
inline constexpr DBSTATUS DBSTATUS_E_CANTCONVERTVALUE = 2;
inline constexpr DBSTATUS DBSTATUS_S_ISNULL = 3;
inline constexpr DBSTATUS DBSTATUS_S_TRUNCATED = 4;
inline constexpr DBSTATUS DBSTATUS_E_DATAOVERFLOW = 6;

// Type codes (DBTYPE) of columns and delivered values.
using DBTYPE = std::uint16_t;
inline constexpr DBTYPE DBTYPE_I2 = 2;
inline constexpr DBTYPE DBTYPE_I4 = 3;
inline constexpr DBTYPE DBTYPE_R4 = 4;
inline constexpr DBTYPE DBTYPE_R8 = 5;
inline constexpr DBTYPE DBTYPE_CY = 6;
inline constexpr DBTYPE DBTYPE_BOOL = 11;
inline constexpr DBTYPE DBTYPE_IUNKNOWN = 13;
inline constexpr DBTYPE DBTYPE_UI1 = 17;
inline constexpr DBTYPE DBTYPE_I8 = 20;
inline constexpr DBTYPE DBTYPE_GUID = 72;
inline constexpr DBTYPE DBTYPE_BYTES = 128;
inline constexpr DBTYPE DBTYPE_WSTR = 130;
inline constexpr DBTYPE DBTYPE_NUMERIC = 131;
inline constexpr DBTYPE DBTYPE_DBTIMESTAMP = 135;

// Column flags (DBCOLUMNFLAGS) of column information.
inline constexpr std::uint32_t DBCOLUMNFLAGS_ISBOOKMARK = 0x1;
inline constexpr std::uint32_t DBCOLUMNFLAGS_WRITE = 0x4;
inline constexpr std::uint32_t DBCOLUMNFLAGS_ISFIXEDLENGTH = 0x10;
inline constexpr std::uint32_t DBCOLUMNFLAGS_ISNULLABLE = 0x20;
inline constexpr std::uint32_t DBCOLUMNFLAGS_MAYBENULL = 0x40;
inline constexpr std::uint32_t DBCOLUMNFLAGS_ISLONG = 0x80;

// Column properties of a table definition, always listed in this order.
inline constexpr std::uint32_t DBPROP_COL_AUTOINCREMENT = 26;
inline constexpr std::uint32_t DBPROP_COL_DEFAULT = 27;
inline constexpr std::uint32_t DBPROP_COL_NULLABLE = 29;

// Constraint types of a table definition (DBCONSTRAINTTYPE).
inline constexpr std::uint32_t DBCONSTRAINTTYPE_UNIQUE = 0;
inline constexpr std::uint32_t DBCONSTRAINTTYPE_FOREIGNKEY = 1;
inline constexpr std::uint32_t DBCONSTRAINTTYPE_PRIMARYKEY = 2;

// The declared size of ntext and image columns.
inline constexpr std::uint32_t kLongColumnSize = 536870911;

// Binary forms of delivered values, laid out as OLE DB lays them out.
struct DbTimestamp { // DBTYPE_DBTIMESTAMP
    std::int16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint32_t fraction; // billionths of a second
};
static_assert(sizeof(DbTimestamp) == 16);

struct DbNumeric { // DBTYPE_NUMERIC
    std::uint8_t precision;
    std::uint8_t scale;
    std::uint8_t sign; // 1 positive, 0 negative
    std::uint8_t value[16]; // unscaled magnitude, little-endian
};
static_assert(sizeof(DbNumeric) == 19);

} // namespace engine
