// Reading the agent's answers: the device text file, LoadResults with every
// failure question, and the schema file into the tree model. The answers are
// planted on a real device as the agent leaves them.
#include "LinkFixture.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/ResultsLoader.h"
#include "desktop/link/SchemaTreeModel.h"

using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kDatabase = QStringLiteral("\\My Documents\\a.sdf");

class LinkResults : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
        ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
        m_request.databasePath = kDatabase;
        m_request.sql = QStringLiteral("SELECT * FROM T");
        m_request.tableMode = true;
        m_request.promptOwner = &m_owner;
    }

    void PlantResults(std::u16string_view text)
    {
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(text)));
    }

    // A failed answer with the given error text (lines 2 on).
    void PlantFailure(std::u16string_view errorText)
    {
        PlantResults(std::u16string(u"<Failed>\r\n") + std::u16string(errorText)
            + u"\r\n\r\nQuorvane v2.3999\r\nSQLCE v3.0");
    }

    // Loads the answer as the request's run does, then carries what the
    // loader decided into the next run, as the window's loop does.
    bool LoadResults(int totalRows, bool stopAfterStatus)
    {
        devlink::ResultsLoader loader(m_request);
        const bool loaded = loader.LoadResults(totalRows, stopAfterStatus);
        Take(loader);
        return loaded;
    }
    bool LoadSchema(const std::u16string* text)
    {
        devlink::ResultsLoader loader(m_request);
        const bool malformed = loader.LoadSchema(text);
        Take(loader);
        return malformed;
    }
    void Take(devlink::ResultsLoader& loader)
    {
        m_answer = loader.answer();
        m_request.sql = m_answer.sql;
        m_request.retryCount = m_answer.retryCount;
        if (m_answer.tables && m_answer.schemaRootOnly)
            m_model.SetRootOnly(kDatabase);
        else if (m_answer.tables)
            m_model.SetSchema(kDatabase, *m_answer.tables);
    }

    QObject m_owner;
    devlink::DatabaseRequest m_request;
    devlink::DatabaseAnswer m_answer;
    devlink::SchemaTreeModel m_model;
};

TEST_F(LinkResults, DeviceTextFileIsReadWholeSplitAndDeleted)
{
    PlantResults(u"first\r\nsecond\r\n\r\nafter the empty line\r\n");
    devlink::DeviceTextFile file;
    ASSERT_TRUE(file.Read(devlink::kResultsFilePath, true));
    EXPECT_EQ(file.Lines(), QStringList({ QStringLiteral("first"), QStringLiteral("second") }));
    EXPECT_EQ(file.FirstLine(), QStringLiteral("first"));
    EXPECT_EQ(file.NextLine(), QStringLiteral("second"));
    EXPECT_FALSE(file.NextLine().has_value());
    EXPECT_EQ(file.Bytes().size(), 2 * 39);
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    // Read once: a second read finds nothing.
    EXPECT_FALSE(file.Read(devlink::kResultsFilePath, true));
}

TEST_F(LinkResults, BinarySchemaIsKeptAndNotSplit)
{
    const std::u16string schema = u"\u0007T\u0001a\u0002int\u00030\u0004\u0005\u0006";
    ASSERT_TRUE(PutDeviceFile(devlink::kBinarySchemaPath, Bytes16(schema)));
    devlink::DeviceTextFile file;
    ASSERT_TRUE(file.Read(devlink::kBinarySchemaPath, true));
    EXPECT_EQ(file.Text(), schema);
    EXPECT_TRUE(file.Lines().isEmpty());
    EXPECT_TRUE(DeviceFileThere(devlink::kBinarySchemaPath));
}

TEST_F(LinkResults, SuccessLoadsRowsAndRemembersTheEngineVersion)
{
    ASSERT_TRUE(SetAgentString(QStringLiteral("SQLCEversion"), QStringLiteral("3")));
    PlantResults(u"<Success>\r\nCols: 2\r\nId\tName\t\r\nint\tnvarchar(20)\t\r\n primary key\t\t\r\n"
                 u"1\tTab\u0007here\t\r\n2\tLine\u001D\u001Ebreak\t\r\n<end>\r\n");
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), -1);
    ASSERT_TRUE(LoadResults(7, false));
    EXPECT_TRUE(m_answer.resultsValid);
    const devlink::QueryResult& r = m_answer.result;
    EXPECT_EQ(r.totalRows, 7);
    ASSERT_EQ(r.rows.size(), 2);
    EXPECT_EQ(r.rows[0][1], QStringLiteral("Tab\there"));
    EXPECT_EQ(r.rows[1][1], QStringLiteral("Line\r\nbreak"));
    EXPECT_EQ(r.primaryKeyColumns, QVector<int>({ 0 }));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), 3);
    QString stored;
    EXPECT_TRUE(settings::ReadString(QStringLiteral("SQLCE__My Documents_a.sdf"), &stored));
    EXPECT_EQ(stored, QStringLiteral("3"));
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    EXPECT_EQ(m_prompter.Count(), 0);
    EXPECT_TRUE(m_answer.resultsBytes.startsWith(QByteArray("<\0S\0u\0c\0", 8)));
}

