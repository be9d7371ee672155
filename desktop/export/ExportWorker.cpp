#include "desktop/export/ExportWorker.h"

#include "desktop/export/ExportSql.h"
#include "desktop/export/ExportTarget.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestContext.h"
#include "exchange/ResultsReader.h"
#include "exchange/SchemaReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace dbexport {

ExportListener::~ExportListener() = default;

namespace {

QChar FirstCharacter(const QString& text)
{
    return text.isEmpty() ? QLatin1Char('.') : text[0];
}

// How one table's export ended.
enum class TableEnd { Done, Skipped, Failed, StopAll };

// The rows of one table answer, read from the agent's results file.
struct TableRows {
    devlink::DeviceTextFile file;
    std::optional<exchange::TableAnswerReader> reader;
    int totalRows = 0;
};

class Exporter {
public:
    Exporter(const ExportRequest& request, ExportListener& listener)
        : m_request(request)
        , m_listener(listener)
        , m_separator(FirstCharacter(devlink::DecimalSeparator()))
    {
    }

    ExportSummary Run();

private:
    bool OpenTarget();
    std::optional<QVector<devlink::TableSchema>> ReadSchema();
    TableEnd ExportTable(const devlink::TableSchema& table);
    TableEnd CreateTable(const devlink::TableSchema& table);
    bool MayCreate(const QString& table);
    bool FetchRows(const QString& table, TableRows* rows);
    TableEnd InsertRows(const QString& table, TableRows& rows);
    void Stop(const QString& errorText);
    void Status(const QString& table, const QString& text) { m_listener.SetTableStatus(table, text); }

    const ExportRequest& m_request;
    ExportListener& m_listener;
    const QChar m_separator;
    ExportTarget m_target;
    ExportSummary m_summary;
    QString m_error; // the recorded error that ends the export
};

void WriteErrorSql(const QString& sql)
{
    const QString path = ErrorSqlPath();
    QDir().mkpath(QFileInfo(path).path());
    // Replaced whole: a reader never sees half of the last statement.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    // UTF-16LE with its byte-order mark, as desktop text editors expect.
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(sql.utf16()), sql.size() * 2);
    file.write(bytes);
    file.commit();
}

void LogLines(ExportListener& listener, const QStringList& lines)
{
    for (const QString& line : lines)
        listener.Log(line);
}

ExportSummary Exporter::Run()
{
    QElapsedTimer clock;
    clock.start();
    std::optional<QVector<devlink::TableSchema>> tables;
    if (OpenTarget())
        tables = ReadSchema();
    QString current;
    if (tables) {
        for (const devlink::TableSchema& table : *tables) {
            if (!m_request.tables.contains(table.name))
                continue;
            if (devlink::CancelRequested()) {
                m_summary.cancelled = true;
                break;
            }
            current = table.name;
            const TableEnd end = ExportTable(table);
            if (end == TableEnd::Skipped)
                ++m_summary.tablesSkipped;
            else if (end != TableEnd::Done)
                ++m_summary.tablesFailed;
            if (end == TableEnd::StopAll)
                break;
            if (devlink::CancelRequested()) {
                m_summary.cancelled = true;
                break;
            }
        }
    }
    if (m_summary.cancelled && !current.isEmpty())
        Status(current, QStringLiteral("Cancelled."));
    if (m_target.IsOpen()) {
        m_listener.Log(m_request.toAccess ? QStringLiteral("Closing database.")
                                          : QStringLiteral("Closing ODBC connection."));
    }
    // A file is only put in place by an export that ran to its end.
    QString keepError;
    if (m_summary.cancelled || m_summary.stopped) {
        m_target.Discard();
    } else if (!m_target.Keep(&keepError)) {
        Stop(QStringLiteral("An error occurred whilst %1: %2")
                 .arg(QStringLiteral("saving the file"), keepError));
    }

    if (m_summary.cancelled) {
        m_summary.finalText = QStringLiteral("Operation cancelled.");
    } else if (!m_error.isEmpty()) {
        m_summary.finalText = m_error;
    } else if (m_summary.tablesSkipped == 0 && m_summary.tablesFailed == 0 && m_summary.rowsSkipped == 0) {
        m_summary.finalText = QStringLiteral("Database created successfully.");
    } else {
        m_summary.finalText = QStringLiteral(
            "Database created with problems: %1 table%2 skipped, %3 table%4 failed, %5 row%6 "
            "left out.")
                                  .arg(m_summary.tablesSkipped)
                                  .arg(Plural(m_summary.tablesSkipped))
                                  .arg(m_summary.tablesFailed)
                                  .arg(Plural(m_summary.tablesFailed))
                                  .arg(m_summary.rowsSkipped)
                                  .arg(Plural(m_summary.rowsSkipped));
    }
    m_listener.Log(m_summary.finalText);
    if (!m_summary.cancelled && m_error.isEmpty())
        m_listener.Log(TimeTakenText(clock.elapsed()));
    return m_summary;
}

