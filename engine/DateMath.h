// Calendar arithmetic on date-times: offsets from 1900-01-01 (the origin the
// dialect counts days from), months that keep their day where they can, day
// of the week and of the year, and the date parts the date functions name.
#pragma once

#include "engine/DateTimeText.h"

#include <cstdint>
#include <string_view>

namespace engine::detail {

inline constexpr std::int64_t kMsPerDay = 86400000;

int DaysInMonth(int year, int month);

// Milliseconds from 1900-01-01 00:00:00, negative before it (a fraction below
// a millisecond is dropped).
std::int64_t ToOffset(const DateTime& value);
// False when the offset lies outside the years 1753 to 9999.
bool FromOffset(std::int64_t offset, DateTime& out);

int DayOfYear(const DateTime& value);
// 1 = Sunday ... 7 = Saturday.
int Weekday(const DateTime& value);
// Week of the year, 1 for the week holding January 1; weeks start on Sunday.
int WeekOfYear(const DateTime& value);

// Adds whole months; a day beyond the new month's end becomes its last day
// (January 31 + 1 month = February 28 or 29). False outside the years 1753 to 9999.
bool AddMonths(DateTime& value, std::int64_t months);

enum class DatePart {
    Year,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    Weekday,
    Hour,
    Minute,
    Second,
    Millisecond
};

// Every name and abbreviation of a date part (year, yy, yyyy, ...), any case.
bool LookupDatePart(std::u16string_view name, DatePart& out);
std::u16string_view DatePartName(DatePart part); // "year", "quarter", ...

} // namespace engine::detail
