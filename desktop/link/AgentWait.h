// Waiting for the agent: when a "Status" of "Done." really ends a request.
//
// The agent mirrors every log line into "Status" and ends every run with
// "Done.". The engine-2.0 agent, when a database needs engine 3.0, starts its
// 3.0 sibling and then also ends with "Done.", leaving the results file empty
// or absent; the sibling then clears the Debug log, runs the request again
// and writes the real answer. A finished request never leaves an empty
// results file, so:
//   - "Done." with a non-empty results file ends the wait;
//   - "Done." with an empty or absent results file ends it only when the
//     hand-over was never seen (no "Running SQLCE3.0 query" status, no
//     "Need to run ... 3.0 version." line in the Debug log), the Debug log
//     holds the agent's own "Done." line (a cleared log means a new agent is
//     starting), and this has stayed so for the settle time.
// When the process the request started is known and the device lists its
// processes, none of this guessing is needed: "Done." ends the wait once that
// process and every process it started have ended.
// A sibling that never answers is caught by the caller's stuck-agent
// question, as any agent that stops changing "Status".
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QElapsedTimer>
#include <QString>

namespace devlink {

enum class AgentWaitEnd {
    Finished, // done, cancelled (the agent stopped), or the user stopped waiting
    ConnectionAborted, // the connection was lost and the user chose Abort
};

// The wait of a started request: polls "Status" until the request is over
// (AgentCompletion), a RequestCancel (the agent is then stopped through
// CancelAgent), or the user's Yes to "Your device has stopped responding."
// after 200 unchanged polls (No starts the count again). A lost connection
// is reconnected through IsRAPIopen.
//
// `agentProcess` (0 when unknown) is the device process the request started.
// While it, or a process it started (the engine-3.0 sibling), still runs, a
// "Done." is not this request's end: it was written by another agent (one
// left over from an earlier run of the device) or before this one ran.
AgentWaitEnd WaitForAgent(DWORD agentProcess = 0);

class AgentCompletion {
public:
    explicit AgentCompletion(DWORD agentProcess = 0)
        : m_agentProcess(agentProcess)
    {
    }

    // Called with each "Status" text read; true when the request is over.
    bool IsFinished(const QString& status);
    bool HandOverSeen() const { return m_handOverSeen; }

    // A Debug log line that announces the hand-over to the 3.0 sibling.
    static bool IsHandOverLine(const QString& line);

private:
    DWORD m_agentProcess = 0;
    bool m_handOverSeen = false;
    bool m_settling = false;
    QElapsedTimer m_settleClock;
};

} // namespace devlink