void Exporter::Stop(const QString& errorText)
{
    m_error = errorText;
    m_summary.stopped = true;
}

bool Exporter::OpenTarget()
{
    QString error;
    if (m_request.toAccess) {
        m_listener.Log(QStringLiteral("Creating blank database."));
        if (m_target.OpenFile(m_request.accessFile, &error))
            return true;
        Stop(QStringLiteral("An error occurred whilst %1: %2")
                 .arg(QStringLiteral("creating the database file"), error));
        return false;
    }
    m_listener.Log(QStringLiteral("Opening ODBC connection."));
    if (m_target.OpenOdbc(m_request.dataSource, m_request.userName, m_request.password, &error))
        return true;
    Stop(QStringLiteral("An error occurred whilst %1: %2")
             .arg(QStringLiteral("opening the ODBC data source"), error));
    return false;
}

std::optional<QVector<devlink::TableSchema>> Exporter::ReadSchema()
{
    m_listener.Log(QStringLiteral("Querying device's database..."));
    devlink::DeviceTextFile file;
    if (!file.Read(devlink::kBinarySchemaPath, false)) {
        m_listener.Log(QStringLiteral("Unable to open database schema file."));
        Stop(QStringLiteral("Unable to open database schema file."));
        return std::nullopt;
    }
    if (!exchange::IsBinarySchema(file.Text())) {
        devlink::ShowMessage(QStringLiteral("Export to database"),
            QStringLiteral(
                "Internal error:\r\nMissing a special \"starting character\" in the binary schema for "
                "this database.\r\n\r\nPlease contact Technical Support, and report this error.\r\n"),
            devlink::PromptIcon::Warning);
        m_listener.Log(QStringLiteral("Invalid \"DBSchema.bin\" file.."));
        Stop(QStringLiteral("Invalid \"DBSchema.bin\" file.."));
        return std::nullopt;
    }
    return devlink::MakeTableSchemas(exchange::ReadBinarySchema(file.Text()));
}

TableEnd Exporter::ExportTable(const devlink::TableSchema& table)
{
    // The table's creation and rows are one transaction where the target
    // has them: a cancel or an abort leaves no half-copied table behind.
    m_target.Begin();
    TableEnd end = CreateTable(table);
    if (end != TableEnd::Done) {
        m_target.Rollback();
        return end;
    }
    if (m_request.structureOnly) {
        m_target.Commit();
        Status(table.name, QStringLiteral("Created table."));
        return TableEnd::Done;
    }
    TableRows rows;
    if (!FetchRows(table.name, &rows)) {
        m_target.Rollback();
        // The cell would otherwise keep saying that data is on its way.
        if (!devlink::CancelRequested())
            Status(table.name, QStringLiteral("Couldn't retrieve data."));
        return TableEnd::Failed;
    }
    end = InsertRows(table.name, rows);
    if (devlink::CancelRequested())
        m_target.Rollback();
    else
        m_target.Commit();
    return end;
}

