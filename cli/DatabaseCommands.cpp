#include "cli/DatabaseCommands.h"

#include "cli/DatabaseRun.h"
#include "cli/ExportCommand.h"
#include "cli/Interrupts.h"

#include "cli/LinkSession.h"
#include "cli/OutputFormat.h"
#include "cli/ScriptCommand.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AsciiSchema.h"
#include "desktop/link/CompactReport.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/NewDatabase.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestController.h"
#include "exchange/ResultsReader.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <QFile>

namespace cli {
namespace {

using devlink::PromptButtons;
using devlink::PromptIcon;
using devlink::RequestController;

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

QVector<OptionSpec> Join(QVector<OptionSpec> a, const QVector<OptionSpec>& b)
{
    a += b;
    return a;
}

// The folder that holds a device path ("\\" for the root).
QString ParentFolder(const QString& path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut <= 0 ? QStringLiteral("\\") : path.left(cut);
}

int RunSchema(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0];
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    RequestController c;
    if (!p.Has(QStringLiteral("ascii"))) {
        int status = kOk;
        if (!LoadSchema(s, c, database, &status))
            return status;
        for (const devlink::TableSchema& table : c.schemaModel()->Tables()) {
            cx.out() << table.name << '\n';
            for (const devlink::ColumnSchema& column : table.columns) {
                cx.out() << "  " << devlink::SchemaTreeModel::ColumnLabel(column.name, column.typeText)
                         << (column.isPrimaryKey ? "  (primary key)" : "") << '\n';
            }
        }
        return kOk;
    }
    // The agent writes the text into DBSchema.txt and only a status line
    // into the results file.
    const QString password = s.Password(database);
    SetUpRequest(c, database, password, QStringLiteral("SCHEMA-ASCII"), true);
    if (!RunRequest(s, c, true))
        return RequestFailure(s, c);
    bool written = false;
    std::optional<QString> text;
    s.RunOnDevice([&] { text = devlink::ReadAsciiSchema(database, password, &written); });
    if (!written)
        return RequestFailure(s, c);
    s.RememberPassword(database, password);
    if (!text) {
        devlink::ShowMessage(QStringLiteral("Error"),
            QStringLiteral("Unable to open results file on the device."), PromptIcon::Information);
        return kFailed;
    }
    cx.out() << TerminalText(*text);
    return kOk;
}

int RunTables(CliContext& cx, const ParsedCommand& p)
{
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    RequestController c;
    int status = kOk;
    if (!LoadSchema(s, c, p.arguments[0], &status))
        return status;
    for (const devlink::TableSchema& table : c.schemaModel()->Tables())
        cx.out() << table.name << '\n';
    return kOk;
}

int RunNewDatabase(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0];
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    const QString password = p.Value(QStringLiteral("password"));
    // Said here in the user's words: the device's own answers to these name
    // the emulator's host paths, or speak of compaction.
    const QString folder = ParentFolder(database);
    const DWORD folderAttributes = CeGetFileAttributes(W(folder));
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return s.Fail(QStringLiteral("newdb: the folder %1 does not exist on the device").arg(folder));
    if (CeGetFileAttributes(W(database)) != INVALID_FILE_ATTRIBUTES)
        return s.Fail(QStringLiteral("newdb: %1 already exists on the device").arg(database));
    devlink::NewDatabaseResult made;
    s.RunOnDevice([&] { made = devlink::CreateNewDatabase(database, password); });
    if (Interrupted())
        return kInterrupted;
    if (s.TimedOut())
        return s.FailTimedOut();
    using Outcome = devlink::NewDatabaseResult::Outcome;
    if (made.outcome == Outcome::NotRun)
        return s.FailQuietly(QStringLiteral("newdb: the request could not be run on the device"));
    if (made.outcome == Outcome::Refused && !made.reason.isEmpty())
        return s.Fail(QStringLiteral("newdb: could not create %1:\n").arg(database)
            + WithDevicePaths(made.reason.join(QLatin1Char('\n'))));
    if (made.outcome == Outcome::Refused)
        return s.Fail(QStringLiteral("newdb: could not create %1").arg(database));
    if (made.outcome == Outcome::Missing)
        return s.Fail(QStringLiteral("newdb: the device did not create %1").arg(database));
    s.RememberPassword(database, password);
    cx.out() << "Created " << database << (password.isEmpty() ? "." : ", with a password.") << '\n';
    return kOk;
}

