// The agent program. One source, built once per engine version and device
// platform family (QUORVANE_AGENT_ENGINE, QUORVANE_AGENT_PLATFORM).
#include "agent/AgentVariant.h"
#include "agent/Dispatcher.h"
#include "exchange/Trace.h"
#include "exchange/StepMarks.h"

#ifndef QUORVANE_AGENT_ENGINE
#error "QUORVANE_AGENT_ENGINE must be 2 or 3"
#endif
#ifndef QUORVANE_AGENT_PLATFORM
#error "QUORVANE_AGENT_PLATFORM must name the platform family"
#endif

int main()
{
    exchange::MarkStep("agent: started");
    exchange::DebugOutput("Quorvane agent for " QUORVANE_AGENT_PLATFORM "\r\n");
    return agent::AgentMain(agent::VariantFor(QUORVANE_AGENT_ENGINE));
}
