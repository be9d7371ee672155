// The device's file times as the explorer shows them: the date in the
// order of the desktop's short date format, two blanks and the time.
//
// The pattern is the desktop's short date of 25 December 2005 with its
// parts replaced by placeholders: "%m/%d/%2y" for "12/25/05", "%d.%m.%4y"
// for "25.12.2005". Pure functions; safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace explorer {

// The date pattern of `locale`'s short date format.
QString DatePatternOf(const QLocale& locale);
// The pattern of the desktop's locale, worked out once.
const QString& DesktopDatePattern();

// `time` (taken as it is, no zone conversion) in `pattern`, two blanks,
// "HH:MM" or, with `seconds`, "HH:MM:SS".
QString DeviceDateText(const QDateTime& time, const QString& pattern, bool seconds = false);

// A device file time in calendar form (UTC, as the device keeps it).
QDateTime DeviceFileTime(FILETIME time);

// A file time as the list shows and compares it: years after 2019 become
// 2019 (29 February becomes the 28th).
QDateTime ClampListYear(const QDateTime& time);

} // namespace explorer
