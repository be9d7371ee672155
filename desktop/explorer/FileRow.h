// One entry of a device directory listing as the explorer keeps and shows
// it, and the comparison the poll makes between two listings.
//
// Plain data; safe from any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace explorer {

struct FileRow {
    bool isDir = false;
    QString name; // as the device gives it
    QString upperName; // `name` in upper case, the order of a fresh listing
    quint32 size = 0; // low 32 bits of the device's size; 0 for folders
    QString typeText; // "File Folder" for folders
    QString dateText; // last write time as shown; empty for folders
    // The shown last write time (year clamped) in ms since the epoch, UTC;
    // what the "Date" column sorts by. 0 for folders.
    qint64 writeTime = 0;
};

using FileRows = QVector<FileRow>;

// Listings are equal when they have the same count and every pair at the
// same position agrees in kind, name, size, type and date text.
bool SameRows(const FileRows& a, const FileRows& b);

// The names of the rows, in order.
QStringList NamesOf(const FileRows& rows);

} // namespace explorer
