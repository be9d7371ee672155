// The runner's maintenance branches: renaming a table, and the guard of a
// change meant for one row ("... LIMIT 1"), which counts the rows first.
#include "agent/RequestRunner.h"

#include "agent/RequestText.h"
#include "exchange/AgentContract.h"
#include "exchange/ResultsText.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"

#include <cstring>

namespace agent {

bool RequestRunner::RenameTable()
{
    m_status.LogLine(u"Renaming table...");
    std::u16string from, to;
    bool ok = RenameNames(m_args.statementText, from, to)
        && engine::Succeeded(m_db.session->RenameTable(from, to));
    if (ok)
        m_status.SetStatusValue(contract::kRowsAffected, u"1");
    m_status.LogVerdict(ok);
    CloseDatabase();
    m_out.WriteText(ok ? exchange::RenameSucceededText() : std::u16string(exchange::kFailedLine));
    m_out.FlushOutput();
    return ok;
}

bool RequestRunner::CountGuardedRows(
    const std::u16string& countQuery, std::int64_t& count, bool& engineFailed)
{
    engineFailed = false;
    exchange::DebugOutput(countQuery);
    m_status.LogLine(u"Opening session for SQL select query..");
    std::unique_ptr<engine::Rowset> rowset;
    std::int64_t rowsAffected = 0;
    CSmartAccessor accessor;
    engine::HRESULT hr = m_db.session->Execute(countQuery, rowset, rowsAffected);
    if (engine::Succeeded(hr) && !rowset)
        hr = engine::E_FAIL;
    if (engine::Succeeded(hr))
        hr = accessor.BindColumns(*rowset);
    m_status.LogVerdict(engine::Succeeded(hr));
    if (engine::Failed(hr)) {
        engineFailed = true;
        return false;
    }

    m_status.LogLine(u"Moving to first record..");
    hr = rowset->MoveFirst();
    m_status.LogVerdict(engine::Succeeded(hr));
    if (engine::Failed(hr)) {
        engineFailed = true;
        return false;
    }

    m_status.LogLine(u"Fetching record count..");
    std::int64_t rows = 0;
    hr = rowset->GetRowCount(rows);
    if (engine::Succeeded(hr))
        hr = accessor.GetData(*rowset);
    m_status.LogVerdict(engine::Succeeded(hr));
    if (engine::Failed(hr)) {
        engineFailed = true;
        return false;
    }

    const auto& columns = accessor.Columns();
    if (columns.size() != 1 || rows != 1 || columns[0].name != u"value" || columns[0].isLong
        || (accessor.Status(columns[0]) & 3) != 0)
        return false;
    const BoundColumn& column = columns[0];
    if (column.type == engine::DBTYPE_I4) {
        std::int32_t v;
        std::memcpy(&v, accessor.Value(column), sizeof v);
        count = v;
        return true;
    }
    if (column.type == engine::DBTYPE_I8) {
        std::int64_t v;
        std::memcpy(&v, accessor.Value(column), sizeof v);
        count = v;
        return true;
    }
    return false;
}

bool RequestRunner::CheckGuardedChange(std::u16string& statement)
{
    statement = std::u16string(WithoutGuard(statement));
    std::optional<std::u16string> countQuery = GuardedCountQuery(statement);
    if (!countQuery)
        return true; // neither an UPDATE nor a DELETE: nothing to guard

    std::int64_t count = 0;
    bool engineFailed = false;
    const bool counted = CountGuardedRows(*countQuery, count, engineFailed);
    if (counted && (count == 0 || count == 1))
        return true;

    // The change is refused: it would touch more than one row, or its rows
    // could not be counted.
    m_out.WriteText(exchange::kFailedLine);
    if (counted) {
        m_status.SetStatusNumber(contract::kRowsThatWouldBeAffected, static_cast<std::uint32_t>(count));
    } else if (engineFailed) {
        m_context.errorText = u"Invalid SQL command.";
        AppendEngineError(m_context.RequestErrors(), m_context.errorText);
    } else {
        m_context.errorText = u"Unable to count the rows that this change would affect.";
    }
    m_out.FlushOutput();
    CloseDatabase();
    return false;
}

} // namespace agent