// A data source's table of the same name is dropped only when the user
// agreed (or the command line said --replace): it is their own table.
bool Exporter::MayCreate(const QString& table)
{
    if (m_request.toAccess || !m_target.HasTable(table))
        return true;
    bool replace = m_request.existingTable == ExistingTable::Replace;
    if (m_request.existingTable == ExistingTable::Ask) {
        replace = devlink::ShowMessage(QStringLiteral("Warning"),
                      QStringLiteral(
                          "The table \"%1\" already exists in the data source \"%2\".\r\n\r\nDo you want "
                          "to replace it ?  Its rows will be lost.")
                          .arg(table, m_request.dataSource),
                      devlink::PromptIcon::Warning, devlink::PromptButtons::YesNo)
            == devlink::PromptAnswer::Yes;
    }
    if (!replace) {
        m_listener.Log(QStringLiteral("%1 : The table exists already; it was left alone.").arg(table));
        Status(table, QStringLiteral("Table exists: not exported."));
        return false;
    }
    QString error;
    if (!m_target.Exec(QStringLiteral("DROP TABLE %1").arg(BracketedName(table)), &error)) {
        m_listener.Log(QStringLiteral("%1 : Error : %2").arg(table, error));
        Status(table, QStringLiteral("Couldn't replace table."));
        return false;
    }
    return true;
}

TableEnd Exporter::CreateTable(const devlink::TableSchema& table)
{
    QStringList notes;
    QString sql = CreateTableStatement(table, m_request.toAccess, &notes);
    devlink::DebugOutput(sql + QStringLiteral("\r\n"));
    LogLines(m_listener, notes);
    m_listener.Log(QStringLiteral("%1 : Creating table.").arg(table.name));
    Status(table.name, QStringLiteral("Creating table.."));
    if (!MayCreate(table.name))
        return TableEnd::Skipped;
    for (;;) {
        QString error;
        if (m_target.Exec(sql, &error))
            return TableEnd::Done;
        ExportErrorQuestion question;
        question.isCreate = true;
        question.tableName = table.name;
        question.sql = sql;
        question.errorText = error;
        const ExportErrorAnswer answer = m_listener.AskError(question);
        if (answer.choice == ExportChoice::Retry) {
            sql = answer.sql;
            continue;
        }
        if (answer.choice == ExportChoice::Skip) {
            Status(table.name, QStringLiteral("Couldn't create table."));
            return TableEnd::Skipped;
        }
        m_listener.Log(QStringLiteral("%1 : Error: failed to create table.").arg(table.name));
        Status(table.name, QStringLiteral("Error creating table."));
        m_listener.Log(QStringLiteral("Aborting export..."));
        Stop(QStringLiteral("Aborting export..."));
        return TableEnd::StopAll;
    }
}

bool Exporter::FetchRows(const QString& table, TableRows* rows)
{
    m_listener.Log(QStringLiteral("%1 : Retrieving data from the device..").arg(table));
    Status(table, QStringLiteral("Retrieving data from device.."));
    m_listener.SetWaitingForDevice(table, true);
    const bool ran = devlink::CreateCEQueryFile(m_request.databasePath, m_request.databasePassword,
        QStringLiteral("SELECT * FROM ") + BracketedName(table), false);
    m_listener.SetWaitingForDevice(table, false);
    if (!ran || devlink::CancelRequested())
        return false;
    Status(table, QStringLiteral("Loading data.."));
    rows->totalRows
        = devlink::LeadingInteger(devlink::ReadAgentRegString(devlink::ContractText(contract::kTotalRows)));
    bool read = rows->file.Read(devlink::kResultsFilePath, true);
    if (!read) {
        devlink::RequestPause(1000);
        read = rows->file.Read(devlink::kResultsFilePath, true);
    }
    if (!read) {
        m_listener.Log(QStringLiteral("Unable to retrieve data for the table \"%1\".").arg(table));
        return false;
    }
    const std::vector<std::u16string_view>& lines = rows->file.LineViews();
    const exchange::ResultsKind kind = exchange::ClassifyResults(lines);
    if (kind == exchange::ResultsKind::Failed) {
        const QString message
            = lines.size() > 1 ? QString::fromStdU16String(std::u16string(lines[1])) : QString();
        m_listener.Log(QStringLiteral("Error : %1").arg(message));
        return false;
    }
    if (kind == exchange::ResultsKind::Success)
        rows->reader.emplace(std::span<const std::u16string_view>(lines).subspan(1));
    if (!rows->reader || !rows->reader->ok() || rows->reader->header().columnCount <= 0) {
        m_listener.Log(QStringLiteral("Error in table description for \"%1\".").arg(table));
        return false;
    }
    return true;
}

