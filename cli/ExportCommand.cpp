#include "cli/ExportCommand.h"

#include "cli/DatabaseRun.h"
#include "cli/Interrupts.h"
#include "cli/LinkSession.h"
#include "desktop/export/ExportWorker.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestController.h"
#include "desktop/link/SchemaTreeModel.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>
#include <QTimer>

#include <mutex>

namespace cli {
namespace {

using dbexport::ExportChoice;

// Prints the log with each line's time; a failing statement is printed and
// answered without asking: a table that cannot be created is skipped, a row
// that cannot be inserted ends its table (whose status says how far it got).
class PrintingListener : public dbexport::ExportListener {
public:
    explicit PrintingListener(CliContext& cx)
        : m_cx(cx)
    {
    }

    void Log(const QString& text) override
    {
        std::lock_guard lock(m_mutex);
        m_cx.out() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << "  " << text << Qt::endl;
        m_progress = text;
    }
    void SetTableStatus(const QString& table, const QString& status) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_order.contains(table))
            m_order.append(table);
        m_status[table] = status;
        m_progress = table + status;
    }
    void SetWaitingForDevice(const QString&, bool) override { }
    dbexport::ExportErrorAnswer AskError(const dbexport::ExportErrorQuestion& q) override
    {
        std::lock_guard lock(m_mutex);
        m_cx.out().flush();
        m_cx.err() << "quorvane-cli: export: " << q.Title() << '\n'
                   << "  " << q.sql << '\n'
                   << "  Error: " << q.errorText << Qt::endl;
        return { q.isCreate ? ExportChoice::Skip : ExportChoice::Abort, QString() };
    }

    QString Progress() const
    {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    void PrintStatuses()
    {
        std::lock_guard lock(m_mutex);
        for (const QString& table : m_order)
            m_cx.out() << table << ": " << m_status.value(table) << '\n';
    }

private:
    CliContext& m_cx;
    mutable std::mutex m_mutex;
    QString m_progress;
    QStringList m_order;
    QMap<QString, QString> m_status;
};

// The tables named on the command line, checked against the schema (all
// of them when none is named); false after a usage message.
bool ChooseTables(CliContext& cx, const QStringList& named, const QVector<devlink::TableSchema>& schema,
    QStringList* chosen)
{
    QStringList all;
    for (const devlink::TableSchema& table : schema)
        all.append(table.name);
    if (named.isEmpty()) {
        *chosen = all;
        return true;
    }
    for (const QString& name : named) {
        if (!all.contains(name)) {
            cx.Usage(QStringLiteral("export: the database has no table \"%1\"").arg(name),
                QStringLiteral("export"));
            return false;
        }
    }
    *chosen = named;
    return true;
}

int RunExportCommand(CliContext& cx, const ParsedCommand& p)
{
    const bool toFile = p.Has(QStringLiteral("to"));
    if (toFile == p.Has(QStringLiteral("odbc")))
        return cx.Usage(
            QStringLiteral("export: give either --to FILE or --odbc DSN"), QStringLiteral("export"));
    dbexport::ExportRequest request;
    request.databasePath = p.arguments[0];
    request.toAccess = toFile;
    request.structureOnly = p.Has(QStringLiteral("structure-only"));
    request.existingTable
        = p.Has(QStringLiteral("replace")) ? dbexport::ExistingTable::Replace : dbexport::ExistingTable::Keep;
    if (toFile) {
        request.accessFile = QFileInfo(p.Value(QStringLiteral("to"))).absoluteFilePath();
        if (!QFileInfo(request.accessFile).dir().exists())
            return cx.Fail(QStringLiteral("export: the folder of %1 does not exist").arg(request.accessFile));
    } else {
        request.dataSource = p.Value(QStringLiteral("odbc"));
        request.userName = p.Value(QStringLiteral("user"));
        request.password = p.Value(QStringLiteral("odbc-password"));
    }

    LinkSession s(cx, p);
    if (!s.Open())
        return Interrupted() ? kInterrupted : kFailed;
    devlink::RequestController c;
    int status = kOk;
    if (!LoadSchema(s, c, request.databasePath, &status))
        return status;
    if (!ChooseTables(cx, p.arguments.mid(1), c.schemaModel()->Tables(), &request.tables))
        return kUsage;
    request.databasePassword = s.Password(request.databasePath);
    if (toFile && QFileInfo::exists(request.accessFile)) {
        const devlink::PromptAnswer answer = devlink::ShowMessage(QStringLiteral("Warning"),
            dbexport::OverwriteFileQuestion(request.accessFile), devlink::PromptIcon::Warning,
            devlink::PromptButtons::YesNo);
        if (answer != devlink::PromptAnswer::Yes)
            return s.Fail(
                QStringLiteral("export: %1 exists; nothing was changed (use --yes)").arg(request.accessFile));
    }
    if (Interrupted())
        return kInterrupted;

    PrintingListener listener(cx);
    dbexport::ExportSummary summary;
    auto progress = std::make_shared<devlink::RequestProgress>();
    // The export tells its progress itself; the watchdog only fires when
    // neither it nor the device's agent moved for the whole timeout.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
        [&] { s.NoteProgress(progress->AgentStatus() + QLatin1Char('\n') + listener.Progress()); });
    poll.start(500);
    s.Arm(nullptr);
    const devlink::RequestEnd end = devlink::DeviceSession::Instance().RunAndWait(
        [&](devlink::RequestContext&) { summary = dbexport::RunExport(request, listener); }, progress);
    s.Disarm();
    poll.stop();
    listener.PrintStatuses();
    if (s.TimedOut())
        return s.FailTimedOut();
    if (Interrupted() || end != devlink::RequestEnd::Ran || summary.cancelled)
        return kInterrupted;
    const bool complete = !summary.stopped && summary.tablesSkipped == 0 && summary.tablesFailed == 0
        && summary.rowsSkipped == 0;
    return complete ? kOk : kFailed;
}

} // namespace

