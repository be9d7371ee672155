// Whether a copy to the device may replace a device file of the same name,
// by the setting "CopyFilesWhen": 0 ask (the overwrite question, whose
// "…all" answers stand for the rest of a batch), 1 when the PC's file is
// newer, 2 always, 3 never.
//
// Threads: where device work runs (the device session's worker); the
// question goes through the prompt interface.
#pragma once

#include <QDateTime>
#include <QString>

namespace explorer {

inline constexpr int kCopyPrompt = 0;
inline constexpr int kCopyWhenNewer = 1;
inline constexpr int kCopyAlways = 2;
inline constexpr int kCopyNever = 3;

// The remembered answer of a batch: ask, yes to all, no to all.
inline constexpr int kOverwriteAsk = -1;
inline constexpr int kOverwriteYesToAll = 2;
inline constexpr int kOverwriteNoToAll = 4;

enum class OverwriteDecision {
    Copy,
    Skip, // the device's file stays; not an error
    Cancel, // the user cancelled the question: the batch ends
};

// "CopyFilesWhen" (0 when missing or out of range).
int CopyFilesWhen();

// True when the PC's time is later than the device's, in whole seconds;
// also when either is unknown (invalid).
bool PcCopyIsNewer(const QDateTime& pcTime, const QDateTime& deviceTime);

// Decides for a copy of `pcPath` onto `devicePath`. A device file that is
// not there is always copied. `overwriteChoice` is the batch's remembered
// answer, updated by "Yes to all" and "No to all".
OverwriteDecision DecideOverwrite(const QString& pcPath, const QString& devicePath, int* overwriteChoice);

} // namespace explorer
