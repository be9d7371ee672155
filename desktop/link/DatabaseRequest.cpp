#include "desktop/link/DatabaseRequest.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AnswerStream.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/RequestContext.h"
#include "desktop/link/ResultsLoader.h"
#include "exchange/StepMarks.h"
#include "platform/rapi/Rapi.h"

namespace devlink {

namespace {

// Read where the request ran, right after it: a connection given up on is
// closed (not connected), a broken one reports the transport error.
bool ConnectionLost()
{
    const HRESULT transport = CeRapiGetError();
    return !IsConnected() || transport == RAPI_E_CONNECTION_LOST || transport == RAPI_E_NOT_CONNECTED;
}

// The count a refused guarded change leaves: a number value; -1 when the
// value holds none (the agent resets it to an empty text at each run).
int GuardedCount()
{
    quint32 count = 0;
    if (!ReadAgentRegDword(ContractText(contract::kRowsThatWouldBeAffected), &count))
        return -1;
    return int(count);
}

// A table answer to a window that keeps no copy of the file is read as it
// streams: the rows reach the window while the rest are read, in memory of
// one block. False when the answer is no success; the loader then reads it
// whole and asks what a failure calls for.
bool StreamTableAnswer(const DatabaseRequest& request, const RowSink& rows, DatabaseAnswer& answer)
{
    if (!request.tableMode || request.keepResultsBytes || !rows)
        return false;
    const StreamEnd end = StreamQueryAnswer(request.databasePath, answer.totalRows, rows, kRowBatch,
        request.packedRows ? RowForm::Packed : RowForm::Strings);
    if (end == StreamEnd::NotSuccess)
        return false;
    answer.resultsValid = end != StreamEnd::Unreadable;
    answer.loaded = end == StreamEnd::Streamed;
    answer.cancelled = end == StreamEnd::Cancelled;
    return true;
}

} // namespace

DatabaseAnswer RunDatabaseRequest(const DatabaseRequest& request, const RowSink& rows)
{
    if (request.firstRun)
        DeleteAgentRegValue(kAgentKey, ContractText(contract::kDeleteSqlResults));
    DeleteAgentRegValue(kAgentKey, ContractText(contract::kStatus));

    // A cancel given since the request was asked for stops it unrun.
    const bool ran = !CancelRequested()
        && CreateCEQueryFile(request.databasePath, request.password, request.sql, false, PendingCancel::Keep);
    DebugOutput(QStringLiteral("****  FINISHED RUNNING SQL ON THE DEVICE ****\r\n"));
    if (RequestContext* context = CurrentRequest())
        context->progress().SetLoading(true);

    ResultsLoader loader(request, rows);
    DatabaseAnswer& answer = loader.answer();
    answer.requestFailed = !ran;
    answer.cancelled = CancelRequested();
    if (answer.requestFailed || answer.cancelled) {
        answer.connectionLost = ConnectionLost();
        return std::move(answer);
    }
    if (request.sql.endsWith(QLatin1String("LIMIT 1")))
        answer.rowsThatWouldBeAffected = GuardedCount();
    const QString rowsAffected = ReadAgentRegString(ContractText(contract::kRowsAffected));
    const QString totalRows = ReadAgentRegString(ContractText(contract::kTotalRows));
    if (!rowsAffected.isEmpty()) {
        answer.rowsAffected = LeadingInteger(rowsAffected);
        return std::move(answer);
    }
    if (!totalRows.isEmpty())
        answer.totalRows = LeadingInteger(totalRows);
    if (request.loadAnswer && !StreamTableAnswer(request, rows, answer))
        answer.loaded = loader.LoadResults(answer.totalRows, false);
    exchange::MarkStep("desktop: results read");
    if (!request.keepResultsBytes)
        answer.resultsBytes.clear();
    answer.connectionLost = !answer.loaded && ConnectionLost();
    return std::move(answer);
}

} // namespace devlink
