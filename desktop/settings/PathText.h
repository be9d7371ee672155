// Small texts of paths and times used with the settings and by the file
// windows. Device paths use "\" as separator. Pure functions, safe from any
// thread.
#pragma once

#include <QString>

namespace settings {

// The path up to its last "\", without it ("\a\b.sdf" -> "\a"); empty when
// the path has no "\".
QString DirectoryPart(const QString& path);

// The path after its last "\" ("\a\b.sdf" -> "b.sdf"); the whole path when it
// has no "\".
QString FileNamePart(const QString& path);

// The file name's text after its last "." ("\a\b.sdf" -> "sdf"); empty when
// the file name has none. A "." in a folder name does not count.
QString ExtensionPart(const QString& path);

// "%02d:%02d:%02d" (hours, minutes, seconds) when `seconds` reach an hour,
// else "%02d:%02d". Negative durations count as 0.
QString ElapsedTimeText(qint64 seconds);

} // namespace settings
