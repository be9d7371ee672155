#include "engine/SqlTypes.h"

#include "engine/Utf.h"

namespace engine::detail {

namespace {

struct TypeInfo {
    EngineType type;
    std::u16string_view name;
    DBTYPE code;
    std::uint32_t fixedSize; // size of the delivered value for fixed types
};

constexpr TypeInfo kTypes[] = {
    { EngineType::Int, u"int", DBTYPE_I4, 4 },
    { EngineType::SmallInt, u"smallint", DBTYPE_I2, 2 },
    { EngineType::TinyInt, u"tinyint", DBTYPE_UI1, 1 },
    { EngineType::BigInt, u"bigint", DBTYPE_I8, 8 },
    { EngineType::Bit, u"bit", DBTYPE_BOOL, 2 },
    { EngineType::Real, u"real", DBTYPE_R4, 4 },
    { EngineType::Float, u"float", DBTYPE_R8, 8 },
    { EngineType::Money, u"money", DBTYPE_CY, 8 },
    { EngineType::Numeric, u"numeric", DBTYPE_NUMERIC, 19 },
    { EngineType::DateTime, u"datetime", DBTYPE_DBTIMESTAMP, 16 },
    { EngineType::NChar, u"nchar", DBTYPE_WSTR, 0 },
    { EngineType::NVarChar, u"nvarchar", DBTYPE_WSTR, 0 },
    { EngineType::NText, u"ntext", DBTYPE_WSTR, kLongColumnSize },
    { EngineType::Binary, u"binary", DBTYPE_BYTES, 0 },
    { EngineType::VarBinary, u"varbinary", DBTYPE_BYTES, 0 },
    { EngineType::Image, u"image", DBTYPE_BYTES, kLongColumnSize },
    { EngineType::UniqueIdentifier, u"uniqueidentifier", DBTYPE_GUID, 16 },
    { EngineType::RowVersion, u"rowversion", DBTYPE_BYTES, 8 },
};

const TypeInfo& Info(EngineType type)
{
    return kTypes[static_cast<int>(type)];
}

std::u16string Number(long long v)
{
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

} // namespace

bool LookupTypeName(std::u16string_view name, EngineType& out)
{
    for (const auto& t : kTypes) {
        if (EqualsNoCase(name, t.name)) {
            out = t.type;
            return true;
        }
    }
    if (EqualsNoCase(name, u"integer")) {
        out = EngineType::Int;
        return true;
    }
    if (EqualsNoCase(name, u"decimal") || EqualsNoCase(name, u"dec")) {
        out = EngineType::Numeric;
        return true;
    }
    if (EqualsNoCase(name, u"timestamp")) {
        out = EngineType::RowVersion;
        return true;
    }
    return false;
}

bool TakesLength(EngineType t)
{
    return t == EngineType::NChar || t == EngineType::NVarChar || t == EngineType::Binary
        || t == EngineType::VarBinary;
}

bool TakesPrecision(EngineType t)
{
    return t == EngineType::Numeric;
}

std::u16string CompleteType(SqlType& type, bool lengthGiven, bool precisionGiven, bool scaleGiven)
{
    if (TakesLength(type.type)) {
        bool text = type.type == EngineType::NChar || type.type == EngineType::NVarChar;
        std::uint32_t max = text ? 4000 : 8000;
        if (!lengthGiven)
            type.length = 1;
        if (type.length < 1 || type.length > max)
            return u"The length of a column of this type must be between 1 and " + Number(max);
    } else if (TakesPrecision(type.type)) {
        if (!precisionGiven)
            type.precision = 18;
        if (!scaleGiven)
            type.scale = 0;
        if (type.precision < 1 || type.precision > 38)
            return u"The precision must be between 1 and 38";
        if (type.scale > type.precision)
            return u"The scale must not be greater than the precision";
    } else if (lengthGiven || precisionGiven || scaleGiven) {
        return u"This data type takes no length";
    }
    return {};
}

std::u16string_view TypeName(EngineType type)
{
    return Info(type).name;
}

std::u16string TypeText(const SqlType& type)
{
    std::u16string text(TypeName(type.type));
    if (TakesLength(type.type))
        text += u"(" + Number(type.length) + u")";
    else if (TakesPrecision(type.type))
        text += u"(" + Number(type.precision) + u"," + Number(type.scale) + u")";
    return text;
}

DBTYPE TypeCode(EngineType type)
{
    return Info(type).code;
}

std::uint32_t DeclaredSize(const SqlType& type)
{
    if (TakesLength(type.type))
        return type.length;
    return Info(type.type).fixedSize;
}

bool IsLong(const SqlType& type)
{
    return DeclaredSize(type) > 1024;
}

std::u16string SqliteDeclaration(const SqlType& type)
{
    // The word after the engine's name gives SQLite the storage wanted; SQLite
    // takes "(n)" only at the end of a declared type.
    std::u16string text = TypeText(type);
    std::u16string name(TypeName(type.type));
    std::u16string arguments = text.substr(name.size());
    switch (type.type) {
    case EngineType::Bit:
    case EngineType::DateTime:
    case EngineType::UniqueIdentifier:
        // Held as the text that was written; the collation compares meanings.
        return name + u" text" + arguments;
    case EngineType::Binary:
    case EngineType::VarBinary:
    case EngineType::Image:
    case EngineType::RowVersion:
        return name + u" blob" + arguments;
    default:
        return text;
    }
}

std::u16string_view Collation(EngineType type)
{
    switch (type) {
    case EngineType::NChar:
    case EngineType::NVarChar:
    case EngineType::NText:
        return u"NOCASE";
    case EngineType::Bit:
        return u"QV_BIT";
    case EngineType::DateTime:
        return u"QV_DATETIME";
    case EngineType::UniqueIdentifier:
        return u"QV_GUID";
    default:
        return {};
    }
}

std::u16string CheckExpression(const SqlType& type, std::u16string_view c)
{
    std::u16string col(c);
    auto typed = [&](std::u16string_view kinds) {
        return u"typeof(" + col + u") IN (" + std::u16string(kinds) + u")";
    };
    auto range = [&](std::u16string_view lo, std::u16string_view hi) {
        return u" AND " + col + u" BETWEEN " + std::u16string(lo) + u" AND " + std::u16string(hi);
    };
    switch (type.type) {
    case EngineType::Int:
        return typed(u"'integer','null'") + range(u"-2147483648", u"2147483647");
    case EngineType::SmallInt:
        return typed(u"'integer','null'") + range(u"-32768", u"32767");
    case EngineType::TinyInt:
        return typed(u"'integer','null'") + range(u"0", u"255");
    case EngineType::BigInt:
        return typed(u"'integer','null'");
    case EngineType::Bit:
        return u"qv_isbit(" + col + u")";
    case EngineType::Real:
        return typed(u"'real','integer','null'") + range(u"-3.40282347e38", u"3.40282347e38");
    case EngineType::Float:
        return typed(u"'real','integer','null'");
    case EngineType::Money:
        return typed(u"'real','integer','null'") + range(u"-922337203685477.5808", u"922337203685477.5807");
    case EngineType::Numeric: {
        std::u16string limit = u"1e" + Number(type.precision - type.scale);
        return typed(u"'real','integer','null'") + u" AND abs(" + col + u") < " + limit;
    }
    case EngineType::DateTime:
        return u"qv_isdatetime(" + col + u")";
    case EngineType::NChar:
    case EngineType::NVarChar:
        return typed(u"'text','null'") + u" AND length(" + col + u") <= " + Number(type.length);
    case EngineType::NText:
        return typed(u"'text','null'");
    case EngineType::Binary:
    case EngineType::VarBinary:
        return typed(u"'blob','null'") + u" AND length(" + col + u") <= " + Number(type.length);
    case EngineType::Image:
        return typed(u"'blob','null'");
    case EngineType::UniqueIdentifier:
        return u"qv_isguid(" + col + u")";
    case EngineType::RowVersion:
        return typed(u"'blob','null'") + u" AND length(" + col + u") = 8";
    }
    return u"1";
}

bool ParseSqliteDeclaration(std::u16string_view decl, SqlType& out)
{
    std::size_t end = 0;
    while (end < decl.size() && decl[end] != u'(' && decl[end] != u' ')
        ++end;
    EngineType type;
    if (!LookupTypeName(decl.substr(0, end), type))
        return false;
    SqlType result;
    result.type = type;
    end = decl.find(u'(', end);
    if (end != std::u16string_view::npos) {
        long long numbers[2] = { 0, 0 };
        int index = 0;
        std::size_t i = end + 1;
        for (; i < decl.size() && decl[i] != u')'; ++i) {
            if (decl[i] == u',') {
                if (++index > 1)
                    return false;
            } else if (decl[i] >= u'0' && decl[i] <= u'9') {
                numbers[index] = numbers[index] * 10 + (decl[i] - u'0');
                if (numbers[index] > 100000)
                    return false;
            } else if (decl[i] != u' ') {
                return false;
            }
        }
        if (TakesLength(type)) {
            result.length = static_cast<std::uint32_t>(numbers[0]);
        } else if (TakesPrecision(type)) {
            result.precision = static_cast<std::uint8_t>(numbers[0]);
            result.scale = static_cast<std::uint8_t>(numbers[1]);
        }
    } else if (TakesLength(type)) {
        result.length = 1;
    } else if (TakesPrecision(type)) {
        result.precision = 18;
    }
    out = result;
    return true;
}

} // namespace engine::detail
