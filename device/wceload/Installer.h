// The device's CAB installer: installs a cabinet whose first member is an
// installation manifest (MANIFEST.md), through the device programs' platform
// library, so that a CAB that cannot be installed leaves the device as it
// was. Call from one thread.
#pragma once

#include "device/wceload/Manifest.h"

#include <string>

namespace wceload {

// Installs the CAB at device path `cabPath`. True when installed; false with
// a one-line reason, the device unchanged. The CAB itself is left alone.
bool InstallCab(const std::u16string& cabPath, std::string* error);

// The whole program: parses `commandLine`, installs, deletes the CAB unless
// told not to, reports problems on the debug channel and standard error.
// Returns the exit status: 0 installed, 1 not installed, 2 bad command line.
int RunWceload(std::u16string_view commandLine);

} // namespace wceload
