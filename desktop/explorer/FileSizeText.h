// The explorer's size texts: one file's size in the form the setting
// "ShowFilesizeAs" chooses, and the total line under the list. The command
// line's listing uses the same texts.
//
// Pure functions, safe from any thread (ShowFilesizeAs reads the settings).
#pragma once

#include <QString>

namespace explorer {

// The forms of "ShowFilesizeAs".
inline constexpr int kSizePlain = 0; // 1234567
inline constexpr int kSizeGrouped = 1; // 1,234,567 (the default)
inline constexpr int kSizeUnits = 2; // 1.18 Mb

// The setting "ShowFilesizeAs"; 1 when it is not stored.
int ShowFilesizeAs();

// `size` in the form `showAs` (any other value: the plain number).
QString FormatFileSize(quint32 size, int showAs);
// In the form the settings choose.
QString FormatFileSize(quint32 size);

// The line under the list: "1 file  " or "%d files.  " followed by the sum
// of the file sizes in bytes, Kb or Mb with one decimal.
QString FilesTotalText(int fileCount, quint32 totalSize);

} // namespace explorer
