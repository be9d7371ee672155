// The wait for the agent: when "Done." ends it, the engine-2.0 agent's
// hand-over to its 3.0 sibling, the stuck-agent question, cancel and a lost
// connection. A thread plays the agent by writing the device's values.
#include "LinkFixture.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AgentWait.h"

#include "exchange/Trace.h"

#include <QElapsedTimer>

#include <chrono>
#include <fstream>
#include <thread>

using devlink::AgentWaitEnd;
using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kDebugKey = QStringLiteral("\\Software\\Quorvane\\Debug");
const QString kStuckText
    = QStringLiteral("Your device has stopped responding.\r\n\r\nDo you wish to cancel this request ?\r\n");

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class AgentWait : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
        ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
        DeleteDeviceKey(kDebugKey);
        ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Running...")));
        devlink::ClearCancelRequest();
    }
    void TearDown() override
    {
        if (m_agent.joinable())
            m_agent.join();
        LinkTest::TearDown();
    }

    // A log line as the agent writes it: "%d:%02d:%02d - %s".
    void Log(int counter, const QString& text)
    {
        const QString name = QString::number(counter).rightJustified(3, QLatin1Char('0'));
        ASSERT_TRUE(SetDeviceString(kDebugKey, name, QStringLiteral("12:00:00 - ") + text));
        ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), text));
    }

    // Runs `agent` beside the wait; returns the wait's result and duration.
    AgentWaitEnd Wait(std::function<void()> agent, qint64* elapsed = nullptr)
    {
        m_agent = std::thread(std::move(agent));
        QElapsedTimer clock;
        clock.start();
        AgentWaitEnd end = devlink::WaitForAgent();
        if (elapsed)
            *elapsed = clock.elapsed();
        m_agent.join();
        return end;
    }

    // The engine-2.0 agent hands over: "Done." with the results file empty (or
    // absent), then its sibling clears the Debug log, runs, and answers.
    void HandOver(bool emptyFile, bool* answered)
    {
        Log(0, QStringLiteral("Opening data source using SQLCE 2.0 libraries..  failed."));
        Log(1, QStringLiteral("Need to run the SQLCE 3.0 version."));
        Log(2, QStringLiteral("Running SQLCE3.0 query"));
        if (emptyFile) {
            ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, ""));
        }
        Log(3, QStringLiteral("Done."));
        Sleep(300);
        // The sibling starts: its Debug log begins anew.
        ASSERT_TRUE(DeleteDeviceKey(kDebugKey));
        Sleep(100);
        Log(0, QStringLiteral("Running..."));
        Sleep(100);
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\nCols: 0\r\n1")));
        *answered = true;
        Log(1, QStringLiteral("Done."));
    }

    std::thread m_agent;
};

