// The system's message text for a Win32 error code or a transport result,
// as the desktop shows it after "Error: " ("The system cannot find the file
// specified." for 2). Pure; safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <string>

// The text for `code`; empty when the system has none for it.
std::u16string SystemErrorText(DWORD code);
