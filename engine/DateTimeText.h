// Date-time values as texts. A datetime column keeps the text that was written
// into it ('1962/2/18', '2005/12/25 10:00:00', ISO 8601, or the agent's own
// output form "2005/12/25  10:00:00"); every reader goes through these
// functions, so all those forms mean the same instant.
#pragma once

#include "engine/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::detail {

struct DateTime {
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t fraction = 0; // billionths of a second
};

// Accepted forms, with spaces allowed around the whole text:
//   date: Y-M-D, Y/M/D or Y.M.D (four-digit year), M/D/Y, M-D-Y or M.D.Y
//         (four-digit year), or YYYYMMDD;
//   then optionally one or more spaces (or "T") and a time
//   H:M[:S[.fraction]] with an optional AM/PM; a time alone means 1900-01-01.
// Years run from 1753 to 9999; days are checked against their month.
bool ParseDateTime(std::u16string_view text, DateTime& out);
bool ParseDateTime(std::string_view text, DateTime& out);

// "YYYY-MM-DD HH:MM:SS", with ".fff" milliseconds when the fraction is not 0.
std::string FormatDateTime(const DateTime& value);

// A key that orders instants; values within the same second share it, because
// everything this system shows of a date-time stops at the second.
std::int64_t SecondKey(const DateTime& value);

DbTimestamp ToTimestamp(const DateTime& value);

} // namespace engine::detail
