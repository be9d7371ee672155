// "File properties": name, location, type, size and the three
// times of one device entry, its "Hidden" and "Read only" attributes, and
// its icon. Everything is read-only; "OK" closes it.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/ExplorerController.h"

#include <QDialog>

namespace explorer {

class CFilePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    CFilePropertiesDialog(const FileProperties& properties, QWidget* parent = nullptr);

    // A file time as the dialog shows it: the date in the explorer's date
    // pattern, two blanks and the time in the desktop's short time format.
    static QString TimeText(FILETIME time);
};

} // namespace explorer
