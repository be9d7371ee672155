// RunRequest: the agent's request runner, called once per ordinary run with
// the output file already created. It opens the database, walks the table
// list for a schema or a table view, and then runs a query and writes its
// rows, or runs a statement without rows (a rename and a guarded change
// being branches of the latter).
//
// One runner belongs to one thread and one run.
#pragma once

#include "agent/AgentContext.h"
#include "agent/DatabaseSession.h"
#include "agent/SmartAccessor.h"
#include "exchange/OutputCollector.h"
#include "exchange/SchemaWriter.h"
#include "exchange/ValueText.h"

#include <optional>
#include <string>

namespace agent {

struct RunArguments {
    std::u16string databasePath; // device path
    std::u16string password;
    std::u16string tableName; // a table view's table; empty otherwise
    std::u16string tableSource; // the table as the request wrote it (brackets kept)
    std::u16string statementText; // empty for a table view
    bool binarySchema = false;
    bool asciiSchema = false;
};

// True on success. On failure the context's error text says why (it may
// stay empty, as for a refused guarded change or a failed rename); the
// output holds what was written so far.
bool RunRequest(AgentContext& context, const RunArguments& arguments, exchange::OutputSink& output);

// The error text of a query whose rows could not all be read.
inline constexpr std::u16string_view kReadFailedMessage = u"Unable to read all the records.";

class RequestRunner {
public:
    RequestRunner(AgentContext& context, const RunArguments& arguments, exchange::OutputSink& output);
    bool Run();

private:
    bool IsSchema() const { return m_args.binarySchema || m_args.asciiSchema; }
    bool SchemaWalk();
    bool QueryWithRows();
    bool WriteRows(engine::Rowset& rowset, CSmartAccessor& accessor, std::int64_t& total);
    void AppendRowValues(engine::Rowset& rowset, CSmartAccessor& accessor);
    void AppendLongValue(engine::Rowset& rowset, const BoundColumn& column);
    void WriteLongText(engine::SequentialStream& stream);
    bool StatementWithoutRows();
    bool RenameTable();
    // Decides a guarded change: true when the (shortened) statement may run.
    bool CheckGuardedChange(std::u16string& statement);
    bool CountGuardedRows(const std::u16string& countQuery, std::int64_t& count, bool& engineFailed);
    void CloseDatabase();

    AgentContext& m_context;
    AgentStatus& m_status;
    const RunArguments& m_args;
    exchange::OutputCollector m_out;
    DatabaseSession m_db;
    exchange::AsciiSchemaWriter m_asciiWriter;
    std::optional<exchange::TableViewLines> m_tableView; // the requested table's lines, when found
    exchange::LongValueBuffer m_longValue;
    std::u16string m_row; // the text of the row being written, reused
    std::u16string m_chunkText; // long text being written, reused
    char16_t m_point = u'.';
    std::u16string m_pointSetting;
};

} // namespace agent
