// Requests served by stand-in device programs in the agent's place: an
// engine-2.0 agent that hands every request over to the real engine-3.0
// agent exactly as its Part says (an empty results file and "Done." while
// the sibling starts), and an agent that never finishes (the stuck-agent
// question, cancel through the real stopper, a device stopped mid-request).
#include "AgentFixture.h"

#include "desktop/link/AgentWait.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using devlink::ConnectionErrorAnswer;
using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;
using devlink::RequestController;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kStuckText
    = QStringLiteral("Your device has stopped responding.\r\n\r\nDo you wish to cancel this request ?\r\n");
const QString kNoAccessText
    = QStringLiteral("An error has occurred.\r\nCould not access this database on your device.\r\n");

class StandInAgents : public AgentTest {
protected:
    // Puts `source` beside the desktop program as `name`, newer than any
    // device copy, and deploys.
    void UseDesktopCopies(const std::vector<std::pair<QString, QString>>& copies)
    {
        setenv("QUORVANE_PROGRAM_DIR", programDir().c_str(), 1);
        for (const auto& [name, source] : copies) {
            const QString target = QString::fromStdString((programDir() / name.toStdString()).string());
            QFile::remove(target);
            ASSERT_TRUE(QFile::copy(source, target)) << source.toStdString();
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(
                QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
        }
        ASSERT_TRUE(devlink::DeployAgentFiles()) << Prompts();
    }

    static QString Bin(const char* name)
    {
        return QStringLiteral(QV_BIN_DIR "/") + QString::fromLatin1(name);
    }

    // The stuck program as the engine-2.0 agent, the real engine-3.0 agent
    // and stopper.
    void UseStuckAgent()
    {
        UseDesktopCopies({ { QStringLiteral("Quorvane2003.dll"), QStringLiteral(QV_STUCK_AGENT) },
            { QStringLiteral("Quorvane2005.dll"), Bin("Quorvane2005.dll") },
            { QStringLiteral("Haltquill.dll"), Bin("Haltquill.dll") } });
    }

    // The processes running on the device, as the real agent lists them.
    QStringList DeviceProcesses()
    {
        Device().CeDeleteFile(u"\\Quorvane\\SQLresults.txt");
        devlink::DeleteAgentRegValue(devlink::kAgentKey, QStringLiteral("Status"));
        EXPECT_TRUE(devlink::RunDeviceExe(
            QStringLiteral("\\Quorvane\\Quorvane2005.exe"), QStringLiteral("-processes"), true));
        EXPECT_TRUE(WaitForStatus(QStringLiteral("Done.")));
        const std::string bytes = GetDeviceFile(devlink::kResultsFilePath);
        const QString text = Q(exchange::FromUtf16LeBytes(bytes));
        return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    // Runs `sql` with `duringRun` called from the window thread's events
    // after `delayMs`.
    std::unique_ptr<RequestController> RunWith(const QString& database, const QString& sql, int delayMs,
        std::function<void(RequestController&)> duringRun)
    {
        auto c = std::make_unique<RequestController>();
        c->setDatabasePath(database);
        c->setSqlToRun(sql);
        c->setShown(true);
        QTimer::singleShot(delayMs, c.get(), [&c, duringRun] { duringRun(*c); });
        devlink::RunRequestAndWait(*c);
        return c;
    }
};

TEST_F(StandInAgents, HandOverWithAnEmptyResultsFileIsWaitedFor)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database,
        { QStringLiteral("CREATE TABLE T (Id int, N int)"), QStringLiteral("INSERT INTO T VALUES (1, 0)"),
            QStringLiteral("INSERT INTO T VALUES (2, 0)") });
    UseDesktopCopies({ { QStringLiteral("Quorvane2003.dll"), QStringLiteral(QV_HANDOVER_AGENT) },
        { QStringLiteral("Quorvane2005.dll"), Bin("Quorvane2005.dll") },
        { QStringLiteral("Haltquill.dll"), Bin("Haltquill.dll") } });
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        settings::DeleteValue(devlink::EngineSettingName(database));
        auto update = Run(database, QStringLiteral("UPDATE T SET N = N + 1"));
        ASSERT_EQ(update->statusText(), QStringLiteral(" 2 rows affected.")) << "round " << round << "\n"
                                                                             << Prompts();
        settings::DeleteValue(devlink::EngineSettingName(database));
        auto select = Run(database, QStringLiteral("SELECT N FROM T"));
        ASSERT_EQ(select->state(), devlink::RequestState::Succeeded) << "round " << round << "\n"
                                                                     << Prompts();
        const QString n = QString::number(round + 1);
        ASSERT_EQ(select->queryResult().rows, QVector<QStringList>({ { n }, { n } })) << "round " << round;
        EXPECT_EQ(devlink::GetDatabaseEngineVersion(database), 3);
    }
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(StandInAgents, StuckAgentAsksAndLeavesNoResults)
{
    UseStuckAgent();
    m_prompter.QueueAnswer(PromptAnswer::No);
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    auto c = Run(QStringLiteral("\\My Documents\\Any.sdf"), QStringLiteral("SELECT * FROM T"));
    EXPECT_NE(c->state(), devlink::RequestState::Succeeded);
    EXPECT_EQ(c->statusText(), QStringLiteral("An error occurred getting data from your device.\r\n"));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 3) << Prompts();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(records[i].caption, QStringLiteral("Warning"));
        EXPECT_EQ(records[i].text, kStuckText);
        EXPECT_EQ(records[i].icon, PromptIcon::Question);
        EXPECT_EQ(records[i].buttons, PromptButtons::YesNo);
    }
    EXPECT_EQ(records[2].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[2].text, kNoAccessText);
    // Yes stops the waiting, not the agent.
    EXPECT_TRUE(DeviceProcesses().contains(QStringLiteral("Quorvane2003.exe")));
}

