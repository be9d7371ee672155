// Requests served by stand-in device programs in the agent's place: an
// engine-2.0 agent that hands every request over to the real engine-3.0
// agent exactly as its Part says (an empty results file and "Done." while
// the sibling starts), and an agent that never finishes (the stuck-agent
// question, cancel through the real stopper, a device stopped mid-request).
#include "AgentFixture.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

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
        c->RunRequest();
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
        ASSERT_TRUE(select->lastRequestSucceeded()) << "round " << round << "\n" << Prompts();
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
    EXPECT_FALSE(c->lastRequestSucceeded());
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
    EXPECT_FALSE(c->lastRequestSucceeded());
    EXPECT_TRUE(c->cancelling());
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
    c->RunRequest();
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
    EXPECT_FALSE(c->lastRequestSucceeded());
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

} // namespace
} // namespace linktest
