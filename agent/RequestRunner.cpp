#include "agent/RequestRunner.h"

#include "agent/RequestText.h"
#include "agent/SchemaOutput.h"
#include "exchange/AgentContract.h"
#include "exchange/ResultsText.h"
#include "exchange/StepMarks.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"

namespace agent {

bool RunRequest(AgentContext& context, const RunArguments& arguments, exchange::OutputSink& output)
{
    RequestRunner runner(context, arguments, output);
    return runner.Run();
}

RequestRunner::RequestRunner(
    AgentContext& context, const RunArguments& arguments, exchange::OutputSink& output)
    : m_context(context)
    , m_status(context.status)
    , m_args(arguments)
    , m_out(output)
{
}

bool RequestRunner::Run()
{
    m_status.LogLine(u"Running SQL script..");
    m_status.SetStatusValue(contract::kSql, m_args.statementText);
    m_status.LogLine(m_args.statementText);
    m_context.SetProgress(u"Running SQL...");
    m_status.SetStatusValue(contract::kTotalRows, u"");
    m_status.SetStatusValue(contract::kRowsAffected, u"");
    m_status.LogLine(IsSchema() ? u"Retrieving database schema..." : u"Running SQL command...");

    if (!OpenDatabase(m_context, m_args.databasePath, m_args.password, m_db))
        return false;
    exchange::MarkStep("agent: database opened");

    if (IsRenameRequest(m_args.statementText))
        return RenameTable();

    // The query options (bookmarks, backward fetch) are how this engine
    // always delivers results; the steps keep their log lines.
    m_status.LogLine(u"Creating command & properties..");
    m_status.LogLine(u"Setting properties.");

    if (IsSchema() || !m_args.tableName.empty()) {
        if (!SchemaWalk())
            return false;
        return QueryWithRows();
    }
    if (IsSelectStatement(m_args.statementText)) {
        m_status.LogLine(u"Preparing to run \"SELECT * FROM..\" command.");
        return QueryWithRows();
    }
    return StatementWithoutRows();
}

bool RequestRunner::SchemaWalk()
{
    if (m_args.binarySchema)
        m_out.WriteText(exchange::kSchemaFileStart);
    if (m_args.tableName.empty())
        m_status.LogLine(u"Looking for all tables.");
    else
        m_status.LogLine(exchange::Format(u"Looking for \"%s\"..", m_args.tableName));

    for (const std::u16string& table : m_db.tables) {
        // Table names are matched as the engine matches them: without regard to case.
        const bool wanted
            = IsSchema() || (!m_tableView && exchange::EqualsIgnoreAsciiCase(table, m_args.tableName));
        if (!wanted) {
            m_status.LogLine(exchange::Format(u"    Skipping table: %s", table));
            continue;
        }
        m_status.LogLine(exchange::Format(u"    Querying table : %s", table));
        exchange::TableViewLines lines;
        if (!DescribeTable(m_context, *m_db.session, table, m_args.binarySchema, m_args.asciiSchema,
                m_asciiWriter, m_out, lines)) {
            m_out.FlushOutput();
            CloseDatabase();
            return false;
        }
        if (!m_args.tableName.empty())
            m_tableView = std::move(lines);
    }
    return true;
}

bool RequestRunner::StatementWithoutRows()
{
    std::u16string statement = m_args.statementText;
    m_status.LogLine(exchange::Format(u"Running SQL: %s", statement));
    m_status.LogLine(u"Creating command for SQL query.");

    if (IsGuardedChange(statement) && !CheckGuardedChange(statement))
        return false;

    m_status.LogLine(u"Running SQL query..");
    std::unique_ptr<engine::Rowset> rowset;
    std::int64_t rowsAffected = 0;
    const bool ok = engine::Succeeded(m_db.session->Execute(statement, rowset, rowsAffected));
    m_status.LogVerdict(ok);
    exchange::MarkStep("agent: statement run");
    rowset.reset();
    if (!ok) {
        m_context.errorText = u"Invalid SQL command.";
        AppendEngineError(m_context.RequestErrors(), m_context.errorText);
        m_status.LogLine(u"Aborting client.");
    } else {
        std::u16string count = exchange::Format(u"%d", rowsAffected);
        m_out.WriteText(exchange::kSuccessLine);
        m_out.WriteText(exchange::ColsLine(0));
        m_status.SetStatusValue(contract::kRowsAffected, count);
        m_out.WriteText(count);
        m_out.FlushOutput();
        exchange::MarkStep("agent: results written");
    }
    CloseDatabase();
    return ok;
}

void RequestRunner::CloseDatabase()
{
    m_db.CloseTableList();
    m_db.CloseSession();
    m_db.CloseDataSource();
}

} // namespace agent
