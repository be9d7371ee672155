#include "engine/DateMath.h"

#include "engine/Utf.h"

#include <algorithm>

namespace engine::detail {

namespace {

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

const std::int64_t kDay1900 = DaysFromCivil(1900, 1, 1);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::int64_t DayNumber(const DateTime& v)
{
    return DaysFromCivil(v.year, v.month, v.day) - kDay1900;
}

struct PartName {
    std::u16string_view name;
    DatePart part;
};

constexpr PartName kPartNames[] = {
    { u"year", DatePart::Year },
    { u"yy", DatePart::Year },
    { u"yyyy", DatePart::Year },
    { u"quarter", DatePart::Quarter },
    { u"qq", DatePart::Quarter },
    { u"q", DatePart::Quarter },
    { u"month", DatePart::Month },
    { u"mm", DatePart::Month },
    { u"m", DatePart::Month },
    { u"dayofyear", DatePart::DayOfYear },
    { u"dy", DatePart::DayOfYear },
    { u"y", DatePart::DayOfYear },
    { u"day", DatePart::Day },
    { u"dd", DatePart::Day },
    { u"d", DatePart::Day },
    { u"week", DatePart::Week },
    { u"wk", DatePart::Week },
    { u"ww", DatePart::Week },
    { u"weekday", DatePart::Weekday },
    { u"dw", DatePart::Weekday },
    { u"w", DatePart::Weekday },
    { u"hour", DatePart::Hour },
    { u"hh", DatePart::Hour },
    { u"minute", DatePart::Minute },
    { u"mi", DatePart::Minute },
    { u"n", DatePart::Minute },
    { u"second", DatePart::Second },
    { u"ss", DatePart::Second },
    { u"s", DatePart::Second },
    { u"millisecond", DatePart::Millisecond },
    { u"ms", DatePart::Millisecond },
};

} // namespace

int DaysInMonth(int y, int m)
{
    static const int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return (m == 2 && leap) ? 29 : days[m - 1];
}

std::int64_t ToOffset(const DateTime& v)
{
    std::int64_t ms
        = ((static_cast<std::int64_t>(v.hour) * 60 + v.minute) * 60 + v.second) * 1000 + v.fraction / 1000000;
    return DayNumber(v) * kMsPerDay + ms;
}

bool FromOffset(std::int64_t offset, DateTime& out)
{
    // Beyond this the day count itself could overflow; far outside the range anyway.
    if (offset < -1000000 * kMsPerDay || offset > 4000000 * kMsPerDay)
        return false;
    std::int64_t day = FloorDiv(offset, kMsPerDay);
    std::int64_t ms = offset - day * kMsPerDay;
    std::int64_t y = 0;
    int m = 0;
    int d = 0;
    CivilFromDays(day + kDay1900, y, m, d);
    if (y < 1753 || y > 9999)
        return false;
    out.year = static_cast<int>(y);
    out.month = m;
    out.day = d;
    out.hour = static_cast<int>(ms / 3600000);
    out.minute = static_cast<int>(ms / 60000 % 60);
    out.second = static_cast<int>(ms / 1000 % 60);
    out.fraction = static_cast<std::uint32_t>(ms % 1000) * 1000000u;
    return true;
}

int DayOfYear(const DateTime& v)
{
    return static_cast<int>(DaysFromCivil(v.year, v.month, v.day) - DaysFromCivil(v.year, 1, 1)) + 1;
}

int Weekday(const DateTime& v)
{
    // 1900-01-01 was a Monday.
    std::int64_t d = DayNumber(v);
    return static_cast<int>(((d % 7) + 7 + 1) % 7) + 1;
}

int WeekOfYear(const DateTime& v)
{
    DateTime first = v;
    first.month = 1;
    first.day = 1;
    return (DayOfYear(v) - 1 + Weekday(first) - 1) / 7 + 1;
}

bool AddMonths(DateTime& v, std::int64_t months)
{
    if (months > 120000 || months < -120000)
        return false;
    std::int64_t index = static_cast<std::int64_t>(v.year) * 12 + (v.month - 1) + months;
    std::int64_t year = FloorDiv(index, 12);
    if (year < 1753 || year > 9999)
        return false;
    v.year = static_cast<int>(year);
    v.month = static_cast<int>(index - year * 12) + 1;
    v.day = std::min(v.day, DaysInMonth(v.year, v.month));
    return true;
}

bool LookupDatePart(std::u16string_view name, DatePart& out)
{
    for (const auto& p : kPartNames) {
        if (EqualsNoCase(name, p.name)) {
            out = p.part;
            return true;
        }
    }
    return false;
}

std::u16string_view DatePartName(DatePart part)
{
    for (const auto& p : kPartNames) {
        if (p.part == part)
            return p.name;
    }
    return u"";
}

} // namespace engine::detail