int RunCompact(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0];
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    quint32 before = 0, after = 0;
    devlink::GetDeviceFileSize(database, &before);
    const QString password = s.Password(database);
    // Database mode: a compaction answers with the fresh binary schema.
    RequestController c;
    SetUpRequest(c, database, password, QStringLiteral("CompactDB"), false);
    if (!RunRequest(s, c)) {
        if (s.TimedOut())
            return s.FailTimedOut();
        devlink::ShowMessage(
            QStringLiteral("Error"), QStringLiteral("Unable to compact this database."), PromptIcon::Warning);
        return kFailed;
    }
    s.RememberPassword(database, password);
    quint32 compacted = 0;
    const bool read
        = devlink::ReadAgentRegDword(devlink::ContractText(contract::kCompactSuccessful), &compacted);
    if (!devlink::CompactSucceeded(c.resultsValid(), read, compacted)) {
        devlink::ShowMessage(QStringLiteral("Quorvane"),
            QStringLiteral("The database Compact was not successful. "), PromptIcon::Information);
        return kFailed;
    }
    devlink::GetDeviceFileSize(database, &after);
    const QString report = devlink::CompactReport(before, after);
    cx.out() << TerminalText(report).trimmed() << '\n';
    return kOk;
}

int RunRenameTable(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0], from = p.arguments[1], to = p.arguments[2];
    if (to.isEmpty() || from.isEmpty())
        return cx.Usage(QStringLiteral("rename-table: the table names must not be empty"));
    // The agent finds the names between apostrophes; one inside a name
    // would make it rename the wrong table.
    if (from.contains(QLatin1Char('\'')) || to.contains(QLatin1Char('\'')))
        return cx.Usage(QStringLiteral("rename-table: a table name cannot hold an apostrophe (')"));
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    const QString password = s.Password(database);
    RequestController c;
    SetUpRequest(c, database, password,
        Q(exchange::Format(u"RENAME TABLE '%s' TO '%s'", from.toStdU16String(), to.toStdU16String())), true);
    const bool ran = RunRequest(s, c);
    if (s.TimedOut())
        return s.FailTimedOut();
    if (!ran || c.rowsAffected() != 1) {
        devlink::ShowMessage(QStringLiteral("Error"),
            Q(exchange::Format(u"Unable to rename table from \"%s\" to \"%s\"", from.toStdU16String(),
                to.toStdU16String())));
        return kFailed;
    }
    s.RememberPassword(database, password);
    cx.out() << "Table rename successful.\n";
    return kOk;
}

int RunDropTable(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0], table = p.arguments[1];
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Warning");
    question.text = Q(exchange::Format(
        u"Are you sure you want to delete (DROP) the table \"%s\" ?\r\n\r\nThis action is NOT undo-able.",
        table.toStdU16String()));
    question.icon = PromptIcon::Question;
    question.buttons = PromptButtons::YesNoCancel;
    question.defaultButton = devlink::PromptAnswer::No;
    if (devlink::CurrentPrompter().Ask(question) != devlink::PromptAnswer::Yes)
        return s.Fail(QStringLiteral("drop-table: not confirmed; nothing was changed (use --yes)"));
    const QString password = s.Password(database);
    RequestController c;
    SetUpRequest(c, database, password, QStringLiteral("DROP TABLE ") + QuotedTableName(table), true);
    const bool ran = RunRequest(s, c);
    if (s.TimedOut())
        return s.FailTimedOut();
    if (!ran) {
        devlink::ShowMessage(QStringLiteral("Error"),
            Q(exchange::Format(u"Unable to delete table \"%s\".", table.toStdU16String())));
        return kFailed;
    }
    s.RememberPassword(database, password);
    cx.out() << "Update successful.\n";
    return kOk;
}

QString DatabaseNote()
{
    return QStringLiteral(
        "DB is the database's full device path (\"\\My Documents\\Orders.sdf\"; quote it for "
        "the shell).\n");
}

} // namespace

QString RequestTextOf(const QString& sql)
{
    QString text;
    text.reserve(sql.size());
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == u'\r' && i + 1 < sql.size() && sql[i + 1] == u'\n') {
            text += QStringLiteral("\r\n");
            ++i;
        } else if (c == u'\n' || c == u'\r') {
            text += QStringLiteral("\r\n");
        } else {
            text += c;
        }
    }
    return text;
}

