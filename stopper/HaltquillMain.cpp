// Haltquill: does its work while starting and ends at once, showing nothing.
#include "exchange/Trace.h"
#include "platform/ce/Ce.h"
#include "stopper/Stopper.h"

#include <string>

int main()
{
    std::string reason;
    if (!ce::Attach(&reason)) {
        exchange::DebugOutput("Haltquill has no device: " + reason + "\r\n");
        return 0;
    }
    stopper::CeProcesses processes;
    stopper::StopAgents(processes);
    return 0;
}
