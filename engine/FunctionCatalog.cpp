#include "engine/FunctionCatalog.h"

#include "engine/Utf.h"

namespace engine::detail {

namespace {

using F = FunctionForm;
using R = ResultRule;

// SQLite reads LEFT, RIGHT and ISNULL as keywords; quoted, they name the functions.
constexpr DialectFunction kFunctions[] = {
    // Aggregates and the functions SQLite shares with the dialect.
    { u"COUNT", u"", F::Plain, R::Number },
    { u"SUM", u"", F::Plain, R::Number },
    { u"AVG", u"", F::Plain, R::Number },
    { u"MIN", u"", F::Plain, R::FirstArgument },
    { u"MAX", u"", F::Plain, R::FirstArgument },
    { u"ABS", u"", F::Plain, R::Number },
    { u"COALESCE", u"", F::Plain, R::FirstArgument },
    { u"NULLIF", u"", F::Plain, R::FirstArgument },
    { u"LOWER", u"", F::Plain, R::Text },
    { u"UPPER", u"", F::Plain, R::Text },
    { u"LTRIM", u"", F::Plain, R::Text },
    { u"RTRIM", u"", F::Plain, R::Text },
    { u"REPLACE", u"", F::Plain, R::Text },
    { u"UNICODE", u"", F::Plain, R::Number },
    { u"GETDATE", u"", F::Plain, R::Date },
    { u"NEWID", u"", F::Plain, R::Guid },
    // Text.
    { u"LEN", u"", F::Plain, R::Number },
    { u"DATALENGTH", u"", F::Plain, R::Number },
    { u"SUBSTRING", u"", F::Plain, R::TextOrBytes },
    { u"LEFT", u"\"left\"", F::Plain, R::TextOrBytes },
    { u"RIGHT", u"\"right\"", F::Plain, R::TextOrBytes },
    { u"CHARINDEX", u"", F::Plain, R::Number },
    { u"PATINDEX", u"", F::Plain, R::Number },
    { u"REPLICATE", u"", F::Plain, R::Text },
    { u"SPACE", u"", F::Plain, R::Text },
    { u"STUFF", u"", F::Plain, R::Text },
    { u"STR", u"", F::Plain, R::Text },
    { u"NCHAR", u"", F::Plain, R::Text },
    { u"ISNULL", u"\"isnull\"", F::Plain, R::FirstArgument },
    // Date-times.
    { u"DATEADD", u"", F::DatePartFirst, R::Date },
    { u"DATEDIFF", u"", F::DatePartFirst, R::Number },
    { u"DATEPART", u"", F::DatePartFirst, R::Number },
    { u"DATENAME", u"", F::DatePartFirst, R::Text },
    { u"YEAR", u"", F::Plain, R::Number },
    { u"MONTH", u"", F::Plain, R::Number },
    { u"DAY", u"", F::Plain, R::Number },
    // Conversions.
    { u"CONVERT", u"convert", F::TypeFirst, R::OfType },
    { u"CAST", u"convert", F::Cast, R::OfType },
    // Numbers.
    { u"CEILING", u"", F::Plain, R::Number },
    { u"FLOOR", u"", F::Plain, R::Number },
    { u"SIGN", u"", F::Plain, R::Number },
    { u"ROUND", u"", F::Plain, R::Number },
    { u"POWER", u"", F::Plain, R::Number },
    { u"SQUARE", u"", F::Plain, R::Number },
    { u"SQRT", u"", F::Plain, R::Number },
    { u"PI", u"", F::Plain, R::Number },
    { u"EXP", u"", F::Plain, R::Number },
    { u"LOG", u"", F::Plain, R::Number },
    { u"LOG10", u"", F::Plain, R::Number },
    { u"SIN", u"", F::Plain, R::Number },
    { u"COS", u"", F::Plain, R::Number },
    { u"TAN", u"", F::Plain, R::Number },
    { u"COT", u"", F::Plain, R::Number },
    { u"ASIN", u"", F::Plain, R::Number },
    { u"ACOS", u"", F::Plain, R::Number },
    { u"ATAN", u"", F::Plain, R::Number },
    { u"ATN2", u"", F::Plain, R::Number },
    { u"DEGREES", u"", F::Plain, R::Number },
    { u"RADIANS", u"", F::Plain, R::Number },
};

} // namespace

const DialectFunction* FindFunction(std::u16string_view name)
{
    for (const auto& f : kFunctions) {
        if (EqualsNoCase(name, f.name))
            return &f;
    }
    return nullptr;
}

std::span<const DialectFunction> DialectFunctions()
{
    return kFunctions;
}

} // namespace engine::detail