Command ExportCommand(const QVector<OptionSpec>& databaseOptions)
{
    QVector<OptionSpec> options = {
        { QStringLiteral("to"), QStringLiteral("FILE"),
            QStringLiteral("Write a new database file (SQLite format).") },
        { QStringLiteral("odbc"), QStringLiteral("DSN"),
            QStringLiteral("Write into this ODBC data source.") },
        { QStringLiteral("user"), QStringLiteral("U"), QStringLiteral("The data source's user name.") },
        { QStringLiteral("odbc-password"), QStringLiteral("P"),
            QStringLiteral("The data source's password.") },
        { QStringLiteral("structure-only"), QString(),
            QStringLiteral("Create the tables only; copy no rows.") },
        { QStringLiteral("replace"), QString(),
            QStringLiteral(
                "Drop a data source's table of the same name (default: leave it, skip the table).") },
    };
    options += databaseOptions;
    return { { QStringLiteral("export"), QStringLiteral("DB [TABLE...]"),
                 QStringLiteral("copy tables into a desktop database file or an ODBC data source"),
                 QStringLiteral(
                     "Copies tables of a device database (all of them when none is named) into a new\n"
                     "desktop database file in SQLite format (--to FILE) or into an ODBC data source\n"
                     "(--odbc DSN). Each table is created from the device's schema, then its rows are\n"
                     "fetched through the agent and inserted; the log lines are printed as they come,\n"
                     "then each table's status. An existing FILE is replaced only with --yes, and only\n"
                     "once the export has finished; a data source's table of the same name only with\n"
                     "--replace. A table that cannot be created is skipped; a row that cannot be\n"
                     "inserted ends its table (the statement is kept in errorSQL.txt in the cache\n"
                     "folder). Exit status 0 only when every table was copied whole.\n"
                     "DB is the database's full device path (\"\\My Documents\\Orders.sdf\").\n"),
                 options, 1, -1 },
        true, RunExportCommand };
}

} // namespace cli