QString QuotedTableName(const QString& name)
{
    return name.contains(QLatin1Char(' ')) ? QLatin1Char('[') + name + QLatin1Char(']') : name;
}

QVector<Command> DatabaseCommands()
{
    const QVector<OptionSpec> agent = AgentOptions();
    const QVector<OptionSpec> database = Join(PasswordOptions(), agent);
    QVector<Command> commands;
    auto add = [&](const CommandSyntax& syntax, int (*run)(CliContext&, const ParsedCommand&)) {
        commands.append({ syntax, true, run });
    };
    add({ QStringLiteral("sql"), QStringLiteral("DB SQL"),
            QStringLiteral("run one SQL statement; print its rows or the rows affected"),
            QStringLiteral(
                "Runs one SQL statement on a device database and prints the rows it returns, or\n"
                "the number of rows it changed. SQL \"-\" reads the statement from standard input.\n"
                "Formats: table (aligned, for people; \"N rows found.\" goes to standard error when\n"
                "the output is not a terminal), tsv (a header line, then TAB-separated rows;\n"
                "backslash escapes, \\N for null), csv (RFC 4180), json (columns and rows), raw\n"
                "(the agent's results file as it wrote it). csv and json are typed: numbers as\n"
                "numbers, bits as true and false, dates in ISO 8601, binary values as their byte\n"
                "count; tsv, csv and json are printed row by row as they are read.\n"
                "The agent writes \"(null)\" both for a null and for the text \"(null)\", so a\n"
                "cell of exactly that text is taken for null. A plain query (not SELECT * FROM a\n"
                "table) reports long texts with the integer type: one that reads as a number or\n"
                "as true/false is typed so.\n"
                "The SQL the device's engine accepts (SQL Server Compact's dialect) is listed in\n"
                "the README, under \"The SQL the engine accepts\".\n")
                + DatabaseNote(),
            Join(SqlOptions(), database), 2, 2 },
        RunSql);
    commands.append(ScriptCommand(database));
    commands.append(ExportCommand(database));
    add({ QStringLiteral("schema"), QStringLiteral("DB"),
            QStringLiteral("show the tables and columns of a database"),
            QStringLiteral("Prints every table of a device database with its columns, their types and\n"
                           "attributes; --ascii prints the CREATE TABLE text the agent writes instead.\n")
                + DatabaseNote(),
            Join({ { QStringLiteral("ascii"), QString(), QStringLiteral("Print CREATE TABLE statements.") } },
                database),
            1, 1 },
        RunSchema);
    add({ QStringLiteral("tables"), QStringLiteral("DB"), QStringLiteral("list the tables of a database"),
            QStringLiteral("Prints the name of every table of a device database, one per line.\n")
                + DatabaseNote(),
            database, 1, 1 },
        RunTables);
    add({ QStringLiteral("newdb"), QStringLiteral("DB"), QStringLiteral("create a new, empty database"),
            QStringLiteral("Creates a new, empty database on the device; with --password it is protected\n"
                           "by that password.\n")
                + DatabaseNote(),
            database, 1, 1 },
        RunNewDatabase);
    add({ QStringLiteral("compact"), QStringLiteral("DB"),
            QStringLiteral("compact a database (and repair what compaction repairs)"),
            QStringLiteral("Compacts a device database and reports its size before and after.\n")
                + DatabaseNote(),
            database, 1, 1 },
        RunCompact);
    add({ QStringLiteral("rename-table"), QStringLiteral("DB OLD NEW"), QStringLiteral("rename a table"),
            QStringLiteral("Renames the table OLD of a device database to NEW.\n") + DatabaseNote(), database,
            3, 3 },
        RunRenameTable);
    add({ QStringLiteral("drop-table"), QStringLiteral("DB NAME"),
            QStringLiteral("delete a table and its rows (asks; --yes confirms)"),
            QStringLiteral("Deletes (drops) the table NAME of a device database. The desktop asks first;\n"
                           "here the question is answered No unless --yes is given.\n")
                + DatabaseNote(),
            database, 2, 2 },
        RunDropTable);
    return commands;
}

} // namespace cli
