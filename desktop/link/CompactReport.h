// What a compaction of a device database tells the user, shared by the
// database window, the "Compact a database" dialog and the command line.
//
// Pure functions; safe from any thread.
#pragma once

#include <QString>

namespace devlink {

// A compaction succeeded only when its answer was "<Success>" and the
// device's "CompactSuccessful" was read as 1: a value that is missing (the
// agent never got to compact) is a failure, not a success.
bool CompactSucceeded(bool answerSucceeded, bool valueRead, quint32 compactSuccessful);

// The report after a successful compaction, sizes in bytes (0: unknown):
// the short "Compact was successful.\r\n" when either is unknown, else the
// two sizes, with the "still the same size" wording when they are equal.
QString CompactReport(quint32 sizeBefore, quint32 sizeAfter);

} // namespace devlink