TEST_F(StandInAgents, CancelStopsTheAgentThroughTheStopper)
{
    UseStuckAgent();
    bool secondRunReturned = false;
    auto c = RunWith(QStringLiteral("\\My Documents\\Any.sdf"), QStringLiteral("SELECT * FROM T"), 300,
        [&](RequestController& running) {
            EXPECT_TRUE(running.isRunning());
            EXPECT_FALSE(running.goEnabled());
            EXPECT_TRUE(running.cancelEnabled());
            // A second request while one runs does nothing.
            running.RunRequest();
            secondRunReturned = true;
            running.Cancel();
            EXPECT_FALSE(running.cancelEnabled());
        });
    EXPECT_TRUE(secondRunReturned);
    EXPECT_NE(c->state(), devlink::RequestState::Succeeded);
    EXPECT_EQ(c->state(), devlink::RequestState::Cancelled);
    EXPECT_EQ(c->statusText(), QStringLiteral("SQL cancelled."));
    EXPECT_TRUE(c->goEnabled());
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("CancelStatus")), QStringLiteral("Done."));
    EXPECT_FALSE(DeviceProcesses().contains(QStringLiteral("Quorvane2003.exe")));
}

TEST_F(StandInAgents, ProgressTextsWhileARequestRuns)
{
    UseStuckAgent();
    QStringList statuses, timers;
    auto c = std::make_unique<RequestController>();
    QObject::connect(
        c.get(), &RequestController::statusTextChanged, [&](const QString& t) { statuses << t; });
    QObject::connect(c.get(), &RequestController::timerTextChanged, [&](const QString& t) { timers << t; });
    c->setDatabasePath(QStringLiteral("\\My Documents\\Any.sdf"));
    c->setSqlToRun(QStringLiteral("SELECT * FROM T"));
    c->setShown(true);
    QTimer::singleShot(600, c.get(), [&c] { c->Cancel(); });
    devlink::RunRequestAndWait(*c);
    ASSERT_GE(statuses.size(), 3);
    EXPECT_EQ(statuses.last(), QStringLiteral("SQL cancelled."));
    const QRegularExpression time(QStringLiteral("^ \\d\\d:\\d\\d$"));
    ASSERT_FALSE(timers.isEmpty());
    for (const QString& t : timers)
        EXPECT_TRUE(time.match(t).hasMatch()) << t.toStdString();
    EXPECT_EQ(timers.first(), QStringLiteral(" 00:00"));
    bool sawRunning = false, sawCancelling = false;
    for (qsizetype i = 0; i + 1 < statuses.size(); ++i) {
        const QString text = statuses[i].mid(6);
        EXPECT_TRUE(time.match(statuses[i].left(6)).hasMatch()) << statuses[i].toStdString();
        EXPECT_TRUE(text == QStringLiteral("Preparing to run SQL..") || text == QStringLiteral("Running...")
            || text == QStringLiteral("Cancelling..."))
            << statuses[i].toStdString();
        sawRunning = sawRunning || text == QStringLiteral("Running...");
        sawCancelling = sawCancelling || text == QStringLiteral("Cancelling...");
    }
    EXPECT_TRUE(sawRunning);
    EXPECT_TRUE(sawCancelling);
}

