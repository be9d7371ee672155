// How the remote-access server starts device programs. The device host
// supplies the implementation; the server only forwards CeCreateProcess.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace device {

struct ProcessStart {
    DWORD processId = 0;
    DWORD threadId = 0;
};

// One process of the device's table.
struct ProcessEntry {
    DWORD processId = 0;
    DWORD parentProcessId = 0;
    std::u16string exeFile; // file name only
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

    // The device's process table, in its order. ERROR_SUCCESS or a Win32 error.
    virtual DWORD ListProcesses(std::vector<ProcessEntry>* processes)
    {
        processes->clear();
        return ERROR_NOT_SUPPORTED;
    }
    // Whether process `processId` is in the table.
    virtual bool IsRunning(DWORD processId)
    {
        std::vector<ProcessEntry> processes;
        ListProcesses(&processes);
        for (const ProcessEntry& p : processes)
            if (p.processId == processId)
                return true;
        return false;
    }
    // Ends process `processId`: ERROR_SUCCESS, ERROR_INVALID_PARAMETER (no
    // such process), ERROR_ACCESS_DENIED (a system process).
    virtual DWORD TerminateProcess(DWORD /*processId*/) { return ERROR_NOT_SUPPORTED; }
    // Starts a restart of the device (clean: from its factory image) and
    // returns at once; the restart drops every client connection.
    virtual DWORD Reboot(bool /*clean*/) { return ERROR_NOT_SUPPORTED; }
};

} // namespace device