TEST_F(LinkResults, StopAfterStatusChecksOnlyTheFirstLine)
{
    ASSERT_TRUE(SetAgentString(QStringLiteral("SQLCEversion"), QStringLiteral("2")));
    PlantResults(u"<Success>\r\n");
    EXPECT_TRUE(LoadResults(1, true));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), 2);
}

TEST_F(LinkResults, SuccessWithoutColsLineIsNotLoaded)
{
    PlantResults(u"<Success>\r\n");
    EXPECT_FALSE(LoadResults(1, false));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkResults, MissingResultsFile)
{
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].icon, PromptIcon::Information);
    EXPECT_TRUE(records[0].hasOwner);
    EXPECT_EQ(records[0].text,
        QStringLiteral("An error has occurred.\r\nCould not access this database on your device.\r\n"));
}

TEST_F(LinkResults, ResultsFileThatNeverBecomesReadableIsNotAnAnswer)
{
    devlink::LinkTiming timing = TestTiming();
    timing.resultsReadTries = 3;
    devlink::SetLinkTiming(timing);
    PlantResults(u"<Success>\r\nCols: 0\r\n1");
    // Another client holds it open without sharing for every try.
    const std::u16string path = devlink::DevicePath(devlink::kResultsFilePath);
    HANDLE held = Device().CeCreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(LoadResults(1, false));
    Device().CeCloseHandle(held);
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral(
            "An error has occurred.\r\nCould not open the details about this database on your device.\r\n"));
    EXPECT_TRUE(DeviceFileThere(devlink::kResultsFilePath)); // unread, so not deleted
}

TEST_F(LinkResults, EmptyAndUnrecognisedResults)
{
    PlantResults(u"");
    EXPECT_FALSE(LoadResults(1, false));
    PlantResults(u"Hello\r\n");
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(
        records[0].text, QStringLiteral("A problem was encountered with the results file on the device."));
    EXPECT_EQ(records[0].icon, PromptIcon::Information);
    EXPECT_EQ(records[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[1].text, QStringLiteral("Unrecognised results sent from device."));
}

TEST_F(LinkResults, FailedWithoutErrorTextAsksNothing)
{
    PlantResults(u"<Failed>\r\n");
    EXPECT_FALSE(LoadResults(1, false));
    EXPECT_EQ(m_prompter.Count(), 0);
    EXPECT_FALSE(m_answer.retryRequested);
}

TEST_F(LinkResults, SingleLineErrorShowsTheSqlErrorDialogAsDatabaseError)
{
    PlantFailure(u"The database file: \"\\My Documents\\a.sdf\" does not exist.");
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].kind, ScriptedPrompter::Kind::SqlError);
    EXPECT_EQ(records[0].sqlError.sql, QStringLiteral("SELECT * FROM T"));
    EXPECT_TRUE(records[0].sqlError.sqlEditable);
    EXPECT_EQ(records[0].sqlError.error, QStringLiteral("Database error"));
    EXPECT_EQ(records[0].sqlError.errorCode, QString());
    EXPECT_EQ(records[0].sqlError.details,
        QStringLiteral("The database file: \"\\My Documents\\a.sdf\" does not exist."));
    EXPECT_FALSE(m_answer.retryRequested);
}

TEST_F(LinkResults, SingleLineErrorOfASchemaRequestIsAMessage)
{
    m_request.sql = QStringLiteral("SCHEMA-BINARY");
    PlantFailure(u"Unable to open this database.");
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].kind, ScriptedPrompter::Kind::Message);
    EXPECT_EQ(records[0].icon, PromptIcon::Warning);
    EXPECT_EQ(records[0].text,
        QStringLiteral("Could not open this database.\r\n\r\nError: Unable to open this database."));
}

