// Whole requests with the real agent on a real device: rows, statements,
// schema, the engine-2.0 agent's hand-over, the agent build chosen by the
// remembered engine version, and password-protected databases.
#include "AgentFixture.h"

using devlink::PromptIcon;
using devlink::RequestController;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kNotes = QStringLiteral("\\My Documents\\Notes.sdf");

class AgentRequests : public AgentTest { };

TEST_F(AgentRequests, RowsComeBackWithTheirTabsAndLineBreaks)
{
    CreateDatabase(kNotes, 2);
    Exec(kNotes, { QStringLiteral("CREATE TABLE Notes (Id int PRIMARY KEY, Body nvarchar(100))") });
    auto insert = Run(kNotes, QStringLiteral("INSERT INTO Notes VALUES (1, 'a\tb')"));
    EXPECT_EQ(insert->statusText(), QStringLiteral(" 1 row affected."));
    EXPECT_EQ(insert->rowsAffected(), 1);
    Exec(kNotes, { QStringLiteral("INSERT INTO Notes VALUES (2, 'first\r\nsecond')") });

    int loaded = 0;
    auto select = std::make_unique<RequestController>();
    QObject::connect(select.get(), &RequestController::resultsLoaded, [&] { ++loaded; });
    select->setDatabasePath(kNotes);
    select->setSqlToRun(QStringLiteral("SELECT * FROM Notes"));
    select->setShown(true);
    devlink::RunRequestAndWait(*select);
    ASSERT_EQ(select->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(select->statusText(), QStringLiteral(" 2 rows found."));
    const devlink::QueryResult& r = select->queryResult();
    ASSERT_EQ(r.columnCount, 2);
    EXPECT_EQ(r.columns[0].name, QStringLiteral("Id"));
    EXPECT_EQ(r.columns[0].typeText, QStringLiteral("int"));
    EXPECT_TRUE(r.columns[0].isPrimaryKey);
    EXPECT_EQ(r.columns[1].typeText, QStringLiteral("nvarchar(100)"));
    EXPECT_EQ(r.columns[1].width, 100);
    EXPECT_EQ(r.totalRows, 2);
    ASSERT_EQ(r.rows.size(), 2);
    // The TAB travelled as U+0007 and is a TAB again.
    EXPECT_EQ(r.rows[0], QStringList({ QStringLiteral("1"), QStringLiteral("a\tb") }));
    EXPECT_EQ(r.rows[1], QStringList({ QStringLiteral("2"), QStringLiteral("first\r\nsecond") }));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kNotes), 2);
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(AgentRequests, StatementThatMentionsDoneRunsToItsEnd)
{
    CreateDatabase(kNotes, 2);
    Exec(kNotes,
        { QStringLiteral("CREATE TABLE Jobs (Id int, State nvarchar(10))"),
            QStringLiteral("INSERT INTO Jobs VALUES (1, 'New')"),
            QStringLiteral("INSERT INTO Jobs VALUES (2, 'New')"),
            QStringLiteral("INSERT INTO Jobs VALUES (3, 'Old')") });
    auto update = Run(kNotes, QStringLiteral("UPDATE Jobs SET State='Done'"));
    EXPECT_EQ(update->statusText(), QStringLiteral(" 3 rows affected."));
    auto none = Run(kNotes, QStringLiteral("UPDATE Jobs SET State='Done' WHERE Id = 99"));
    EXPECT_EQ(none->state(), devlink::RequestState::Succeeded);
    EXPECT_EQ(none->rowsAffected(), 0);
    EXPECT_EQ(none->statusText(), QStringLiteral(" 0 rows affected."));
    EXPECT_TRUE(none->queryResult().rows.isEmpty());
    auto check = Run(kNotes, QStringLiteral("SELECT State FROM Jobs WHERE State = 'Done'"));
    EXPECT_EQ(check->statusText(), QStringLiteral(" 3 rows found."));
}

