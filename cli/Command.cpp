#include "cli/Command.h"

#include "cli/LinkSession.h"
#include "cli/OutputFormat.h"
#include "platform/rapi/Rapi.h"

namespace cli {

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
        error = QStringLiteral("%1: --format takes %2").arg(syntax.name, OutputFormatNames());
    }
    if (!ok) {
        *status = cx.Usage(error, syntax.name);
        return false;
    }
    return true;
}

int RunCommand(CliContext& cx, const Command& command, const QStringList& args)
{
    ParsedCommand parsed;
    int status = kOk;
    if (!PrepareCommand(cx, command.syntax, args, &parsed, &status))
        return status;
    const QString socket = parsed.Value(QStringLiteral("socket"));
    if (!socket.isEmpty()) {
        CeRapiSetSocketPath(socket.toStdString());
        cx.setSocketPath(socket);
    }
    if (command.connectsItself)
        return command.run(cx, parsed);
    if (!cx.Connect())
        return kFailed;
    status = command.run(cx, parsed);
    CeRapiUninit();
    return status;
}

} // namespace cli