TEST_F(LinkResults, SqlErrorDialogRetryRunsTheEditedSql)
{
    PlantFailure(u"Unable to run this statement.\r\n0x80040e14\r\nThere was an error parsing the query.");
    m_prompter.QueueSqlErrorAnswer(true, QStringLiteral("SELECT * FROM T2"));
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].sqlError.error, QStringLiteral("Unable to run this statement."));
    EXPECT_EQ(records[0].sqlError.errorCode, QStringLiteral("0x80040e14"));
    EXPECT_EQ(records[0].sqlError.details, QStringLiteral("There was an error parsing the query."));
    EXPECT_TRUE(m_answer.retryRequested);
    EXPECT_EQ(m_request.sql, QStringLiteral("SELECT * FROM T2"));
    EXPECT_FALSE(m_answer.passwordRejected);
}

TEST_F(LinkResults, SchemaRequestShowsTheInternalCommandNoteAndKeepsItsSql)
{
    m_request.sql = QStringLiteral("SCHEMA-ASCII");
    PlantFailure(u"Unable to open this database.\r\n0x80040e4d\r\nThe specified password does not match the "
                 u"database password.");
    m_prompter.QueueSqlErrorAnswer(true, QStringLiteral("ignored"));
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].sqlError.sql,
        QStringLiteral("Internal command to get details of tables in this database."));
    EXPECT_FALSE(records[0].sqlError.sqlEditable);
    EXPECT_TRUE(m_answer.passwordRejected);
    EXPECT_TRUE(m_answer.retryRequested);
    EXPECT_EQ(m_request.sql, QStringLiteral("SCHEMA-ASCII"));
}

TEST_F(LinkResults, SupportEncryptionRetriesFourTimesThenAsks)
{
    const std::u16string error
        = u"Unable to open this database.\r\n0x80004005\r\nThe provider does not support encryption.";
    const QString question = QStringLiteral(
        "Could not open this database.\r\n\r\nError: Unable to open this database.\r\n\r\n0x80004005\r\n"
        "The provider does not support encryption.\r\n\r\n"
        "Sometimes, this error occurs randomly, and retrying the command will succeed.\r\n\r\n");
    for (int attempt = 1; attempt <= 4; ++attempt) {
        PlantFailure(error);
        EXPECT_FALSE(LoadResults(1, false));
        EXPECT_EQ(m_answer.retryCount, attempt);
        EXPECT_TRUE(m_answer.retryRequested);
        EXPECT_EQ(m_answer.statusText, QStringLiteral("Retrying.."));
    }
    EXPECT_EQ(m_prompter.Count(), 0);
    PlantFailure(error);
    m_prompter.QueueAnswer(PromptAnswer::Retry);
    EXPECT_FALSE(LoadResults(1, false));
    ASSERT_EQ(m_prompter.Count(), 1);
    auto record = m_prompter.Records()[0];
    EXPECT_EQ(record.caption, QStringLiteral("Error"));
    EXPECT_EQ(record.icon, PromptIcon::Warning);
    EXPECT_EQ(record.buttons, PromptButtons::RetryCancel);
    EXPECT_EQ(record.text, question);
    EXPECT_EQ(m_answer.retryCount, 0);
    EXPECT_TRUE(m_answer.retryRequested);
}

const QString kCompactQuestionEnd
    = QStringLiteral("\r\n\r\nSometimes, \"compacting\" a database will repair errors like this.         \r\n"
                     "This is likely to take a couple of minutes.\r\n\r\n"
                     "Do you want to try compacting this database ?\r\n");

TEST_F(LinkResults, UnspecifiedErrorOffersCompactingAndYesRunsTheCompaction)
{
    PlantFailure(u"Unable to open this database.\r\n0x80004005\r\nUnspecified error.");
    m_prompter.QueueAnswer(PromptAnswer::Yes);
    EXPECT_FALSE(LoadResults(1, false));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(records[0].icon, PromptIcon::Warning);
    EXPECT_EQ(records[0].text,
        QStringLiteral("Could not open this database.\r\n\r\nError: Unable to open this database.\r\n\r\n"
                       "0x80004005\r\nUnspecified error.")
            + kCompactQuestionEnd);
    EXPECT_EQ(m_request.sql, QStringLiteral("CompactDB"));
    EXPECT_TRUE(m_answer.retryRequested);
}

