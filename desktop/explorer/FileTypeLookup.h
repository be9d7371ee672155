// LookUpFileType: the description and icon of a file extension, as the
// list's "Type" column and its icons show them. The description is the
// file-type table's (FileTypes.h); the icon is the desktop theme's icon of
// the extension's MIME type (or its generic icon); the list keeps it.
//
// Threads: window thread only (icons need the window system).
#pragma once

#include <QIcon>
#include <QString>

namespace explorer {

struct FileType {
    QString description;
    // Null when the desktop has no icon for the type: the list then shows
    // its plain file icon.
    QIcon icon;
};

FileType LookUpFileType(const QString& extension);

} // namespace explorer