TableEnd Exporter::InsertRows(const QString& table, TableRows& rows)
{
    m_listener.Log(QStringLiteral("%1 : Adding data on server..").arg(table));
    Status(table, QStringLiteral("Adding data on server.."));
    const exchange::TableAnswer& header = rows.reader->header();
    const int columnCount = header.columnCount;
    QStringList names, types;
    for (int c = 0; c < columnCount; ++c) {
        names.append(c < int(header.names.size()) ? QString::fromStdU16String(header.names[c]) : QString());
        types.append(c < int(header.types.size()) ? QString::fromStdU16String(header.types[c]) : QString());
    }
    const QString head = InsertHead(table, names);
    QString placeholders = head;
    for (int c = 0; c < columnCount; ++c)
        placeholders += c == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    const bool prepared = m_target.Prepare(placeholders + QLatin1Char(')'));

    int copied = 0, number = 0;
    bool aborted = false;
    QVector<ExportValue> values(columnCount);
    QStringList cells;
    QVariantList bindings;
    while (std::optional<std::u16string_view> line = rows.reader->NextRow()) {
        if (devlink::CancelRequested())
            break;
        ++number;
        const std::vector<std::u16string> fields = exchange::SplitFields(*line, columnCount);
        cells.clear();
        bindings.clear();
        for (int c = 0; c < columnCount; ++c) {
            cells.append(c < int(fields.size()) ? QString::fromStdU16String(fields[c]) : QString());
            values[c] = ConvertCell(cells[c], types[c], m_request.toAccess, m_separator);
            if (prepared)
                bindings.append(Binding(values[c]));
        }
        QString error;
        QString sql = prepared ? QString() : InsertStatement(head, values);
        bool inserted = prepared ? m_target.RunPrepared(bindings, &error) : m_target.Exec(sql, &error);
        ExportChoice choice = ExportChoice::Retry;
        while (!inserted && choice == ExportChoice::Retry && !devlink::CancelRequested()) {
            if (sql.isEmpty())
                sql = InsertStatement(head, values);
            WriteErrorSql(sql);
            ExportErrorQuestion question;
            question.tableName = table;
            question.sql = sql;
            question.errorText = error;
            question.fieldNames = names;
            question.fieldTypes = types;
            question.fieldValues = cells;
            question.record = number;
            question.totalRecords = rows.totalRows;
            const ExportErrorAnswer answer = m_listener.AskError(question);
            choice = answer.choice;
            if (choice == ExportChoice::Retry) {
                sql = answer.sql;
                inserted = m_target.Exec(sql, &error);
            }
        }
        if (inserted) {
            ++copied;
        } else if (choice == ExportChoice::Skip) {
            ++m_summary.rowsSkipped;
        } else {
            aborted = !devlink::CancelRequested();
            break;
        }
        if (number % 10 == 0) {
            Status(table, QStringLiteral("Adding row %1 of %2..").arg(number).arg(rows.totalRows));
            m_listener.SetRowProgress(table, number, rows.totalRows);
        }
    }
    if (devlink::CancelRequested())
        return TableEnd::Failed;
    if (aborted) {
        Status(table,
            QStringLiteral("Aborted,  %1 row%2 out of %3 were copied.")
                .arg(copied)
                .arg(Plural(copied))
                .arg(rows.totalRows));
        return TableEnd::Failed;
    }
    Status(table, QStringLiteral("Done.  %1 row%2 copied.").arg(copied).arg(Plural(copied)));
    return TableEnd::Done;
}

} // namespace

QString ExportErrorQuestion::Title() const
{
    return (isCreate ? QStringLiteral("Unable to create the table \"%1\" :")
                     : QStringLiteral("Unable to insert a record into the table \"%1\" :"))
        .arg(tableName);
}

QString OverwriteFileQuestion(const QString& path)
{
    return QStringLiteral("The file:\r\n") + path
        + QStringLiteral("\r\nalready exists.\r\n\r\nDo you want to overwrite this file ?");
}

ExportSummary RunExport(const ExportRequest& request, ExportListener& listener)
{
    return Exporter(request, listener).Run();
}

} // namespace dbexport