TEST_F(LinkResults, CorruptedDatabaseAnsweredNoEndsQuietly)
{
    PlantFailure(
        u"Unable to open this database.\r\n0x80004005\r\nThe database file is corrupted. Compact it.");
    m_prompter.QueueAnswer(PromptAnswer::No);
    EXPECT_FALSE(LoadResults(1, false));
    EXPECT_EQ(m_prompter.Count(), 1);
    EXPECT_FALSE(m_answer.retryRequested);
    EXPECT_EQ(m_request.sql, QStringLiteral("SELECT * FROM T"));
}

TEST_F(LinkResults, DatabaseModeLoadsTheSchemaTree)
{
    m_request.tableMode = false;
    m_request.sql = QStringLiteral("SCHEMA-BINARY");
    PlantResults(u"<Success>\r\n");
    ASSERT_TRUE(PutDeviceFile(devlink::kBinarySchemaPath,
        Bytes16(
            u"\u0007Orders\u0001Id\u0002int autoinc not null\u00031\u0004Note\u0002ntext\u00030\u0004\u0005"
            u"Empty\u0001\u0005\u0006")));
    ASSERT_TRUE(LoadResults(1, false));
    EXPECT_EQ(m_answer.tableCount, 2);
    devlink::SchemaTreeModel* model = &m_model;
    QModelIndex root = model->RootIndex();
    EXPECT_EQ(model->data(root).toString(), kDatabase);
    ASSERT_EQ(model->rowCount(root), 3);
    QModelIndex orders = model->index(1, 0, root);
    EXPECT_EQ(
        model->data(model->index(0, 0, orders)).toString(), QStringLiteral("Id  [int autoinc not null]"));
    EXPECT_TRUE(model->data(model->index(0, 0, orders), devlink::SchemaTreeModel::PrimaryKeyRole).toBool());
    EXPECT_EQ(model->data(model->index(1, 0, orders)).toString(), QStringLiteral("Note  [ntext]"));
    EXPECT_TRUE(DeviceFileThere(devlink::kBinarySchemaPath));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(LinkResults, MalformedSchemaStillShowsRootAndBlankTable)
{
    m_request.tableMode = false;
    std::u16string text = u"Orders\u0001";
    EXPECT_TRUE(LoadSchema(&text));
    devlink::SchemaTreeModel* model = &m_model;
    ASSERT_EQ(model->rowCount(model->RootIndex()), 1);
    EXPECT_EQ(
        model->data(model->index(0, 0, model->RootIndex())).toString(), QStringLiteral("<Blank table>"));
    EXPECT_EQ(m_answer.tableCount, 0);
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Unrecognised schema results sent from device."));
    // No buffer at all: the root alone, and no message.
    EXPECT_FALSE(LoadSchema(nullptr));
    EXPECT_EQ(model->rowCount(model->RootIndex()), 0);
    EXPECT_EQ(m_prompter.Count(), 1);
}

TEST_F(LinkResults, SchemaCutShortCountsEveryTableThatEnded)
{
    m_request.tableMode = false;
    const std::u16string twoTables = u"\u0007Orders\u0001Id\u0002int\u00031\u0004\u0005Empty\u0001\u0005";
    devlink::SchemaTreeModel* model = &m_model;
    // Cut after the second table's end: both tables count.
    std::u16string text = twoTables;
    EXPECT_TRUE(LoadSchema(&text));
    EXPECT_EQ(m_answer.tableCount, 2);
    const int shownForTwo = model->rowCount(model->RootIndex());
    // Cut inside a third table: it is shown, but not counted.
    text = twoTables + u"Notes\u0001Body\u0002ntext\u0003";
    EXPECT_TRUE(LoadSchema(&text));
    EXPECT_EQ(m_answer.tableCount, 2);
    EXPECT_EQ(model->rowCount(model->RootIndex()), shownForTwo + 1);
    ASSERT_EQ(m_prompter.Count(), 2);
    EXPECT_EQ(m_prompter.Records()[1].text, QStringLiteral("Unrecognised schema results sent from device."));
}

TEST_F(LinkResults, MissingSchemaFileAfterItsRetries)
{
    m_request.tableMode = false;
    PlantResults(u"<Success>\r\n");
    EXPECT_FALSE(LoadResults(1, false));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Unable to open results file on the device."));
    EXPECT_EQ(m_prompter.Records()[0].icon, PromptIcon::Information);
}

} // namespace
} // namespace linktest