TEST_F(AgentRequests, SchemaInDatabaseMode)
{
    CreateDatabase(kNotes, 2);
    Exec(kNotes,
        { QStringLiteral(
              "CREATE TABLE Customers (Id int IDENTITY(1,1) PRIMARY KEY, Name nvarchar(40) NOT NULL)"),
            QStringLiteral("CREATE TABLE [Order Details] (Qty int)") });
    auto c = Run(kNotes, QStringLiteral("SCHEMA-BINARY"), QString(), false);
    ASSERT_EQ(c->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(c->statusText(), QStringLiteral(" 2 tables found."));
    EXPECT_EQ(c->tableCount(), 2);
    const QVector<devlink::TableSchema> tables = c->schemaModel()->Tables();
    ASSERT_EQ(tables.size(), 2);
    QStringList names { tables[0].name, tables[1].name };
    names.sort();
    EXPECT_EQ(names, QStringList({ QStringLiteral("Customers"), QStringLiteral("Order Details") }));
    auto* model = c->schemaModel();
    QModelIndex root = model->RootIndex();
    EXPECT_EQ(model->data(root).toString(), kNotes);
    EXPECT_EQ(model->data(model->index(0, 0, root)).toString(), QStringLiteral("<Blank table>"));
    QModelIndex customers = model->TableIndex(QStringLiteral("Customers"));
    ASSERT_TRUE(customers.isValid());
    ASSERT_EQ(model->rowCount(customers), 2);
    EXPECT_TRUE(model->data(model->index(0, 0, customers)).toString().startsWith(QStringLiteral("Id  [int")));
    EXPECT_TRUE(
        model->data(model->index(0, 0, customers), devlink::SchemaTreeModel::PrimaryKeyRole).toBool());
    EXPECT_FALSE(
        model->data(model->index(1, 0, customers), devlink::SchemaTreeModel::PrimaryKeyRole).toBool());
    // The schema file stays for the export; the results file does not.
    EXPECT_TRUE(DeviceFileThere(devlink::kBinarySchemaPath));
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
}

TEST_F(AgentRequests, FirstRequestOnAnEngineThreeDatabaseWaitsForTheHandOver)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database,
        { QStringLiteral("CREATE TABLE T (Id int PRIMARY KEY, Name nvarchar(20))"),
            QStringLiteral("INSERT INTO T VALUES (1, 'one')"),
            QStringLiteral("INSERT INTO T VALUES (2, 'two')") });
    constexpr int kRounds = 25;
    for (int round = 0; round < kRounds; ++round) {
        // Nothing known about the database: the engine-2.0 agent goes first
        // and hands the request to its sibling.
        settings::DeleteValue(devlink::EngineSettingName(database));
        ASSERT_EQ(devlink::GetDatabaseEngineVersion(database), -1);
        auto c = Run(database, QStringLiteral("SELECT * FROM T"));
        ASSERT_EQ(c->state(), devlink::RequestState::Succeeded)
            << "round " << round << ": " << c->statusText().toStdString() << "\n"
            << Prompts();
        ASSERT_EQ(c->queryResult().rows.size(), 2) << "round " << round;
        EXPECT_EQ(c->queryResult().rows[1], QStringList({ QStringLiteral("2"), QStringLiteral("two") }));
        EXPECT_EQ(devlink::GetDatabaseEngineVersion(database), 3);
    }
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(AgentRequests, FirstStatementOnAnEngineThreeDatabaseReportsTheSiblingsRowCount)
{
    const QString database = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(database, 3, QString(), 3);
    Exec(database,
        { QStringLiteral("CREATE TABLE T (Id int, N int)"), QStringLiteral("INSERT INTO T VALUES (1, 0)"),
            QStringLiteral("INSERT INTO T VALUES (2, 0)") });
    constexpr int kRounds = 15;
    for (int round = 0; round < kRounds; ++round) {
        settings::DeleteValue(devlink::EngineSettingName(database));
        auto c = Run(database, QStringLiteral("UPDATE T SET N = N + 1"));
        ASSERT_EQ(c->state(), devlink::RequestState::Succeeded) << "round " << round << "\n" << Prompts();
        ASSERT_EQ(c->statusText(), QStringLiteral(" 2 rows affected.")) << "round " << round;
    }
    auto check = Run(database, QStringLiteral("SELECT N FROM T"));
    EXPECT_EQ(check->queryResult().rows,
        QVector<QStringList>({ { QString::number(kRounds) }, { QString::number(kRounds) } }));
}

