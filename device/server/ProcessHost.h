// How the remote-access server starts device programs. The device host
// supplies the implementation; the server only forwards CeCreateProcess.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <string_view>

namespace device {

struct ProcessStart {
    DWORD processId = 0;
    DWORD threadId = 0;
};

class ProcessHost {
public:
    virtual ~ProcessHost() = default;
    // Starts the device program `application` (a device path) with
    // `commandLine`. ERROR_SUCCESS with the new ids, or the Win32 error the
    // device reports (ERROR_FILE_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ...).
    // Called from any client's thread.
    virtual DWORD CreateProcess(
        std::u16string_view application, std::u16string_view commandLine, ProcessStart* started)
        = 0;
};

} // namespace device
