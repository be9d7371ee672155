#include "cli/Command.h"

#include "cli/LinkSession.h"
#include "cli/OutputFormat.h"

namespace cli {

bool AsksForHelp(const QStringList& args)
{
    for (const QString& word : args) {
        if (word == QLatin1String("--"))
            return false;
        if (word == QLatin1String("--help"))
            return true;
    }
    return false;
}

Command AgentCommand(const CommandSyntax& syntax, AgentCommandRun run)
{
    Command command;
    command.syntax = syntax;
    command.connectsItself = true;
    command.run = [syntax, run](CliContext& cx, const QStringList& args) {
        ParsedCommand parsed;
        int status = kOk;
        if (!PrepareCommand(cx, syntax, args, &parsed, &status))
            return status;
        return run(cx, parsed);
    };
    return command;
}

bool PrepareCommand(
    CliContext& cx, const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, int* status)
{
    QString error;
    bool ok = ParseCommand(syntax, args, parsed, &error);
    if (ok && parsed->helpRequested) {
        cx.out() << CommandHelp(syntax);
        cx.out().flush();
        *status = kOk;
        return false;
    }
    int seconds = 0;
    if (ok && parsed->Has(QStringLiteral("timeout"))
        && !ParseTimeout(parsed->Value(QStringLiteral("timeout")), &seconds)) {
        ok = false;
        error = QStringLiteral("%1: --timeout takes whole seconds (0 or more)").arg(syntax.name);
    }
    if (ok && parsed->Has(QStringLiteral("format"))
        && !ParseOutputFormat(parsed->Value(QStringLiteral("format")))) {
        ok = false;
        error = QStringLiteral("%1: --format takes table, tsv, json or raw").arg(syntax.name);
    }
    if (!ok) {
        cx.err() << "quorvane-cli: " << error << Qt::endl
                 << "Try 'quorvane-cli " << syntax.name << " --help'." << Qt::endl;
        *status = kUsage;
        return false;
    }
    return true;
}

} // namespace cli
