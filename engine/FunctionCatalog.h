// The functions of the engine's dialect: the name a user writes, the name
// SQLite knows it by, what its first argument is (a value, a date part or a
// type), and the kind of its result. Functions that are not listed here
// reach SQLite unchanged.
#pragma once

#include "engine/ValueKinds.h"

#include <span>
#include <string_view>

namespace engine::detail {

enum class FunctionForm {
    Plain,
    DatePartFirst, // DATEADD(day, ...): the first argument names a date part
    TypeFirst, // CONVERT(type, value [, style])
    Cast, // CAST(value AS type)
};

enum class ResultRule {
    Unknown,
    Number,
    Text,
    Date,
    Guid,
    FirstArgument, // the kind of the first argument (ISNULL, MIN, ...)
    TextOrBytes, // bytes from bytes, text from anything else (SUBSTRING, ...)
    OfType, // the type the call names (CONVERT, CAST)
};

struct DialectFunction {
    std::u16string_view name; // as documented, upper case
    std::u16string_view sqlName; // what the translation writes; empty: the name as written
    FunctionForm form;
    ResultRule result;
};

// Looks a function up by name, without regard to case; nullptr when not listed.
const DialectFunction* FindFunction(std::u16string_view name);

std::span<const DialectFunction> DialectFunctions();

} // namespace engine::detail
