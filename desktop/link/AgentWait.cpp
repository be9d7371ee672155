#include "desktop/link/AgentWait.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestContext.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace devlink {
namespace {

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

enum class ResultsState { NonEmpty, EmptyOrAbsent, Unknown };

ResultsState ReadResultsState()
{
    const std::u16string path = DevicePath(kResultsFilePath);
    DWORD count = 0;
    CE_FIND_DATA* records = nullptr;
    if (!CeFindAllFiles(path.c_str(), FAF_NAME | FAF_SIZE_LOW | FAF_SIZE_HIGH, &count, &records)) {
        CeRapiFreeBuffer(records);
        return CeRapiGetError() == S_OK ? ResultsState::EmptyOrAbsent : ResultsState::Unknown;
    }
    bool nonEmpty = count > 0 && records && (records[0].nFileSizeLow != 0 || records[0].nFileSizeHigh != 0);
    CeRapiFreeBuffer(records);
    return nonEmpty ? ResultsState::NonEmpty : ResultsState::EmptyOrAbsent;
}

struct DebugLog {
    bool read = false; // the key could be opened and enumerated
    bool handOver = false;
    bool done = false;
};

DebugLog ReadDebugLog()
{
    DebugLog log;
    QVector<AgentLogLine> lines;
    log.read = ReadAgentDebugLog(&lines);
    for (const AgentLogLine& line : lines) {
        if (AgentCompletion::IsHandOverLine(line.text))
            log.handOver = true;
        if (line.text.endsWith(QStringLiteral(" - Done.")))
            log.done = true;
    }
    return log;
}

enum class AgentRuns { Yes, No, Unknown };

// Whether `process`, or a process it started (and so on), is still running.
AgentRuns AgentStillRuns(DWORD process)
{
    std::vector<CEPROCESSENTRY> processes;
    if (!CeGetProcessList(&processes))
        return AgentRuns::Unknown;
    std::vector<DWORD> tree { process };
    // Parents come before their children in the device's table, but a
    // second pass costs nothing and does not rely on it.
    for (int pass = 0; pass < 2; ++pass)
        for (const CEPROCESSENTRY& entry : processes)
            if (std::find(tree.begin(), tree.end(), entry.dwParentProcessId) != tree.end()
                && std::find(tree.begin(), tree.end(), entry.dwProcessId) == tree.end())
                tree.push_back(entry.dwProcessId);
    for (const CEPROCESSENTRY& entry : processes)
        if (std::find(tree.begin(), tree.end(), entry.dwProcessId) != tree.end())
            return AgentRuns::Yes;
    return AgentRuns::No;
}

// The longest single wait on the device: the connection serves nobody else
// meanwhile, and a cancel is noticed between two waits.
constexpr DWORD kWatchStepMs = 25;

// Waits for "Status" to change on the device itself, so that the wait for the
// agent wakes as soon as the agent writes it (or its process ends) rather
// than at its next poll; the poll interval stays the longest pause. Without
// the agent's key it pauses as before.
class StatusWatch {
public:
    explicit StatusWatch(DWORD agentProcess)
        : m_process(agentProcess)
    {
        const std::u16string key = DevicePath(kAgentKey);
        if (CeRegCreateKeyEx(kAgentRoot, key.c_str(), 0, nullptr, 0, 0, nullptr, &m_key, nullptr) != 0)
            m_key = 0;
    }
    ~StatusWatch()
    {
        if (m_key)
            CeRegCloseKey(m_key);
    }
    StatusWatch(const StatusWatch&) = delete;
    StatusWatch& operator=(const StatusWatch&) = delete;

    // Waits up to `milliseconds`; true when woken early: "Status" changed,
    // the agent's process ended, or the request was cancelled.
    bool Pause(int milliseconds)
    {
        if (!m_key)
            return RequestPause(milliseconds);
        if (!m_knownRead)
            ReadKnown();
        QElapsedTimer clock;
        clock.start();
        for (qint64 remaining = milliseconds; remaining > 0; remaining = milliseconds - clock.elapsed()) {
            if (CancelRequested())
                return true;
            CEREGVALUE now;
            BOOL running = FALSE;
            const LONG result = CeRegWaitValueChange(m_key, contract::kStatus.data(), m_known, m_process,
                DWORD(std::min<qint64>(remaining, kWatchStepMs)), &now, &running);
            if (result == LONG(ERROR_SUCCESS)) {
                m_known = std::move(now);
                // An ended process wakes the first wait only.
                if (!running)
                    m_process = 0;
                return true;
            }
            if (result != LONG(WAIT_TIMEOUT))
                return RequestPause(int(remaining)); // the device cannot wait: poll as before
        }
        return false;
    }

private:
    void ReadKnown()
    {
        m_knownRead = true;
        DWORD type = 0, size = 0;
        if (CeRegQueryValueEx(m_key, contract::kStatus.data(), nullptr, &type, nullptr, &size) != 0)
            return;
        m_known.data.resize(size);
        if (CeRegQueryValueEx(m_key, contract::kStatus.data(), nullptr, &type, m_known.data.data(), &size)
            != 0) {
            m_known.data.clear();
            return;
        }
        m_known.data.resize(size);
        m_known.present = true;
        m_known.type = type;
    }