TEST_F(AgentWait, StatusThatOnlyContainsDoneDoesNotEndTheWait)
{
    bool finishedEarly = true;
    qint64 elapsed = 0;
    Wait(
        [&] {
            Log(0, QStringLiteral("UPDATE Jobs SET State='Done'"));
            ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done")));
            Sleep(400);
            finishedEarly = false;
            ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\nCols: 0\r\n1")));
            Log(1, QStringLiteral("Done."));
        },
        &elapsed);
    EXPECT_FALSE(finishedEarly);
    EXPECT_GE(elapsed, 400);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(AgentWait, DoneWithResultsEndsAtOnce)
{
    devlink::LinkTiming timing = TestTiming();
    timing.handOverSettleMs = 3000;
    devlink::SetLinkTiming(timing);
    ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
    Log(0, QStringLiteral("Done."));
    qint64 elapsed = 0;
    EXPECT_EQ(Wait([] {}, &elapsed), AgentWaitEnd::Finished);
    EXPECT_LT(elapsed, timing.handOverSettleMs);
}

TEST_F(AgentWait, DoneWithoutResultsEndsAfterSettling)
{
    // A request that writes no results file (a database created).
    Log(0, QStringLiteral("Creating database.  ok."));
    Log(1, QStringLiteral("Done."));
    qint64 elapsed = 0;
    EXPECT_EQ(Wait([] {}, &elapsed), AgentWaitEnd::Finished);
    EXPECT_GE(elapsed, TestTiming().handOverSettleMs);
}

TEST_F(AgentWait, HandOverWithAnEmptyResultsFileWaitsForTheSibling)
{
    bool answered = false;
    EXPECT_EQ(Wait([&] { HandOver(true, &answered); }), AgentWaitEnd::Finished);
    EXPECT_TRUE(answered);
    EXPECT_NE(GetDeviceFile(devlink::kResultsFilePath), "");
}

TEST_F(AgentWait, HandOverWithoutAResultsFileWaitsForTheSibling)
{
    bool answered = false;
    EXPECT_EQ(Wait([&] { HandOver(false, &answered); }), AgentWaitEnd::Finished);
    EXPECT_TRUE(answered);
}

TEST_F(AgentWait, ClearedDebugLogMeansANewAgentIsStarting)
{
    // Seen only after the sibling cleared the log: "Done." of the old agent,
    // nothing in the log, no results yet.
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done.")));
    bool answered = false;
    qint64 elapsed = 0;
    Wait(
        [&] {
            Sleep(600);
            answered = true;
            ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
            Log(0, QStringLiteral("Done."));
        },
        &elapsed);
    EXPECT_TRUE(answered);
    EXPECT_GE(elapsed, 600);
}

TEST_F(AgentWait, StaleDoneWithoutResultsWaitsWhileTheLogLacksDone)
{
    // A new agent has begun its log; "Status" still holds the old "Done."
    // and there is no results file yet. Only the new agent's "Done." ends it.
    Log(0, QStringLiteral("Running..."));
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done.")));
    const int answerAfterMs = 3 * TestTiming().handOverSettleMs;
    qint64 elapsed = 0;
    Wait(
        [&] {
            Sleep(answerAfterMs);
            ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
            Log(1, QStringLiteral("Done."));
        },
        &elapsed);
    EXPECT_GE(elapsed, answerAfterMs);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(AgentWait, StuckAgentAsksAfterTwoHundredUnchangedPolls)
{
    // Every poll traces its count of unchanged polls; the traced lines show
    // how many polls came before each question.
    const std::filesystem::path trace = home() / "trace.txt";
    setenv("QUORVANE_TRACE", trace.c_str(), 1);
    exchange::ConfigureTrace();
    auto pollLines = [&] {
        std::ifstream in(trace);
        std::vector<std::string> counters;
        for (std::string line; std::getline(in, line);) {
            const std::size_t at = line.find("Counter=");
            if (at != std::string::npos)
                counters.push_back(line.substr(at + 8, line.find('.', at) - at - 8));
        }
        return counters;
    };
    std::vector<std::vector<std::string>> seenAtPrompts;
    m_prompter.SetHook([&](const ScriptedPrompter::Record&) { seenAtPrompts.push_back(pollLines()); });
    m_prompter.QueueAnswer(PromptAnswer::No);
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(Wait([] {}), AgentWaitEnd::Finished);
    unsetenv("QUORVANE_TRACE");
    exchange::ConfigureTrace();
    // The first poll sees a new status (0); 199 unchanged polls are traced
    // (1 to 199) and the 200th asks. No answers "wait on": the count starts again.
    ASSERT_EQ(seenAtPrompts.size(), 2u);
    ASSERT_EQ(seenAtPrompts[0].size(), 200u);
    EXPECT_EQ(seenAtPrompts[0].front(), "0");
    EXPECT_EQ(seenAtPrompts[0].back(), "199");
    ASSERT_EQ(seenAtPrompts[1].size(), 400u);
    EXPECT_EQ(seenAtPrompts[1][200], "0");
    EXPECT_EQ(seenAtPrompts[1].back(), "199");
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 2);
    for (const auto& record : records) {
        EXPECT_EQ(record.caption, QStringLiteral("Warning"));
        EXPECT_EQ(record.text, kStuckText);
        EXPECT_EQ(record.icon, PromptIcon::Question);
        EXPECT_EQ(record.buttons, PromptButtons::YesNo);
    }
    // Yes leaves the agent running: nothing was stopped.
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("Status")), QStringLiteral("Running..."));
}

TEST_F(AgentWait, ChangingStatusRestartsTheCount)
{
    devlink::LinkTiming timing = TestTiming();
    timing.stuckPolls = 20;
    devlink::SetLinkTiming(timing);
    Wait([&] {
        for (int row = 1; row <= 10; ++row) {
            ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Row %1 of 10").arg(row)));
            Sleep(100);
        }
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
        Log(0, QStringLiteral("Done."));
    });
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(AgentWait, CancelWithoutAStopperOnTheDeviceSaysSo)
{
    Wait([] {
        Sleep(100);
        devlink::RequestCancel();
    });
    quint32 cancel = 0;
    EXPECT_TRUE(devlink::ReadAgentRegDword(QStringLiteral("Cancel"), &cancel));
    EXPECT_EQ(cancel, 1u);
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].text,
        QStringLiteral(
            "An error occurred.\r\n\r\nUnable to find the following file on the device:\r\n"
            "\\Quorvane\\Haltquill.exe.\r\n\r\n"
            "This file must be present on the device for this application to work correctly.\r\n"));
}

TEST_F(AgentWait, CancelAfterTheAgentIsDoneRunsNoStopper)
{
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done.")));
    devlink::RequestCancel();
    EXPECT_EQ(devlink::WaitForAgent(), AgentWaitEnd::Finished);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(AgentWait, LostConnectionIsReconnectedAndTheWaitGoesOn)
{
    // The dialog keeps trying until the device is back.
    m_prompter.QueueConnectionAnswer(devlink::ConnectionErrorAnswer::Connected, 100);
    Wait([&] {
        Sleep(100);
        StopDevice();
        StartDevice();
        Sleep(200);
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
        Log(0, QStringLiteral("Done."));
    });
    EXPECT_TRUE(devlink::IsConnected());
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
}

TEST_F(AgentWait, LostConnectionAbortedEndsTheWait)
{
    m_prompter.QueueConnectionAnswer(devlink::ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Abort);
    EXPECT_EQ(Wait([&] {
        Sleep(100);
        StopDevice();
    }),
        AgentWaitEnd::ConnectionAborted);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
}

} // namespace
} // namespace linktest
