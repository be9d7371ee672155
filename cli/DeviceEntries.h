// Device folder listings as the cli's commands use them (ls, get): the
// entries a pattern matches, in name order.
//
// Uses the program's device connection; any thread that may do device work.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QString>
#include <QVector>

namespace cli {

struct DeviceEntry {
    QString name;
    DWORD attributes = 0;
    quint64 size = 0;
    FILETIME lastWrite {};
};

// The entries that `pattern` ("\My Documents\*.sdf", "\Temp\*") matches,
// sorted by name without regard to case. False, with the device's error
// left for the caller, when the listing failed.
bool FindDeviceEntries(const QString& pattern, QVector<DeviceEntry>* entries);

// "drhsa" letters of the attributes, '-' for each one not set.
QString AttributeLetters(DWORD attributes);

} // namespace cli
