// Date-times written in the dialect's CONVERT styles, and read back from them:
// 0/100 "Jan  1 2005 10:00AM", 101 mm/dd/yyyy, 102 yyyy.mm.dd, 103
// dd/mm/yyyy, 104 dd.mm.yyyy, 105 dd-mm-yyyy, 110 mm-dd-yyyy, 111
// yyyy/mm/dd, 112 yyyymmdd, 120 yyyy-mm-dd hh:mi:ss, 121 with milliseconds,
// 126 ISO 8601; the two-digit-year forms 1 to 5 and 10 to 12, and 20 and 21
// (the same as 120 and 121).
#pragma once

#include "engine/DateTimeText.h"

#include <string>
#include <string_view>

namespace engine::detail {

inline constexpr int kNoStyle = -1;

// False when `style` is not a date style.
bool FormatDateStyle(const DateTime& value, int style, std::u16string& out);

// Reads a date-time: day and month in the order the style gives (month first
// without a style), two-digit years as 1950 to 2049, month names in English
// ("Jan 1 2005", "1 January 2005"), and everything ParseDateTime reads.
bool ParseDateStyle(std::u16string_view text, int style, DateTime& out);

std::u16string_view MonthName(int month); // "January"
std::u16string_view WeekdayName(int weekday); // 1 = "Sunday"

} // namespace engine::detail
