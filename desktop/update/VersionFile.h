// The release's version file ("Version.txt" in the download location) and
// the comparison of its version with the program's own.
//
// Layout: UTF-16 (little-endian, with or without a byte-order mark) or 8-bit
// text (UTF-8 when it is valid UTF-8, else one character a byte). The first
// line is one leading character and the version as MAJOR.MINOR, decimal
// integers ("v2.3999"); the rest of the file is the list of new features.
// Lines end in CR LF, a bare CR or a bare LF; the features come back with
// "\n" line ends whatever the file used.
//
// Pure functions, safe from any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace update {

struct ReleaseVersion {
    int major = 0;
    int minor = 0;
};

struct VersionFile {
    bool valid = false; // the first line held a version
    QString versionText; // "2.3999": the first line without its first character
    ReleaseVersion version;
    QString featuresText;
};

VersionFile ParseVersionFile(const QByteArray& bytes);

// "2.3999" -> {2, 3999}; false when the text is not MAJOR.MINOR.
bool ParseVersionText(const QString& text, ReleaseVersion* version);

// True when `release` is newer than `own`: a greater major number, or the
// same major number and a greater minor number.
bool IsNewerRelease(const ReleaseVersion& release, const ReleaseVersion& own);

// The program's own version, fixed by the build.
ReleaseVersion ProgramVersion();

} // namespace update
