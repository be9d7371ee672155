// Loading a request's answer: the results file, its failure questions, the
// table answer and the binary schema.
#include "desktop/link/RequestController.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/shell/SettingsStore.h"
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

bool RequestController::IsSchemaRequest() const
{
    return m_sqlToRun.compare(QStringLiteral("SCHEMA-BINARY"), Qt::CaseInsensitive) == 0
        || m_sqlToRun.compare(QStringLiteral("SCHEMA-ASCII"), Qt::CaseInsensitive) == 0;
}

bool RequestController::LoadResults(int totalRows, bool stopAfterStatus)
{
    const LinkTiming& timing = Timing();
    QObject* owner = promptOwner();
    m_resultsValid = false;
    m_resultsBytes.clear();

    TraceLine(QStringLiteral("Waiting for the SQLresults.txt to exist.."));
    const std::u16string resultsPath = DevicePath(kResultsFilePath);
    const bool exists = RetryWithWaits(timing.resultsExistTries, timing.resultsExistWaitMs,
        [&] { return CeGetFileAttributes(resultsPath.c_str()) != INVALID_FILE_ATTRIBUTES; });
    if (!exists) {
        TraceLine(QStringLiteral("failed.\r\n"));
        TraceLine(Q(exchange::Format(
            u"An error has occurred.\r\nCould not access this database on your device:  %s (1)\r\n",
            U(m_databasePath))));
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
                U(m_databasePath))));
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("An error has occurred.\r\nCould not open the details about this database on your "
                           "device.\r\n"),
            PromptIcon::Information, PromptButtons::Ok, owner);
        return false;
    }
    TraceLine(QStringLiteral("ok.\r\n"));
    m_resultsBytes = file.Bytes();

    const std::optional<QString> first = file.FirstLine();
    if (!first) {
        m_progressTimer.stop();
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("A problem was encountered with the results file on the device."),
            PromptIcon::Information, PromptButtons::Ok, owner);
        return false;
    }
    if (*first == QStringLiteral("<Failed>")) {
        m_progressTimer.stop();
        HandleFailure(file.Lines());
        return false;
    }
    if (*first != QStringLiteral("<Success>")) {
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unrecognised results sent from device."),
            PromptIcon::None, PromptButtons::Ok, owner);
        return false;
    }

    m_resultsValid = true;
    settings::WriteString(
        EngineSettingName(m_databasePath), ReadAgentRegString(QStringLiteral("SQLCEversion")));
    if (stopAfterStatus)
        return true;
    if (!m_tableMode)
        return ReadSchemaFile();
    return LoadTableAnswer(file.Text(), totalRows);
}

void RequestController::HandleFailure(const QStringList& lines)
{
    QObject* owner = promptOwner();
    if (lines.size() < 2)
        return;
    const QString line2 = lines[1];
    const std::optional<QString> line3 = lines.size() > 2 ? std::optional<QString>(lines[2]) : std::nullopt;
    const QString line4 = lines.size() > 3 ? lines[3] : QString();
    m_passwordRejected = line4.contains(QStringLiteral("database password"));
    const bool corrupted = line4.contains(QStringLiteral("The database file is corrupted"));
    const QString opening
        = Q(exchange::Format(u"Could not open this database.\r\n\r\nError: %s\r\n\r\n%s\r\n%s", U(line2),
            U(line3.value_or(QString())), U(line4)));

    bool offerCompact = corrupted;
    bool retryingEncryption = false;
    if (line3 && line3->contains(QStringLiteral("0x80004005"))) {
        if (line4.contains(QStringLiteral("support encryption"))) {
            ++m_retryCount;
            if (m_retryCount < 5) {
                SetStatus(QStringLiteral("Retrying.."));
                m_retryRequested = true;
                emit refreshRequested();
            } else {
                PromptAnswer answer = ShowMessage(QStringLiteral("Error"),
                    opening
                        + QStringLiteral("\r\n\r\nSometimes, this error occurs randomly, and retrying the "
                                         "command will succeed.\r\n\r\n"),
                    PromptIcon::Warning, PromptButtons::RetryCancel, owner);
                if (answer != PromptAnswer::Retry)
                    return;
                m_retryCount = 0;
                m_retryRequested = true;
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
            m_sqlToRun = QStringLiteral("CompactDB");
            m_retryRequested = true;
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

void RequestController::ShowSqlError(const QString& error, const QString& code, const QString& details)
{
    SqlErrorRequest request;
    const bool schema = IsSchemaRequest();
    request.sql = schema ? kInternalCommandText : m_sqlToRun;
    request.sqlEditable = !schema;
    request.error = error;
    request.errorCode = code;
    request.details = details;
    request.owner = promptOwner();
    const SqlErrorAnswer answer = CurrentPrompter().AskSqlError(request);
    if (!answer.retry) {
        m_retryRequested = false;
        return;
    }
    if (!schema)
        m_sqlToRun = answer.sql;
    m_retryRequested = true;
}

bool RequestController::LoadTableAnswer(const std::u16string& text, int totalRows)
{
    std::vector<std::u16string_view> lines = exchange::SplitDeviceLines(text);
    if (lines.empty())
        return false;
    const std::optional<exchange::TableAnswer> answer
        = exchange::ParseTableAnswer(std::span<const std::u16string_view>(lines).subspan(1));
    if (!answer)
        return false;
    m_result = MakeQueryResult(*answer, totalRows);
    m_result.rowsAffected = m_rowsAffected;
    emit resultsLoaded();
    return true;
}

bool RequestController::ReadSchemaFile()
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
            PromptIcon::Information, PromptButtons::Ok, promptOwner());
        return false;
    }
    LoadSchema(&file.Text());
    return true;
}

bool RequestController::LoadSchema(const std::u16string* text)
{
    if (!text) {
        m_schema.SetRootOnly(m_databasePath);
        emit resultsLoaded();
        return false;
    }
    const exchange::BinarySchema schema = exchange::ReadBinarySchema(*text);
    m_schema.SetSchema(m_databasePath, MakeTableSchemas(schema));
    // A table cut short by a malformed stream is shown but not counted.
    m_tableCount = int(schema.completeTables);
    if (schema.malformed)
        ShowMessage(QStringLiteral("Error"), QStringLiteral("Unrecognised schema results sent from device."),
            PromptIcon::None, PromptButtons::Ok, promptOwner());
    emit resultsLoaded();
    return schema.malformed;
}

} // namespace devlink
