// The engine's column types: their names, type codes and sizes as the engine
// reports them, and how each is held in SQLite (declared type, collation and
// the check that keeps a column's values of its type).
#pragma once

#include "engine/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::detail {

enum class EngineType {
    Int,
    SmallInt,
    TinyInt,
    BigInt,
    Bit,
    Real,
    Float,
    Money,
    Numeric,
    DateTime,
    NChar,
    NVarChar,
    NText,
    Binary,
    VarBinary,
    Image,
    UniqueIdentifier,
    RowVersion, // 8 bytes the engine gives a row when it is inserted and each time it is updated
};

struct SqlType {
    EngineType type = EngineType::Int;
    std::uint32_t length = 0; // nchar/nvarchar: characters; binary/varbinary: bytes
    std::uint8_t precision = 0; // numeric
    std::uint8_t scale = 0; // numeric
};

// Looks up a one-word type name (any case) including the synonyms integer,
// decimal, dec and timestamp (rowversion). Returns false for an unknown name.
bool LookupTypeName(std::u16string_view name, EngineType& out);

// Whether the type takes a length "(n)" / precision and scale "(p,s)".
bool TakesLength(EngineType type);
bool TakesPrecision(EngineType type);

// Checks the arguments of a parsed type and fills in the defaults the engine
// uses when they are left out (length 1, numeric(18,0)). Returns an empty text
// when the type is valid, else the reason.
std::u16string CompleteType(SqlType& type, bool lengthGiven, bool precisionGiven, bool scaleGiven);

// The engine's type name: "int", "nvarchar", "numeric", ...
std::u16string_view TypeName(EngineType type);

// The type as written in a column definition: "nvarchar(50)", "numeric(10,2)", "int".
std::u16string TypeText(const SqlType& type);

DBTYPE TypeCode(EngineType type);

// Declared size in a table definition and column information: characters for
// nchar/nvarchar, bytes for binary/varbinary, 536,870,911 for ntext and image,
// and the size of the delivered value for the fixed types.
std::uint32_t DeclaredSize(const SqlType& type);

bool IsLong(const SqlType& type);

// SQLite's side of a column of this type.
std::u16string SqliteDeclaration(const SqlType& type);
std::u16string_view Collation(EngineType type); // empty for the default
std::u16string CheckExpression(const SqlType& type, std::u16string_view quotedColumn);

// Reads back a declared type written by SqliteDeclaration (what SQLite reports
// for a result column that comes straight from a table column).
bool ParseSqliteDeclaration(std::u16string_view declaration, SqlType& out);

} // namespace engine::detail
