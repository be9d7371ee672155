// The desktop's own working folders for device files: "Temp" (device files
// opened on the PC, the CREATE TABLE text) lives under the user's cache
// folder (the desktop cache of exchange/Home.h), since the program's folder
// is not writable on Linux.
//
// Threads: any.
#pragma once

#include <QString>

namespace ui {

// The "Temp" folder, made when missing; empty when it cannot be made.
QString LocalTempFolder();

} // namespace ui
