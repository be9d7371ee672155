#include "desktop/link/ResultsLoader.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/ResultsReader.h"
#include "exchange/SchemaReader.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

namespace devlink {
namespace {

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

std::u16string U(const QString& text)
{
    return text.toStdU16String();
}

const QString kInternalCommandText
    = QStringLiteral("Internal command to get details of tables in this database.");

} // namespace

ResultsLoader::ResultsLoader(const DatabaseRequest& request, RowSink rows)
    : m_request(request)
    , m_rows(std::move(rows))
{
    m_answer.sql = request.sql;
    m_answer.retryCount = request.retryCount;
}

bool ResultsLoader::IsSchemaRequest() const
{
    return m_request.sql.compare(QStringLiteral("SCHEMA-BINARY"), Qt::CaseInsensitive) == 0
        || m_request.sql.compare(QStringLiteral("SCHEMA-ASCII"), Qt::CaseInsensitive) == 0;
}

bool ResultsLoader::LoadResults(int totalRows, bool stopAfterStatus)
{
    const LinkTiming& timing = Timing();
    QObject* owner = m_request.promptOwner;
    m_answer.resultsValid = false;
    m_answer.resultsBytes.clear();

    TraceLine(QStringLiteral("Waiting for the SQLresults.txt to exist.."));
    const std::u16string resultsPath = DevicePath(kResultsFilePath);
    const bool exists = RetryWithWaits(timing.resultsExistTries, timing.resultsExistWaitMs,
        [&] { return CeGetFileAttributes(resultsPath.c_str()) != INVALID_FILE_ATTRIBUTES; });
    if (!exists) {
        TraceLine(QStringLiteral("failed.\r\n"));
        TraceLine(Q(exchange::Format(
            u"An error has occurred.\r\nCould not access this database on your device:  %s (1)\r\n",
            U(m_request.databasePath))));
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("An error has occurred.\r\nCould not access this database on your device.\r\n"),
            PromptIcon::Information, PromptButtons::Ok, owner);
        return false;
    }

    TraceLine(QStringLiteral("ok.\r\n"));
    TraceLine(QStringLiteral("Waiting for the SQLresults.txt to become readable.."));
    DeviceTextFile file;
    const bool read = RetryWithWaits(
        timing.resultsReadTries, timing.resultsReadWaitMs, [&] { return file.Read(kResultsFilePath, true); });
    if (!read) {
        TraceLine(QStringLiteral("failed.\r\n"));
        TraceLine(
            Q(exchange::Format(u"An error has occurred.\r\nCould not open the details about this database "
                               u"on your device:  %s (1)r\n",
                U(m_request.databasePath))));
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("An error has occurred.\r\nCould not open the details about this database on your "
                           "device.\r\n"),
            PromptIcon::Information, PromptButtons::Ok, owner);
        return false;
    }
    TraceLine(QStringLiteral("ok.\r\n"));
    m_answer.resultsBytes = file.Bytes();

    const std::optional<QString> first = file.FirstLine();
    if (!first) {
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("A problem was encountered with the results file on the device."),
            PromptIcon::Information, PromptButtons::Ok, owner);
        return false;
    }
    if (*first == QStringLiteral("<Failed>")) {
        HandleFailure(file.Lines().mid(0, 4));
        return false;
    }
    if (*first != QStringLiteral("<Success>")) {
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unrecognised results sent from device."),
            PromptIcon::None, PromptButtons::Ok, owner);
        return false;
    }

    m_answer.resultsValid = true;
    settings::WriteString(
        EngineSettingName(m_request.databasePath), ReadAgentRegString(ContractText(contract::kSqlCeVersion)));
    if (stopAfterStatus)
        return true;
    if (!m_request.tableMode)
        return ReadSchemaFile();
    return LoadTableAnswer(file.LineViews(), totalRows);
}

void ResultsLoader::HandleFailure(const QStringList& lines)
{
    QObject* owner = m_request.promptOwner;
    if (lines.size() < 2)
        return;
    const QString line2 = lines[1];
    const std::optional<QString> line3 = lines.size() > 2 ? std::optional<QString>(lines[2]) : std::nullopt;
    const QString line4 = lines.size() > 3 ? lines[3] : QString();
    m_answer.passwordRejected = line4.contains(QStringLiteral("database password"));
    const bool corrupted = line4.contains(QStringLiteral("The database file is corrupted"));
    const QString opening
        = Q(exchange::Format(u"Could not open this database.\r\n\r\nError: %s\r\n\r\n%s\r\n%s", U(line2),
            U(line3.value_or(QString())), U(line4)));

    bool offerCompact = corrupted;
    bool retryingEncryption = false;
    if (line3 && line3->contains(QStringLiteral("0x80004005"))) {
        if (line4.contains(QStringLiteral("support encryption"))) {
            ++m_answer.retryCount;
            if (m_answer.retryCount < 5) {
                m_answer.statusText = QStringLiteral("Retrying..");
                m_answer.retryRequested = true;
            } else {
                PromptAnswer answer = ShowMessage(QStringLiteral("Error"),
                    opening
                        + QStringLiteral("\r\n\r\nSometimes, this error occurs randomly, and retrying the "
                                         "command will succeed.\r\n\r\n"),
                    PromptIcon::Warning, PromptButtons::RetryCancel, owner);
                if (answer != PromptAnswer::Retry)
                    return;
                m_answer.retryCount = 0;
                m_answer.retryRequested = true;
            }
            retryingEncryption = true;
        } else {
            offerCompact = true;
        }
    }
    if (offerCompact) {
        PromptAnswer answer = ShowMessage(QStringLiteral("Error"),
            opening
                + QStringLiteral(
                    "\r\n\r\nSometimes, \"compacting\" a database will repair errors like this.         \r\n"
                    "This is likely to take a couple of minutes.\r\n\r\n"
                    "Do you want to try compacting this database ?\r\n"),
            PromptIcon::Warning, PromptButtons::YesNo, owner);
        if (answer == PromptAnswer::Yes) {
            m_answer.sql = QStringLiteral("CompactDB");
            m_answer.retryRequested = true;
        }
        return;
    }
    // A retry already decided on needs no further question.
    if (retryingEncryption)
        return;
    if (!line3) {
        if (IsSchemaRequest()) {
            ShowMessage(QStringLiteral("Error"),
                Q(exchange::Format(u"Could not open this database.\r\n\r\nError: %s", U(line2))),
                PromptIcon::Warning, PromptButtons::Ok, owner);
        } else {
            ShowSqlError(QStringLiteral("Database error"), QString(), line2);
        }
        return;
    }
    ShowSqlError(line2, *line3, line4);
}

