#include "engine/ValueKinds.h"

namespace engine::detail {

ValueKind KindOfType(EngineType type)
{
    // The type code a value is delivered in tells its kind.
    switch (TypeCode(type)) {
    case DBTYPE_BOOL:
        return ValueKind::Bit;
    case DBTYPE_DBTIMESTAMP:
        return ValueKind::Date;
    case DBTYPE_WSTR:
        return ValueKind::Text;
    case DBTYPE_BYTES:
        return ValueKind::Binary;
    case DBTYPE_GUID:
        return ValueKind::Guid;
    default:
        return ValueKind::Number;
    }
}

std::u16string_view KindTypeName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Number:
        return u"numeric";
    case ValueKind::Text:
        return u"nvarchar";
    case ValueKind::Date:
        return u"datetime";
    case ValueKind::Bit:
        return u"bit";
    case ValueKind::Binary:
        return u"varbinary";
    case ValueKind::Guid:
        return u"uniqueidentifier";
    default:
        return u"";
    }
}

namespace {

bool IsNumeric(ValueKind k)
{
    return k == ValueKind::Number || k == ValueKind::Bit;
}

} // namespace

Operation Arithmetic(ValueKind a, ValueKind b, bool subtract)
{
    if (a == ValueKind::Null || b == ValueKind::Null)
        return Operation::Null;
    if (a == ValueKind::Guid || b == ValueKind::Guid)
        return Operation::Invalid;
    if (a == ValueKind::Date || b == ValueKind::Date) {
        bool other = a == ValueKind::Date ? IsNumeric(b) || b == ValueKind::Text || b == ValueKind::Date
                                          : IsNumeric(a) || a == ValueKind::Text;
        return other ? Operation::DateArithmetic : Operation::Invalid;
    }
    if (a == ValueKind::Binary || b == ValueKind::Binary)
        return a == b && !subtract ? Operation::JoinBytes : Operation::Invalid;
    if (a == ValueKind::Text && b == ValueKind::Text)
        return subtract ? Operation::Invalid : Operation::JoinTexts;
    return Operation::AddNumbers;
}

ValueKind ResultKind(ValueKind a, ValueKind b, bool subtract)
{
    if (a == ValueKind::Unknown || b == ValueKind::Unknown)
        return ValueKind::Unknown;
    switch (Arithmetic(a, b, subtract)) {
    case Operation::Null:
        return ValueKind::Null;
    case Operation::AddNumbers:
        return ValueKind::Number;
    case Operation::JoinTexts:
        return ValueKind::Text;
    case Operation::JoinBytes:
        return ValueKind::Binary;
    case Operation::DateArithmetic:
        return ValueKind::Date;
    case Operation::Invalid:
        break;
    }
    return ValueKind::Unknown;
}

} // namespace engine::detail