TEST_F(AgentRequests, KnownEngineThreeDatabaseNeedsOnlyTheEngineThreeAgent)
{
    const QString three = QStringLiteral("\\My Documents\\Three.sdf");
    CreateDatabase(three, 3, QString(), 3);
    Exec(three, { QStringLiteral("CREATE TABLE T (Id int)") });
    ASSERT_TRUE(Device().CeDeleteFile(u"\\Quorvane\\Quorvane2003.exe"));
    auto known = Run(three, QStringLiteral("SELECT * FROM T"));
    EXPECT_EQ(known->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(known->statusText(), QStringLiteral(" 0 rows found."));
    EXPECT_EQ(m_prompter.Count(), 0);

    settings::DeleteValue(devlink::EngineSettingName(three));
    auto unknown = Run(three, QStringLiteral("SELECT * FROM T"));
    EXPECT_NE(unknown->state(), devlink::RequestState::Succeeded);
    EXPECT_EQ(unknown->statusText(), QStringLiteral("An error occurred getting data from your device.\r\n"));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_TRUE(m_prompter.Records()[0].text.contains(QStringLiteral("\\Quorvane\\Quorvane2003.exe.")));
}

TEST_F(AgentRequests, PasswordProtectedDatabaseIsRejectedThenOpened)
{
    const QString database = QStringLiteral("\\My Documents\\Secret.sdf");
    CreateDatabase(database, 2, QStringLiteral("secret"));
    Exec(database, { QStringLiteral("CREATE TABLE S (Id int)"), QStringLiteral("INSERT INTO S VALUES (42)") },
        QStringLiteral("secret"));

    auto rejected = Run(database, QStringLiteral("SELECT * FROM S"));
    EXPECT_NE(rejected->state(), devlink::RequestState::Succeeded);
    EXPECT_TRUE(rejected->passwordRejected());
    EXPECT_EQ(rejected->statusText(), QStringLiteral("An error occurred getting data from your device.\r\n"));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1) << Prompts();
    EXPECT_EQ(records[0].kind, ScriptedPrompter::Kind::SqlError);
    EXPECT_EQ(records[0].sqlError.sql, QStringLiteral("SELECT * FROM S"));
    EXPECT_EQ(records[0].sqlError.error, QStringLiteral("Unable to open this database."));
    EXPECT_TRUE(records[0].sqlError.details.contains(QStringLiteral("database password")));

    auto wrong = Run(database, QStringLiteral("SELECT * FROM S"), QStringLiteral("Secret"));
    EXPECT_TRUE(wrong->passwordRejected());

    auto opened = Run(database, QStringLiteral("SELECT * FROM S"), QStringLiteral("secret"));
    ASSERT_EQ(opened->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_FALSE(opened->passwordRejected());
    EXPECT_EQ(opened->queryResult().rows, QVector<QStringList>({ { QStringLiteral("42") } }));
}

TEST_F(AgentRequests, SqlErrorDialogRetryRunsTheEditedStatement)
{
    CreateDatabase(kNotes, 2);
    Exec(kNotes, { QStringLiteral("CREATE TABLE T (Id int)"), QStringLiteral("INSERT INTO T VALUES (5)") });
    m_prompter.QueueSqlErrorAnswer(true, QStringLiteral("SELECT * FROM T"));
    auto c = Run(kNotes, QStringLiteral("SELEC * FROM T"));
    EXPECT_EQ(c->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(c->sqlToRun(), QStringLiteral("SELECT * FROM T"));
    EXPECT_EQ(c->queryResult().rows, QVector<QStringList>({ { QStringLiteral("5") } }));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].sqlError.sql, QStringLiteral("SELEC * FROM T"));
}

TEST_F(AgentRequests, MissingDatabaseIsReportedByTheAgent)
{
    auto c = Run(QStringLiteral("\\My Documents\\None.sdf"), QStringLiteral("SELECT * FROM T"));
    EXPECT_NE(c->state(), devlink::RequestState::Succeeded);
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1) << Prompts();
    EXPECT_EQ(records[0].kind, ScriptedPrompter::Kind::SqlError);
    EXPECT_EQ(records[0].sqlError.error, QStringLiteral("Database error"));
    EXPECT_EQ(records[0].sqlError.details,
        QStringLiteral("The database file: \"\\My Documents\\None.sdf\" does not exist."));
}

TEST_F(AgentRequests, CancelAtTheStartEndsAsCancelledWithoutLoading)
{
    CreateDatabase(kNotes, 2);
    Exec(kNotes, { QStringLiteral("CREATE TABLE T (Id int)") });
    auto c = std::make_unique<RequestController>();
    int loaded = 0;
    QObject::connect(c.get(), &RequestController::resultsLoaded, [&] { ++loaded; });
    c->setDatabasePath(kNotes);
    c->setSqlToRun(QStringLiteral("SELECT * FROM T"));
    c->setShown(true);
    QTimer::singleShot(0, c.get(), [&c] { c->Cancel(); });
    devlink::RunRequestAndWait(*c);
    EXPECT_EQ(c->statusText(), QStringLiteral("SQL cancelled."));
    EXPECT_NE(c->state(), devlink::RequestState::Succeeded);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
    // The next request is not touched by the old cancel.
    auto next = Run(kNotes, QStringLiteral("SELECT * FROM T"));
    EXPECT_EQ(next->state(), devlink::RequestState::Succeeded) << Prompts();
    EXPECT_EQ(next->statusText(), QStringLiteral(" 0 rows found."));
}

TEST_F(AgentRequests, RunDeviceCommandShowsTheRunningApplicationNotice)
{
    EXPECT_TRUE(
        devlink::RunDeviceCommand(QStringLiteral("\\Quorvane\\Quorvane2005.exe"), QStringLiteral("-test")));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].kind, ScriptedPrompter::Kind::RunningApplication);
    EXPECT_EQ(m_prompter.Records()[0].notice.programPath, QStringLiteral("\\Quorvane\\Quorvane2005.exe"));
    EXPECT_TRUE(WaitForStatus(QStringLiteral("Done.")));
}

class AgentOnWindowsCe4 : public AgentTest {
    std::string Profile() const override { return "pocketpc2003"; }
};

TEST_F(AgentOnWindowsCe4, TestRunStartsTheAgentAndOffersTheDeviceTools)
{
    EXPECT_TRUE(devlink::TestRunAgent());
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
    EXPECT_EQ(m_prompter.Count(), 0);
}

} // namespace
} // namespace linktest
