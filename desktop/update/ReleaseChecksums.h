// The release's checksum list "SHA256SUMS", in the format of `sha256sum`:
// one line a file, 64 hexadecimal digits, a blank, a blank or "*" (binary
// mode), and the file name. The download checks every file against it, and
// the hand-over checks the downloaded set against the copy kept beside it,
// so that nothing replaces an installation unless every file arrived whole.
//
// Pure functions and file reads, safe from any thread.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace update {

// The list's own file name, in the download location and in "Downloads".
inline constexpr char kChecksumsFile[] = "SHA256SUMS";

struct Checksums {
    QStringList names; // in the list's order
    QMap<QString, QByteArray> digests; // file name -> SHA-256 digest (raw bytes)
};

// Reads the list. Names must be plain file names:
// a line that names a path ("/", "\", "." or ".."), repeats a name or is not
// in the format makes the whole list invalid (false, *error says which
// line), since a tampered list must not steer where files go.
bool ParseChecksums(const QByteArray& text, Checksums* sums, QString* error);

// The list's text for `sums`, in its order.
QByteArray FormatChecksums(const Checksums& sums);

// The errors of a file that is not in the set, and of one that does not
// match its checksum.
QString MissingFileText(const QString& name);
QString MismatchText(const QString& name);

// The SHA-256 digest of a file's contents; empty when it cannot be read.
QByteArray FileDigest(const QString& path);

// Checks the set in `folder`: its "SHA256SUMS" is read, and every file it
// names must exist in `folder` with that digest. True when all do; *names
// then holds the files of the set, in the list's order. Otherwise *error
// says what is wrong ("... is missing", "... does not match ...").
bool VerifyReleaseSet(const QString& folder, QStringList* names, QString* error);

} // namespace update
