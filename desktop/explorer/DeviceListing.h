// Reading device directories for the explorer and the command line: the
// search pattern of a directory, one listing split into files and folders
// with the texts the list shows, path helpers, and the order of the list
// (folders above files whichever way a column sorts).
//
// ReadDirectory and ReadListing use the program's device connection (the
// link's retrying wrappers): call them where device work may run (the
// device session's worker, a command-line program). The rest are pure
// functions, safe from any thread.
#pragma once

#include "desktop/explorer/FileRow.h"
#include "platform/rapi/CeTypes.h"

#include <Qt>

namespace explorer {

// The field mask of a listing: name, sizes, last write time, attributes.
inline constexpr DWORD kListingFields = 0xB9;
// Folders only, with name and attributes.
inline constexpr DWORD kFolderFields = 0x4081;
// Attribute bits.
inline constexpr DWORD kAttributeReadOnly = 0x01;
inline constexpr DWORD kAttributeHidden = 0x02;
inline constexpr DWORD kAttributeDirectory = 0x10;
inline constexpr DWORD kAttributeVolume = 0x100; // a mounted storage card

// "\*" for the root, path + "*" when it ends in "\", else path + "\*".
QString SearchPattern(const QString& path);
// `directory` + "\" + `name` ("\" + name below the root).
QString JoinDevicePath(const QString& directory, const QString& name);
// The path cut at its last "\": "\A\B" -> "\A", "\A" -> "\" ("" and "\"
// stay the root).
QString ParentDevicePath(const QString& path);
// The last component of a path ("" for the root).
QString LastComponent(const QString& path);

// The type text of a file: "SQLCE database", "SQLCE v2.0 database" or
// "SQL Server Mobile database" for ".sdf" (by the engine version remembered
// for `fullPath`), else the file-type table's description of its extension
// (FileTypes.h). Safe from any thread.
QString FileTypeText(const QString& name, const QString& fullPath);

// One found entry of `directory` as a list row.
FileRow MakeFileRow(const CE_FIND_DATA& found, const QString& directory);

// Lists `pattern` into `files` and `dirs`, each in ascending order of
// `upperName` (equal names keep the device's order). `directory` is the
// folder the pattern looks in (for the ".sdf" type texts). False when the
// device call failed: the arrays are then untouched.
bool ReadListing(const QString& pattern, const QString& directory, FileRows* files, FileRows* dirs);
// Lists one device directory (its SearchPattern).
bool ReadDirectory(const QString& path, FileRows* files, FileRows* dirs);

// The list's columns.
enum ListColumn { kColumnName, kColumnSize, kColumnType, kColumnDate, kColumnFilesize, kColumnCount };

// Whether `a` sorts before `b` by `column` in ascending order: text columns
// by their lower-case texts, "Size" and "Filesize" by the size, "Date" by
// the shown time (a folder's empty date first).
bool RowLess(const FileRow& a, const FileRow& b, int column);

// Sorts `rows`, whose first `dirCount` entries are folders, by `column`:
// folders and files as two ranges, so folders stay on top in both
// directions. Equal rows keep their order.
void SortRows(FileRows* rows, int dirCount, int column, Qt::SortOrder order);

// The order of a listing of entries (`isDir`, `name`) as the list shows it
// at first: folders first, then by lower-case name. For listings that keep
// their own entries (the command line).
bool DefaultListLess(bool aIsDir, const QString& a, bool bIsDir, const QString& b);

} // namespace explorer
