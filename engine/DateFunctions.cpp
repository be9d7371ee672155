// DATEADD, DATEDIFF, DATEPART, DATENAME, YEAR, MONTH and DAY.
#include "engine/DialectFunctions.h"

#include "engine/DateMath.h"
#include "engine/DateStyles.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace engine::detail {

namespace {

// The date part named by argument 0 and the date-time of argument `dateArg`.
// False when the call is answered already: with null for a null argument, or
// with a failure for a part or date-time that is not valid.
bool PartAndDate(sqlite3_context* ctx, int argc, sqlite3_value** argv, int dateArg, const char16_t* function,
    DatePart& part, DateTime& date)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!LookupDatePart(TextArg(argv[0]), part)) {
        RaiseError(ctx, InvalidArgument(1, function));
        return false;
    }
    if (!ToDate(argv[dateArg], date)) {
        RaiseError(ctx, ConversionFailed(TextArg(argv[dateArg]), u"datetime"));
        return false;
    }
    return true;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::int64_t PartValue(DatePart part, const DateTime& v)
{
    switch (part) {
    case DatePart::Year:
        return v.year;
    case DatePart::Quarter:
        return (v.month - 1) / 3 + 1;
    case DatePart::Month:
        return v.month;
    case DatePart::DayOfYear:
        return DayOfYear(v);
    case DatePart::Day:
        return v.day;
    case DatePart::Week:
        return WeekOfYear(v);
    case DatePart::Weekday:
        return Weekday(v);
    case DatePart::Hour:
        return v.hour;
    case DatePart::Minute:
        return v.minute;
    case DatePart::Second:
        return v.second;
    case DatePart::Millisecond:
        return v.fraction / 1000000;
    }
    return 0;
}

// The months a year, quarter or month counts; 0 for the other parts.
std::int64_t MonthsOf(DatePart part)
{
    return part == DatePart::Year ? 12 : (part == DatePart::Quarter ? 3 : (part == DatePart::Month ? 1 : 0));
}

// The milliseconds a week, day, hour, minute, second or millisecond counts.
std::int64_t MillisecondsOf(DatePart part)
{
    switch (part) {
    case DatePart::Week:
        return 7 * kMsPerDay;
    case DatePart::Hour:
        return 3600000;
    case DatePart::Minute:
        return 60000;
    case DatePart::Second:
        return 1000;
    case DatePart::Millisecond:
        return 1;
    default:
        return kMsPerDay;
    }
}

void DateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    DatePart part;
    DateTime date;
    std::int64_t n = 0;
    if (!PartAndDate(ctx, argc, argv, 2, u"DATEADD", part, date) || !IntegerArg(ctx, argv, 1, u"DATEADD", n))
        return;
    const std::int64_t months = MonthsOf(part);
    std::int64_t delta = 0;
    bool ok = months ? n > -120000 && n < 120000 && AddMonths(date, n * months)
                     : !__builtin_mul_overflow(n, MillisecondsOf(part), &delta)
            && !__builtin_add_overflow(ToOffset(date), delta, &delta) && FromOffset(delta, date);
    if (!ok)
        return RaiseError(ctx, Overflow(u"datetime"));
    ResultDate(ctx, date);
}

void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    DatePart part;
    DateTime start;
    DateTime end;
    if (!PartAndDate(ctx, argc, argv, 1, u"DATEDIFF", part, start)
        || !PartAndDate(ctx, argc, argv, 2, u"DATEDIFF", part, end))
        return;
    // Boundaries crossed: each side is cut down to whole parts, then counted.
    std::int64_t diff = 0;
    if (const std::int64_t months = MonthsOf(part)) {
        diff = FloorDiv(end.year * 12 + end.month - 1, months)
            - FloorDiv(start.year * 12 + start.month - 1, months);
    } else {
        // Weeks start on Sunday; day 0 (1900-01-01) was a Monday.
        const std::int64_t shift = part == DatePart::Week ? kMsPerDay : 0;
        const std::int64_t unit = MillisecondsOf(part);
        diff = FloorDiv(ToOffset(end) + shift, unit) - FloorDiv(ToOffset(start) + shift, unit);
    }
    if (diff < std::numeric_limits<std::int32_t>::min() || diff > std::numeric_limits<std::int32_t>::max())
        return RaiseError(ctx, Overflow(u"int"));
    sqlite3_result_int64(ctx, diff);
}

void DatePartOf(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    DatePart part;
    DateTime date;
    if (PartAndDate(ctx, argc, argv, 1, u"DATEPART", part, date))
        sqlite3_result_int64(ctx, PartValue(part, date));
}

void DateName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    DatePart part;
    DateTime date;
    if (!PartAndDate(ctx, argc, argv, 1, u"DATENAME", part, date))
        return;
    if (part == DatePart::Month)
        return ResultText(ctx, MonthName(date.month));
    if (part == DatePart::Weekday)
        return ResultText(ctx, WeekdayName(Weekday(date)));
    ResultText(ctx, std::to_string(PartValue(part, date)));
}

template <DatePart Part> void OnePart(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    DateTime date;
    if (!ToDate(argv[0], date))
        return RaiseError(ctx, ConversionFailed(TextArg(argv[0]), u"datetime"));
    sqlite3_result_int64(ctx, PartValue(Part, date));
}

} // namespace

bool ToDate(sqlite3_value* value, DateTime& out)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_TEXT:
        return ParseDateStyle(TextArg(value), kNoStyle, out);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        double days = sqlite3_value_double(value);
        if (!(std::fabs(days) < 4.0e6))
            return false;
        return FromOffset(std::llround(days * static_cast<double>(kMsPerDay)), out);
    }
    default:
        return false;
    }
}

void ResultDate(sqlite3_context* ctx, const DateTime& value)
{
    ResultText(ctx, FormatDateTime(value));
}

int RegisterDateFunctions(sqlite3* db)
{
    const SqlFunction functions[] = {
        { "dateadd", 3, DateAdd },
        { "datediff", 3, DateDiff },
        { "datepart", 2, DatePartOf },
        { "datename", 2, DateName },
        { "year", 1, OnePart<DatePart::Year> },
        { "month", 1, OnePart<DatePart::Month> },
        { "day", 1, OnePart<DatePart::Day> },
    };
    return RegisterAll(db, functions);
}

} // namespace engine::detail