void ResultsLoader::ShowSqlError(const QString& error, const QString& code, const QString& details)
{
    SqlErrorRequest request;
    const bool schema = IsSchemaRequest();
    request.sql = schema ? kInternalCommandText : m_request.sql;
    request.sqlEditable = !schema;
    request.error = error;
    request.errorCode = code;
    request.details = details;
    request.owner = m_request.promptOwner;
    const SqlErrorAnswer answer = CurrentPrompter().AskSqlError(request);
    if (!answer.retry) {
        m_answer.retryRequested = false;
        return;
    }
    if (!schema)
        m_answer.sql = answer.sql;
    m_answer.retryRequested = true;
}

bool ResultsLoader::LoadTableAnswer(const std::vector<std::u16string_view>& lines, int totalRows)
{
    if (lines.empty())
        return false;
    exchange::TableAnswerReader reader(std::span<const std::u16string_view>(lines).subspan(1));
    if (!reader.ok())
        return false;
    QueryResult& result = m_answer.result;
    result = MakeQueryHeader(reader.header(), totalRows);
    result.rowsAffected = m_answer.rowsAffected;
    if (!m_rows) {
        while (std::optional<std::u16string_view> line = reader.NextRow())
            AppendRowLine(result, *line);
        return true;
    }
    m_rows(result);
    // Rows in batches, so that a window shows the first ones while the rest
    // are split; each batch carries only its rows.
    QueryResult batch;
    batch.columnCount = result.columnCount;
    while (std::optional<std::u16string_view> line = reader.NextRow()) {
        AppendRowLine(batch, *line);
        if (batch.rows.size() == kRowBatch) {
            m_rows(std::move(batch));
            batch = QueryResult();
            batch.columnCount = result.columnCount;
        }
    }
    if (!batch.rows.isEmpty())
        m_rows(std::move(batch));
    return true;
}

bool ResultsLoader::ReadSchemaFile()
{
    const LinkTiming& timing = Timing();
    DeviceTextFile file;
    bool read = file.Read(kBinarySchemaPath, true);
    if (!read) {
        TraceLine(QStringLiteral("Couldn't open SCHEMA file.  Pause, then retry 1..\r\n"));
        WaitWithMessages(timing.schemaRetryWaitMs);
        read = file.Read(kBinarySchemaPath, true);
    }
    if (!read) {
        TraceLine(QStringLiteral("Couldn't open SCHEMA file.  Pause, then retry 2..\r\n"));
        WaitWithMessages(timing.schemaRetryWaitMs);
        if (CeGetFileAttributes(u"\\Windows") == INVALID_FILE_ATTRIBUTES) {
            TraceLine(QStringLiteral("Couldn't get \\Windows file attributes.  Reopen RAPI...\r\n"));
            UninitRapi();
            WaitWithMessages(timing.schemaRetryWaitMs);
            ConnectWithRetries();
        }
        TraceLine(QStringLiteral("Trying to reopen the schema file..\r\n"));
        read = file.Read(kBinarySchemaPath, true);
    }
    if (!read) {
        TraceLine(QStringLiteral("Couldn't open the schema file..\r\n"));
        TraceLine(Q(exchange::Format(u"Couldn't open the file \"%s\"  (2)..\r\n", U(kBinarySchemaPath))));
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unable to open results file on the device."),
            PromptIcon::Information, PromptButtons::Ok, m_request.promptOwner);
        return false;
    }
    LoadSchema(&file.Text());
    return true;
}

bool ResultsLoader::LoadSchema(const std::u16string* text)
{
    if (!text) {
        m_answer.tables = QVector<TableSchema>();
        m_answer.schemaRootOnly = true;
        return false;
    }
    const exchange::BinarySchema schema = exchange::ReadBinarySchema(*text);
    m_answer.tables = MakeTableSchemas(schema);
    // A table cut short by a malformed stream is shown but not counted.
    m_answer.tableCount = int(schema.completeTables);
    if (schema.malformed)
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unrecognised schema results sent from device."),
            PromptIcon::None, PromptButtons::Ok, m_request.promptOwner);
    return schema.malformed;
}

} // namespace devlink