    HKEY m_key = 0;
    DWORD m_process = 0;
    CEREGVALUE m_known;
    bool m_knownRead = false;
};

} // namespace

bool AgentCompletion::IsHandOverLine(const QString& line)
{
    return line.contains(QStringLiteral("Need to run")) && line.contains(QStringLiteral("3.0 version"));
}

bool AgentCompletion::IsFinished(const QString& status)
{
    if (status == QStringLiteral("Running SQLCE3.0 query"))
        m_handOverSeen = true;
    if (status != ContractText(contract::kDone)) {
        m_settling = false;
        return false;
    }
    if (m_agentProcess != 0) {
        switch (AgentStillRuns(m_agentProcess)) {
        case AgentRuns::Yes:
            return false; // not this request's "Done." (yet)
        case AgentRuns::No:
            return true;
        case AgentRuns::Unknown:
            break; // judge by the device's values alone
        }
    }
    switch (ReadResultsState()) {
    case ResultsState::NonEmpty:
        return true;
    case ResultsState::Unknown:
        m_settling = false;
        return false;
    case ResultsState::EmptyOrAbsent:
        break;
    }
    const DebugLog log = ReadDebugLog();
    if (log.handOver)
        m_handOverSeen = true;
    if (m_handOverSeen || !log.read || !log.done) {
        m_settling = false;
        return false;
    }
    if (!m_settling) {
        m_settling = true;
        m_settleClock.start();
    }
    return m_settleClock.elapsed() >= Timing().handOverSettleMs;
}

AgentWaitEnd WaitForAgent(DWORD agentProcess)
{
    const LinkTiming& timing = Timing();
    int counter = 0;
    bool userCancelled = false;
    bool cancelledHere = false;
    bool lossIgnored = false; // the user chose Ignore: poll on without asking again
    QString lastStatus;
    AgentCompletion completion(agentProcess);
    StatusWatch watch(agentProcess);
    AgentWaitEnd end = AgentWaitEnd::Finished;
    for (;;) {
        if (CancelRequested()) {
            WriteAgentRegDword(ContractText(contract::kCancel), 1);
            CancelAgent();
            cancelledHere = true;
            break;
        }
        if (userCancelled)
            break;
        bool read = false;
        QString text = ReadAgentRegString(ContractText(contract::kStatus), &read);
        bool done = false;
        if (!read) {
            DebugOutput(QStringLiteral("Warning: couldn't read registry key from device.\r\n"));
            ++counter;
            if (!lossIgnored && CeRapiGetError() != S_OK) {
                const int open = IsRAPIopen();
                if (open == kRapiAbort) {
                    end = AgentWaitEnd::ConnectionAborted;
                    break;
                }
                lossIgnored = open == kRapiIgnore;
            }
        } else {
            PublishAgentStatus(text);
            done = completion.IsFinished(text);
        }
        // Nothing is left to wait for once the request is over. A wait cut
        // short by a change is no unchanged poll: only a whole interval
        // without one counts towards the stopped-device question.
        const bool woken = !done && watch.Pause(timing.statusPollMs);
        if (text == lastStatus) {
            if (!woken && !done)
                ++counter;
            if (counter >= timing.stuckPolls) {
                PromptAnswer answer = ShowMessage(QStringLiteral("Warning"),
                    QStringLiteral("Your device has stopped responding.\r\n\r\n"
                                   "Do you wish to cancel this request ?\r\n"),
                    PromptIcon::Question, PromptButtons::YesNo);
                if (answer == PromptAnswer::Yes)
                    userCancelled = true;
                counter = 0;
            }
        } else {
            lastStatus = text;
            counter = 0;
        }
        DebugOutput(Q(exchange::Format(
            u"CreateCEQueryFile(), Counter=%d..  PPC Status=%s\r\n", counter, text.toStdU16String())));
        if (done)
            break;
    }
    if (CancelRequested() && !cancelledHere) {
        WriteAgentRegDword(ContractText(contract::kCancel), 1);
        CancelAgent();
    }
    return end;
}

} // namespace devlink
