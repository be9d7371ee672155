// What the copy progress dialog shows, worked out from the job's counters:
// the percent, the byte texts and the time remaining.
//
// Pure functions; safe from any thread.
#pragma once

#include <QString>

namespace explorer {

// 0 until bytes were copied and the total is known; then copied × 100 /
// total, clamped to 0..100.
int CopyPercent(quint64 copied, quint64 total);

// "%lu bytes" below 1024, "%.2f Kb" below 1048576, else "%.2f Mb".
QString CopyByteText(quint64 bytes);

// The time left of a copy `elapsedSeconds` in at `percent`: empty until two
// seconds have passed and the percent is above 0; "MM:SS" under an hour,
// else "HH:MM:SS". The estimate rounds up, so it never shows 00:00 early.
QString TimeRemainingText(qint64 elapsedSeconds, int percent);

} // namespace explorer
