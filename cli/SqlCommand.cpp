// sql: one statement on a device database, its rows printed in the format
// asked for. The formats for programs are streamed (desktop/link/AnswerStream.h): the
// request runs with its answer left on the device, which is then read in
// blocks and printed part by part; a failure is left to the desktop's
// loader, which asks what the failure calls for.
#include "cli/DatabaseCommands.h"
#include "cli/DatabaseRun.h"
#include "cli/Interrupts.h"
#include "cli/OutputFormat.h"
#include "cli/RowWriter.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AnswerStream.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/ResultsLoader.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

using devlink::RequestController;
using devlink::StreamEnd;
using devlink::StreamQueryAnswer;

// As the request loop bounds the reruns an answer asks for.
constexpr int kMaxReruns = 25;

void WriteOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
}

// Reads the options of the output; false after a usage error.
bool ReadOutputOptions(CliContext& cx, const ParsedCommand& p, OutputFormat format, OutputOptions* options)
{
    const QString name = p.Value(QStringLiteral("format"), QStringLiteral("table"));
    auto refuse = [&](const QString& problem) {
        cx.Usage(QStringLiteral("sql: ") + problem, QStringLiteral("sql"));
        return false;
    };
    const bool withHeader
        = format == OutputFormat::Table || format == OutputFormat::Tsv || format == OutputFormat::Csv;
    const bool typed = format == OutputFormat::Csv || format == OutputFormat::Json;
    const QString binary = p.Value(QStringLiteral("binary"), QStringLiteral("count"));
    if (p.Has(QStringLiteral("max-width"))
        && !ParseTimeout(p.Value(QStringLiteral("max-width")), &options->maxCellWidth))
        return refuse(QStringLiteral("--max-width takes a number of columns (0: no limit)"));
    if (p.Has(QStringLiteral("no-header")) && !withHeader)
        return refuse(QStringLiteral("--no-header applies to table, tsv and csv, not %1").arg(name));
    if (p.Has(QStringLiteral("null")) && !withHeader)
        return refuse(QStringLiteral("--null applies to table, tsv and csv, not %1").arg(name));
    if (binary != QLatin1String("count") && binary != QLatin1String("text"))
        return refuse(QStringLiteral("--binary takes count or text"));
    if (p.Has(QStringLiteral("binary")) && !typed)
        return refuse(QStringLiteral("--binary applies to csv and json, not %1").arg(name));
    options->header = !p.Has(QStringLiteral("no-header"));
    if (p.Has(QStringLiteral("null")))
        options->nullText = p.Value(QStringLiteral("null"));
    options->binaryAsText = binary == QLatin1String("text");
    const QString separator = devlink::DecimalSeparator();
    options->decimalSeparator = separator.isEmpty() ? QChar(u'.') : separator[0];
    return true;
}

// The table (and raw answer) of a request whose answer the loop reads whole.
int RunWhole(LinkSession& s, RequestController& c, OutputFormat format, const OutputOptions& options)
{
    CliContext& cx = s.cx();
    if (!RunRequest(s, c)) {
        if (format == OutputFormat::Raw && !c.resultsBytes().isEmpty())
            cx.out() << DeviceText(c.resultsBytes());
        return RequestFailure(s, c);
    }
    s.RememberPassword(c.databasePath(), c.password());
    if (c.rowsAffected() != -1) {
        if (format == OutputFormat::Raw) {
            // The loop leaves a statement's answer unread; read it here.
            devlink::DeviceTextFile file;
            if (file.Read(devlink::kResultsFilePath, false))
                cx.out() << DeviceText(file.Bytes());
        } else {
            cx.out() << FormatRowsAffected(c.rowsAffected(), format);
        }
        return kOk;
    }
    if (format == OutputFormat::Raw) {
        cx.out() << DeviceText(c.resultsBytes());
        return kOk;
    }
    cx.out() << FormatTable(c.queryResult(), options);
    // Into a pipe the rows alone, so that a line count counts rows.
    const QString found = RowsFoundText(c.queryResult().rows.size());
    if (isatty(STDOUT_FILENO)) {
        cx.out() << found;
    } else {
        cx.out().flush();
        cx.err() << found;
    }
    return kOk;
}

