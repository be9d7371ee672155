// The desktop's file-type table: for each file extension the description
// the list's "Type" column shows and the names of the desktop theme's icons
// for it, found in the platform's MIME database (the desktop's file-type
// registry) and kept once per lower-cased extension. The icons themselves
// are LookUpFileType's (FileTypeLookup.h), which needs a window system.
//
// Threads: safe from any thread (the device worker lists directories).
#pragma once

#include <QString>

namespace explorer {

struct FileTypeDetails {
    QString extension; // lower-cased
    // The MIME type's comment when the desktop knows the extension; else
    // "File" for no extension, else the extension + " file".
    QString description;
    // The theme icon names of the MIME type; empty when it has none.
    QString iconName;
    QString genericIconName;
};

// The entry of `extension` (any case; the text after the name's last full
// stop). The first look-up of an extension adds it to the table and traces
// "Added Extension details for " + extension.
FileTypeDetails FileTypeDetailsOf(const QString& extension);

} // namespace explorer
