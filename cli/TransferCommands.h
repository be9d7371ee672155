// quorvane-cli's copies, in the manner of cp and scp:
//
//   get [-r] DEVICEPATH... LOCALPATH     put [-r] LOCALPATH... DEVICEPATH
//
// A folder as target (on either side) takes each source under its own name;
// several sources need a folder. "-" is standard output for get and
// standard input for put. -r copies folders with everything below them. A
// device path may end in a pattern ("\My Documents\*.sdf"). A file that
// takes more than two seconds shows a progress line on a terminal.
//
// Every file goes through the link's copy (DeviceFileCopy.h): nothing is
// ever left half written under its final name. The copies run as one
// request of the device session, which an interrupt cancels (the file being
// copied is then dropped, its target untouched).
//
// GetFiles and PutFiles run on the main thread (with a QCoreApplication);
// the path helpers are pure and safe from any thread.
#pragma once

#include "cli/Command.h"

namespace cli {

int GetFiles(CliContext& cx, const ParsedCommand& p);
int PutFiles(CliContext& cx, const ParsedCommand& p);

// The last part of a device path ("\a\b.txt" -> "b.txt"), and a device
// folder joined with a name (no second "\" after a folder that ends in one).
QString DeviceFileName(const QString& path);
QString DeviceJoin(const QString& folder, const QString& name);
// True when the last part of a device path holds "*" or "?".
bool HasDeviceWildcard(const QString& path);

} // namespace cli
