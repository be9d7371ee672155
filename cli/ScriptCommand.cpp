#include "cli/ScriptCommand.h"

#include "cli/DatabaseCommands.h"
#include "cli/DatabaseRun.h"
#include "cli/Interrupts.h"
#include "cli/LinkSession.h"
#include "cli/SqlScript.h"
#include "exchange/QueryFile.h"

#include <QElapsedTimer>
#include <QFile>

#include <unistd.h>

namespace cli {
namespace {

// The progress line on a terminal: redrawn at most five times a second,
// cleared before any message.
class ScriptProgress {
public:
    explicit ScriptProgress(CliContext& cx)
        : m_cx(cx)
        , m_shown(isatty(STDERR_FILENO))
    {
        m_clock.start();
    }
    void Update(int done, int total)
    {
        if (!m_shown || (m_drawn.isValid() && m_drawn.elapsed() < 200))
            return;
        m_drawn.start();
        m_cx.err() << '\r' << ScriptProgressText(done, total, m_clock.elapsed()) << "\x1b[K" << Qt::flush;
        m_lineShown = true;
    }
    void Clear()
    {
        if (m_lineShown)
            m_cx.err() << "\r\x1b[K" << Qt::flush;
        m_lineShown = false;
    }

private:
    CliContext& m_cx;
    const bool m_shown;
    QElapsedTimer m_clock, m_drawn;
    bool m_lineShown = false;
};

QString StatementName(int index, const ScriptStatement& statement)
{
    return QStringLiteral("statement %1 (line %2)").arg(index + 1).arg(statement.firstLine);
}

bool ReadScript(CliContext& cx, const QString& path, QByteArray* bytes)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        cx.Fail(QStringLiteral("script: cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    *bytes = file.readAll();
    return true;
}

int RunScript(CliContext& cx, const ParsedCommand& p)
{
    const QString database = p.arguments[0];
    const QString path = p.arguments[1];
    const bool continueOnError = p.Has(QStringLiteral("continue-on-error"));
    QByteArray bytes;
    if (!ReadScript(cx, path, &bytes))
        return kFailed;
    QString problem;
    const QString text = DecodeScriptFile(bytes, &problem);
    if (!problem.isEmpty())
        return cx.Fail(QStringLiteral("script: %1: %2").arg(path, problem));
    // Refused whole before anything runs: half a script is worse than none.
    const ScriptSplit split = SplitSqlScript(text);
    if (!split.error.isEmpty())
        return cx.Fail(QStringLiteral("script: %1, line %2: %3; nothing was run")
                           .arg(path)
                           .arg(split.errorLine)
                           .arg(split.error));
    const QVector<ScriptStatement>& statements = split.statements;
    if (statements.isEmpty()) {
        cx.err() << "quorvane-cli: script: " << path << " holds no statement; nothing was run" << Qt::endl;
        return kOk;
    }

    LinkSession s(cx, p);
    const QString password = s.Password(database);
    QStringList requests;
    for (qsizetype i = 0; i < statements.size(); ++i) {
        requests.append(RequestTextOf(statements[i].text));
        std::string file;
        const exchange::QueryFileBuild built = exchange::BuildQueryFile(
            database.toStdU16String(), password.toStdU16String(), requests.last().toStdU16String(), file);
        if (built == exchange::QueryFileBuild::TooLarge)
            return s.Fail(QStringLiteral("script: %1 is larger than one request can carry (20,000 bytes); "
                                         "nothing was run")
                              .arg(StatementName(int(i), statements[i])));
    }
    if (!s.Open())
        return Interrupted() ? kInterrupted : kFailed;
    // The first interrupt lets the running statement end; the loop then stops.
    InterruptScope finishTheStatement([] {},
        "quorvane-cli: interrupted; the script stops after the running statement (interrupt again to quit "
        "at once)\n");
    ScriptProgress progress(cx);
    QStringList failures;
    int done = 0;
    for (qsizetype i = 0; i < statements.size() && !Interrupted(); ++i) {
        progress.Update(done, int(statements.size()));
        devlink::RequestController c;
        SetUpRequest(c, database, password, requests[i], false);
        // The answer is read: it is what tells a failed statement from a done one.
        const bool ran = RunRequest(s, c);
        if (!ran && Interrupted())
            break;
        ++done;
        if (ran) {
            if (i == 0)
                s.RememberPassword(database, password);
            continue;
        }
        progress.Clear();
        RequestFailure(s, c);
        const QString failed = StatementName(int(i), statements[i]);
        if (!continueOnError) {
            s.Fail(QStringLiteral("script: %1 failed; %2 of %3 statements ran before it")
                       .arg(failed)
                       .arg(done - 1)
                       .arg(statements.size()));
            return kFailed;
        }
        s.Fail(QStringLiteral("script: %1 failed; going on").arg(failed));
        failures.append(failed);
    }
    progress.Clear();
    if (Interrupted()) {
        cx.err() << "quorvane-cli: script: interrupted after " << done << " of " << statements.size()
                 << " statements" << Qt::endl;
        return kInterrupted;
    }
    if (!failures.isEmpty()) {
        cx.err() << "quorvane-cli: script: " << failures.size() << " of " << statements.size()
                 << " statements failed: " << failures.join(QStringLiteral(", ")) << Qt::endl;
        return kFailed;
    }
    cx.err() << "quorvane-cli: script: " << done << " statements ran" << Qt::endl;
    return kOk;
}

} // namespace

QString ScriptProgressText(int done, int total, qint64 elapsedMs)
{
    QString text = QStringLiteral("statement %1 of %2").arg(done + 1).arg(total);
    if (done == 0 || elapsedMs <= 0)
        return text;
    const double rate = done * 1000.0 / double(elapsedMs);
    const qint64 left = qint64((total - done) / rate + 0.5);
    return text
        + QStringLiteral("  %1/s  %2:%3 left")
              .arg(rate, 0, 'f', 1)
              .arg(left / 60, 2, 10, QLatin1Char('0'))
              .arg(left % 60, 2, 10, QLatin1Char('0'));
}

Command ScriptCommand(const QVector<OptionSpec>& databaseOptions)
{
    QVector<OptionSpec> options = { { QStringLiteral("continue-on-error"), QString(),
        QStringLiteral("Run the statements after a failing one too, and list the failures at the end.") } };
    options += databaseOptions;
    return { { QStringLiteral("script"), QStringLiteral("DB FILE"),
                 QStringLiteral("run a SQL file one statement at a time"),
                 QStringLiteral(
                     "Runs the SQL statements of FILE (\"-\": standard input) on a device database, one\n"
                     "request each. A statement ends at \";\" outside quotes, bracketed names and\n"
                     "comments, or at a line holding only GO; comments are left out. The file may be\n"
                     "UTF-8 or UTF-16. A file with an unclosed quote or comment, or with a statement\n"
                     "too large for one request, is refused before anything runs. The first failing\n"
                     "statement stops the script, named by its number and first line, unless\n"
                     "--continue-on-error is given. Ctrl-C stops after the running statement. Exit\n"
                     "status 0 only when every statement succeeded.\n"),
                 options, 2, 2 },
        true, RunScript };
}

} // namespace cli