// The formats for programs: the answer is streamed from the device.
int RunStreamed(LinkSession& s, RequestController& c, OutputFormat format, const OutputOptions& options)
{
    CliContext& cx = s.cx();
    RowWriter writer(format, options);
    bool begun = false;
    // Called on the device session's worker while the main thread waits.
    const devlink::RowSink rows = [&](devlink::QueryResult part) {
        WriteOut(begun ? writer.Rows(part) : writer.Begin(part));
        begun = true;
    };
    int retryCount = 0;
    for (int run = 0;; ++run) {
        if (!RunRequest(s, c, true))
            return RequestFailure(s, c);
        if (c.rowsAffected() != -1) {
            cx.out() << FormatRowsAffected(c.rowsAffected(), format);
            return kOk;
        }
        cx.out().flush();
        StreamEnd end = StreamEnd::NotSuccess;
        bool loaded = false;
        devlink::DatabaseAnswer failure;
        s.RunOnDevice([&] {
            end = StreamQueryAnswer(c.databasePath(), c.totalRows(), rows);
            if (end != StreamEnd::NotSuccess)
                return;
            devlink::DatabaseRequest request;
            request.databasePath = c.databasePath();
            request.password = c.password();
            request.sql = c.sqlToRun();
            request.firstRun = false;
            request.retryCount = retryCount;
            devlink::ResultsLoader loader(request, rows);
            loaded = loader.LoadResults(c.totalRows(), false);
            failure = std::move(loader.answer());
        });
        std::fflush(stdout);
        if (Interrupted())
            return kInterrupted;
        if (end == StreamEnd::Cancelled)
            return s.TimedOut() ? s.FailTimedOut() : s.Fail(QStringLiteral("the request was cancelled"));
        if (end == StreamEnd::Unreadable)
            return s.Fail(QStringLiteral("the answer could not be read from the device"));
        if (end == StreamEnd::Streamed || loaded) {
            if (!begun)
                WriteOut(writer.Begin(devlink::QueryResult()));
            WriteOut(writer.End());
            std::fflush(stdout);
            s.RememberPassword(c.databasePath(), c.password());
            return kOk;
        }
        if (failure.passwordRejected)
            return PasswordRejected(s, c.databasePath(), c.password());
        if (!failure.retryRequested || run >= kMaxReruns)
            return s.FailQuietly(QStringLiteral("An error occurred getting data from your device."));
        c.setSqlToRun(failure.sql);
        retryCount = failure.retryCount;
    }
}

} // namespace

QVector<OptionSpec> SqlOptions()
{
    return {
        { QStringLiteral("format"), QStringLiteral("FORMAT"),
            QStringLiteral("table, tsv, csv, json or raw (default table).") },
        { QStringLiteral("no-header"), QString(), QStringLiteral("No header line (table, tsv, csv).") },
        { QStringLiteral("null"), QStringLiteral("TEXT"),
            QStringLiteral("Print a null as TEXT (table, tsv, csv; default (null), \\N and nothing).") },
        { QStringLiteral("binary"), QStringLiteral("FORM"),
            QStringLiteral("A binary value in csv and json: count (its byte count, the default) or text.") },
        { QStringLiteral("max-width"), QStringLiteral("N"),
            QStringLiteral("Cut table cells wider than N columns (default 60; 0: no limit).") },
    };
}

int RunSql(CliContext& cx, const ParsedCommand& p)
{
    const OutputFormat format
        = *ParseOutputFormat(p.Value(QStringLiteral("format"), QStringLiteral("table")));
    OutputOptions options;
    if (!ReadOutputOptions(cx, p, format, &options))
        return kUsage;
    const QString database = p.arguments[0];
    QString sql = p.arguments[1];
    if (sql == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return cx.Fail(QStringLiteral("sql: cannot read the SQL from standard input"));
        sql = QString::fromUtf8(in.readAll()).trimmed();
    }
    if (sql.trimmed().isEmpty())
        return cx.Usage(QStringLiteral("sql: the SQL is empty"), QStringLiteral("sql"));

    LinkSession s(cx, p);
    if (!s.Open())
        return Interrupted() ? kInterrupted : kFailed;
    const QString password = s.Password(database);
    RequestController c;
    SetUpRequest(c, database, password, RequestTextOf(sql), true);
    // A stale refusal count must not be taken for this request's.
    devlink::DeleteAgentRegValue(
        devlink::kAgentKey, devlink::ContractText(contract::kRowsThatWouldBeAffected));
    if (format == OutputFormat::Table || format == OutputFormat::Raw)
        return RunWhole(s, c, format, options);
    return RunStreamed(s, c, format, options);
}

} // namespace cli
