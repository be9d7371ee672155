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

// The date part named by argument 0 and the date-time of argument `dateArg`;
// false (with the statement failed) when either is not valid.
bool PartAndDate(sqlite3_context* ctx, sqlite3_value** argv, int dateArg, const char16_t* function,
    DatePart& part, DateTime& date)
{
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

void DateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    DatePart part;
    DateTime date;
    std::int64_t n = 0;
    if (!PartAndDate(ctx, argv, 2, u"DATEADD", part, date) || !IntegerArg(ctx, argv, 1, u"DATEADD", n))
        return;
    bool ok = true;
    std::int64_t unit = 0;
    switch (part) {
    case DatePart::Year:
        ok = n > -10000 && n < 10000 && AddMonths(date, n * 12);
        break;
    case DatePart::Quarter:
        ok = n > -40000 && n < 40000 && AddMonths(date, n * 3);
        break;
    case DatePart::Month:
        ok = AddMonths(date, n);
        break;
    case DatePart::Week:
        unit = 7 * kMsPerDay;
        break;
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::Weekday:
        unit = kMsPerDay;
        break;
    case DatePart::Hour:
        unit = 3600000;
        break;
    case DatePart::Minute:
        unit = 60000;
        break;
    case DatePart::Second:
        unit = 1000;
        break;
    case DatePart::Millisecond:
        unit = 1;
        break;
    }
    if (ok && unit) {
        std::int64_t delta = 0;
        ok = !__builtin_mul_overflow(n, unit, &delta) && FromOffset(ToOffset(date) + delta, date);
    }
    if (!ok)
        return RaiseError(ctx, Overflow(u"datetime"));
    ResultDate(ctx, date);
}

void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    DatePart part;
    DateTime start;
    DateTime end;
    if (!PartAndDate(ctx, argv, 1, u"DATEDIFF", part, start)
        || !PartAndDate(ctx, argv, 2, u"DATEDIFF", part, end))
        return;
    // Boundaries crossed: each side is cut down to the part, then counted.
    std::int64_t a = ToOffset(start);
    std::int64_t b = ToOffset(end);
    std::int64_t diff = 0;
    switch (part) {
    case DatePart::Year:
        diff = end.year - start.year;
        break;
    case DatePart::Quarter:
        diff = (end.year * 4 + (end.month - 1) / 3) - (start.year * 4 + (start.month - 1) / 3);
        break;
    case DatePart::Month:
        diff = (end.year * 12 + end.month) - (start.year * 12 + start.month);
        break;
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::Weekday:
        diff = FloorDiv(b, kMsPerDay) - FloorDiv(a, kMsPerDay);
        break;
    case DatePart::Week:
        // Weeks start on Sunday; day 0 (1900-01-01) was a Monday.
        diff = FloorDiv(FloorDiv(b, kMsPerDay) + 1, 7) - FloorDiv(FloorDiv(a, kMsPerDay) + 1, 7);
        break;
    case DatePart::Hour:
        diff = FloorDiv(b, 3600000) - FloorDiv(a, 3600000);
        break;
    case DatePart::Minute:
        diff = FloorDiv(b, 60000) - FloorDiv(a, 60000);
        break;
    case DatePart::Second:
        diff = FloorDiv(b, 1000) - FloorDiv(a, 1000);
        break;
    case DatePart::Millisecond:
        diff = b - a;
        break;
    }
    if (diff < std::numeric_limits<std::int32_t>::min() || diff > std::numeric_limits<std::int32_t>::max())
        return RaiseError(ctx, Overflow(u"int"));
    sqlite3_result_int64(ctx, diff);
}

void DatePartOf(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    DatePart part;
    DateTime date;
    if (PartAndDate(ctx, argv, 1, u"DATEPART", part, date))
        sqlite3_result_int64(ctx, PartValue(part, date));
}

void DateName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    DatePart part;
    DateTime date;
    if (!PartAndDate(ctx, argv, 1, u"DATENAME", part, date))
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
