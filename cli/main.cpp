// quorvane-cli: Quorvane's headless front end.
#include "cli/CommandTable.h"
#include "platform/rapi/Rapi.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    cli::CliContext cx;
    const QVector<cli::CommandGroup> commands = cli::AllCommands();

    // Global options stand before the command; what follows it is its own.
    QStringList args = QCoreApplication::arguments().mid(1);
    QString socket;
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString word = args.takeFirst();
        if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
            cx.out() << cli::ProgramHelp(commands);
            return cli::kOk;
        }
        if (word == QLatin1String("--socket") && !args.isEmpty())
            socket = args.takeFirst();
        else if (word.startsWith(QLatin1String("--socket=")))
            socket = word.mid(9);
        else
            return cx.Usage(QStringLiteral("unknown option \"%1\"").arg(word));
    }
    if (args.isEmpty())
        return cx.Usage(QStringLiteral("no command given"));
    const cli::Command* command = cli::FindCommand(commands, args.first());
    if (!command)
        return cx.Usage(QStringLiteral("unknown command \"%1\"").arg(args.first()));
    args.removeFirst();
    if (cli::AsksForHelp(args)) {
        cx.out() << cli::CommandHelp(command->syntax);
        return cli::kOk;
    }
    if (!socket.isEmpty())
        CeRapiSetSocketPath(socket.toStdString());
    cx.setSocketPath(socket);
    if (command->connectsItself)
        return command->run(cx, args);
    if (!cx.Connect(QString()))
        return cli::kFailed;
    const int status = command->run(cx, args);
    CeRapiUninit();
    return status;
}
