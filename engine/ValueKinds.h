// The kinds of value the dialect's operators and conversions tell apart, and
// what + and - do for each pair of them. The statement translation uses these
// rules when both operand types are known from the statement; the operator
// functions use the same rules on the values when they are not.
#pragma once

#include "engine/SqlTypes.h"

#include <string_view>

namespace engine::detail {

// Unknown: the statement does not tell (a parameter, a subquery's column); the
// value decides when the statement runs.
enum class ValueKind { Unknown = 0, Null, Number, Text, Date, Bit, Binary, Guid };
inline constexpr int kValueKinds = 8;

ValueKind KindOfType(EngineType type);

// A type name for messages: "int", "nvarchar", "datetime", ...
std::u16string_view KindTypeName(ValueKind kind);

// What a + b or a - b does for two known kinds, as SQL Server's dialect
// decides it: two texts join, numbers add, a date-time with a number adds
// days, a text next to a number becomes a number, and a null gives null.
enum class Operation {
    Null,
    AddNumbers, // a text or bit operand is converted to a number first
    JoinTexts,
    JoinBytes,
    DateArithmetic, // both sides as offsets from 1900-01-01 (a number counts days)
    Invalid,
};

Operation Arithmetic(ValueKind left, ValueKind right, bool subtract);

// The kind of the result; Unknown when either operand's kind is.
ValueKind ResultKind(ValueKind left, ValueKind right, bool subtract);

// The operand kinds as one small number, for the operator functions' third argument.
inline int KindPair(ValueKind left, ValueKind right)
{
    return static_cast<int>(left) * kValueKinds + static_cast<int>(right);
}

} // namespace engine::detail