TEST_F(StandInAgents, DeviceStoppedMidRequestIsReconnectedAndNothingIsHalfDone)
{
    UseStuckAgent();
    // The link reconnects through the dialog's retries while the device
    // restarts; the agent died with the device, so the request is given up.
    m_prompter.QueueConnectionAnswer(ConnectionErrorAnswer::Connected, 100);
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    m_prompter.QueueAnswer(PromptAnswer::Ok);
    std::thread restarter;
    auto c = RunWith(QStringLiteral("\\My Documents\\Any.sdf"), QStringLiteral("SELECT * FROM T"), 300,
        [&](RequestController&) {
            restarter = std::thread([this] {
                StopDevice();
                StartDevice();
            });
        });
    if (restarter.joinable())
        restarter.join();
    EXPECT_NE(c->state(), devlink::RequestState::Succeeded);
    EXPECT_TRUE(devlink::IsConnected());
    auto records = m_prompter.Records();
    ASSERT_GE(records.size(), 2) << Prompts();
    EXPECT_EQ(records[records.size() - 2].text, kStuckText);
    EXPECT_EQ(records.back().text, kNoAccessText);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0) << Prompts();
    // No half answer, and the request as it was sent.
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    EXPECT_EQ(GetDeviceFile(devlink::kQueryFilePath),
        Bytes16(u"\\My Documents\\Any.sdf\r\n_\r\nSELECT * FROM T\r\n"));

    // The real agents again: the next request works on the same connection.
    m_prompter.Clear();
    ASSERT_TRUE(Device().CeDeleteFile(u"\\Quorvane\\Quorvane2003.exe"));
    setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
    ASSERT_TRUE(devlink::DeployAgentFiles());
    const QString database = QStringLiteral("\\My Documents\\After.sdf");
    CreateDatabase(database, 2);
    Exec(database, { QStringLiteral("CREATE TABLE T (Id int)") });
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(StandInAgents, ADoneWrittenWhileTheStartedAgentRunsIsNotItsEnd)
{
    UseStuckAgent();
    PROCESS_INFORMATION started {};
    ASSERT_TRUE(CeCreateProcess(u"\\Quorvane\\Quorvane2003.exe", u"", nullptr, nullptr, FALSE, 0, nullptr,
        nullptr, nullptr, &started));
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Running...")));
    // Another agent (one left over from an earlier run of the device) answers
    // while the started one still runs; the started one then ends.
    std::atomic<bool> ended { false };
    std::thread leftover([&] {
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\nCols: 0\r\n999")));
        ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done.")));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ended = true;
        ASSERT_TRUE(Device().CeTerminateProcess(started.dwProcessId));
    });
    EXPECT_EQ(devlink::WaitForAgent(started.dwProcessId), devlink::AgentWaitEnd::Finished);
    const bool endedFirst = ended;
    leftover.join();
    EXPECT_TRUE(endedFirst) << "the wait took another agent's \"Done.\" for the end of its own";
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

// ---- Several windows and programs on one device ----

// A request that never ends (the stuck agent) in a window of its own.
std::unique_ptr<RequestController> StartStuckRequest()
{
    auto c = std::make_unique<RequestController>();
    c->setDatabasePath(QStringLiteral("\\My Documents\\Any.sdf"));
    c->setSqlToRun(QStringLiteral("SELECT * FROM T"));
    c->setShown(true);
    c->RunRequest();
    return c;
}

// Runs this thread's events until `done` holds (at most 60 s).
bool RunEventsUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

TEST_F(StandInAgents, AWindowClosedWhileItsRequestRunsStopsItsAgent)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database, { QStringLiteral("CREATE TABLE T (Id int)"), QStringLiteral("INSERT INTO T VALUES (7)") });
    UseStuckAgent();
    auto stuck = StartStuckRequest();
    ASSERT_TRUE(RunEventsUntil([] {
        return devlink::ReadAgentRegString(QStringLiteral("Status")) == QStringLiteral("Running...");
    }));
    stuck.reset(); // the window closes while its agent runs
    // The next window's request waits for the stopped one and then runs.
    auto next = Run(database, QStringLiteral("SELECT Id FROM T"));
    EXPECT_EQ(next->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(next->queryResult().rows, QVector<QStringList>({ { QStringLiteral("7") } }));
    EXPECT_FALSE(DeviceProcesses().contains(QStringLiteral("Quorvane2003.exe")));
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(StandInAgents, TwoWindowsRequestsRunInTurnAndACancelReachesOnlyItsOwn)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database,
        { QStringLiteral("CREATE TABLE T (Id int)"), QStringLiteral("INSERT INTO T VALUES (1)"),
            QStringLiteral("INSERT INTO T VALUES (2)") });
    // Two windows asking at once both get their answer, one after the other.
    RequestController first, second;
    for (RequestController* c : { &first, &second }) {
        c->setDatabasePath(database);
        c->setShown(true);
    }
    first.setSqlToRun(QStringLiteral("SELECT Id FROM T WHERE Id = 1"));
    second.setSqlToRun(QStringLiteral("SELECT Id FROM T WHERE Id = 2"));
    first.RunRequest();
    second.RunRequest();
    ASSERT_TRUE(RunEventsUntil([&] { return !first.isRunning() && !second.isRunning(); }));
    EXPECT_EQ(first.state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(second.state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(first.queryResult().rows, QVector<QStringList>({ { QStringLiteral("1") } }));
    EXPECT_EQ(second.queryResult().rows, QVector<QStringList>({ { QStringLiteral("2") } }));

    // Cancel in the waiting window: the running one goes on.
    UseStuckAgent();
    auto stuck = StartStuckRequest();
    auto waiting = std::make_unique<RequestController>();
    waiting->setDatabasePath(database);
    waiting->setSqlToRun(QStringLiteral("SELECT Id FROM T"));
    waiting->setShown(true);
    waiting->RunRequest();
    ASSERT_TRUE(RunEventsUntil([] {
        return devlink::ReadAgentRegString(QStringLiteral("Status")) == QStringLiteral("Running...");
    }));
    waiting->Cancel();
    ASSERT_TRUE(RunEventsUntil([&] { return !waiting->isRunning(); }));
    EXPECT_EQ(waiting->state(), devlink::RequestState::Cancelled);
    EXPECT_EQ(waiting->statusText(), QStringLiteral("SQL cancelled."));
    EXPECT_TRUE(stuck->isRunning());
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("Status")), QStringLiteral("Running..."));
    quint32 cancel = 1;
    EXPECT_TRUE(devlink::ReadAgentRegDword(QStringLiteral("Cancel"), &cancel));
    EXPECT_EQ(cancel, 0u); // nothing told the running agent to stop
    stuck->Cancel();
    ASSERT_TRUE(RunEventsUntil([&] { return !stuck->isRunning(); }));
    EXPECT_EQ(stuck->state(), devlink::RequestState::Cancelled);
    // A program-wide cancel (a command line's interrupt) ends it as cancelled
    // too. The stopped agent's "Running..." is cleared first, so that the wait
    // below sees the new agent's.
    ASSERT_TRUE(devlink::DeleteAgentRegValue(devlink::kAgentKey, QStringLiteral("Status")));
    auto interrupted = StartStuckRequest();
    ASSERT_TRUE(RunEventsUntil([] {
        return devlink::ReadAgentRegString(QStringLiteral("Status")) == QStringLiteral("Running...");
    }));
    devlink::RequestCancel();
    ASSERT_TRUE(RunEventsUntil([&] { return !interrupted->isRunning(); }));
    EXPECT_EQ(interrupted->state(), devlink::RequestState::Cancelled);
    EXPECT_EQ(interrupted->statusText(), QStringLiteral("SQL cancelled."));
    devlink::ClearCancelRequest();
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(StandInAgents, TheDesktopAndTheCommandLineTakeTurnsOnTheDevice)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database, { QStringLiteral("CREATE TABLE T (Id int)") });
    UseStuckAgent();
    const QString cli = Bin("quorvane-cli");
    const QStringList tables = { QStringLiteral("--socket"), QString::fromStdString(socket().string()),
        QStringLiteral("tables"), database, QStringLiteral("--timeout"), QStringLiteral("1") };

    // While a window's request runs, a command waits and then says who holds the device.
    auto stuck = StartStuckRequest();
    ASSERT_TRUE(RunEventsUntil([] {
        return devlink::ReadAgentRegString(QStringLiteral("Status")) == QStringLiteral("Running...");
    }));
    QProcess refused;
    refused.start(cli, tables);
    ASSERT_TRUE(RunEventsUntil([&] { return refused.state() == QProcess::NotRunning; }));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(refused.readAllStandardError().contains(
        QStringLiteral("the device is busy: link_agent_tests (process %1)")
            .arg(QCoreApplication::applicationPid())
            .toUtf8()));
    stuck->Cancel();
    ASSERT_TRUE(RunEventsUntil([&] { return !stuck->isRunning(); }));
    QProcess served;
    served.start(cli, tables);
    ASSERT_TRUE(RunEventsUntil([&] { return served.state() == QProcess::NotRunning; }));
    EXPECT_EQ(served.exitCode(), 0) << served.readAllStandardError().toStdString();
    EXPECT_EQ(served.readAllStandardOutput(), QByteArray("T\n"));

    // While a command runs, a window's request says whom it waits for and
    // then runs.
    QProcess holding;
    holding.start(cli,
        { QStringLiteral("--socket"), QString::fromStdString(socket().string()), QStringLiteral("sql"),
            QStringLiteral("\\My Documents\\Any.sdf"), QStringLiteral("SELECT * FROM T"),
            QStringLiteral("--timeout"), QStringLiteral("2") });
    ASSERT_TRUE(holding.waitForStarted());
    const qint64 holderPid = holding.processId();
    ASSERT_TRUE(RunEventsUntil([] {
        return devlink::ReadAgentRegString(QStringLiteral("Status")) == QStringLiteral("Running...");
    }));
    RequestController window;
    window.setDatabasePath(database);
    window.setSqlToRun(QStringLiteral("SELECT * FROM T"));
    window.setShown(true);
    QStringList statuses;
    QObject::connect(
        &window, &RequestController::statusTextChanged, [&](const QString& t) { statuses << t; });
    devlink::RunRequestAndWait(window);
    EXPECT_EQ(window.state(), devlink::RequestState::Succeeded) << Prompts();
    ASSERT_TRUE(RunEventsUntil([&] { return holding.state() == QProcess::NotRunning; }));
    EXPECT_EQ(holding.exitCode(), 1); // its watchdog gave up on the stuck agent
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [&](const QString& s) {
        return s.contains(QStringLiteral("Waiting for quorvane-cli (process %1) to finish with the device..")
                              .arg(holderPid));
    })) << statuses.join(QLatin1Char('|')).toStdString();
}

} // namespace
} // namespace linktest
