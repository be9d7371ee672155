// Haltquill, the agent stopper: ends every running agent and says through
// "CancelStatus" that it started ("Wait") and finished ("Done.").
#pragma once

#include "platform/rapi/CeTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace stopper {

struct RunningProcess {
    DWORD id = 0;
    std::u16string exeName;
};

// The process services the stopper uses; CeProcesses is the device's.
class ProcessControl {
public:
    enum class Ending { CannotOpen, Ended, Refused };

    virtual ~ProcessControl() = default;
    // The running processes, or nothing when no snapshot can be taken.
    virtual std::optional<std::vector<RunningProcess>> Snapshot() = 0;
    virtual DWORD SelfId() = 0;
    // Opens process `id` and terminates it with exit code 0.
    virtual Ending End(DWORD id) = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
};

class CeProcesses : public ProcessControl {
public:
    std::optional<std::vector<RunningProcess>> Snapshot() override;
    DWORD SelfId() override;
    Ending End(DWORD id) override;
    void Sleep(DWORD milliseconds) override;
};

// Writes "CancelStatus" := "Wait" under HKEY_LOCAL_MACHINE "Software\Pelmorra"
// and under the agent key "\Software\Quorvane" (where the desktop waits for
// it), ends every process of the old agent name or of the six agent
// executables (waiting 2 seconds after each one that ended), then writes
// "CancelStatus" := "Done." under both keys. A key that cannot be opened is
// skipped; a process that refuses to end is reported on the debug channel.
void StopAgents(ProcessControl& processes);

} // namespace stopper
