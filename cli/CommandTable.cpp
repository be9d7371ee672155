#include "cli/CommandTable.h"

#include "cli/AgentToolCommands.h"
#include "cli/DatabaseCommands.h"
#include "cli/FileCommands.h"
#include "platform/rapi/Rapi.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace cli {

QVector<CommandGroup> AllCommands()
{
    return {
        { QStringLiteral("Device commands"), DeviceCommands() },
        { QStringLiteral("Database commands (through the device agent)"), DatabaseCommands() },
        { QStringLiteral("Device tools (through the device agent)"), AgentToolCommands() },
    };
}

const Command* FindCommand(const QVector<CommandGroup>& groups, const QString& name)
{
    for (const CommandGroup& group : groups)
        for (const Command& command : group.commands)
            if (command.syntax.name == name)
                return &command;
    return nullptr;
}

QString ProgramHelp(const QVector<CommandGroup>& groups)
{
    QString text = QStringLiteral(
        "Usage: quorvane-cli [--socket PATH] COMMAND [ARGS...]\n"
        "\n"
        "Quorvane's command-line front end: the databases, files, registry and processes\n"
        "of the connected device, through the same desktop libraries as the desktop program.\n");
    qsizetype width = 0;
    for (const CommandGroup& group : groups)
        for (const Command& command : group.commands)
            width = std::max(width, command.syntax.name.size());
    for (const CommandGroup& group : groups) {
        text += QLatin1Char('\n') + group.title + QStringLiteral(":\n");
        for (const Command& command : group.commands)
            text += QStringLiteral("  ") + command.syntax.name.leftJustified(width + 2)
                + command.syntax.summary + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\nOptions:\n"
        "  --socket PATH  the device's socket (default: the usual one; QUORVANE_HOME moves it)\n"
        "  --version      show the version and exit\n"
        "  -h, --help     show this help and exit\n"
        "\n"
        "'quorvane-cli COMMAND --help' shows a command's arguments and options. Device paths\n"
        "start with \"\\\" (quote them for the shell). Exit status: 0 on success, 1 when the\n"
        "command failed (the reason is on standard error), 2 for a usage error, 130 when\n"
        "it was interrupted (Ctrl-C stops the device's work first; a second one quits at\n"
        "once).\n");
    return text;
}

QString VersionText()
{
    return QStringLiteral("quorvane-cli (Quorvane) %1\n").arg(QCoreApplication::applicationVersion());
}

int RunCommandLine(CliContext& cx, const QStringList& arguments)
{
    const QVector<CommandGroup> groups = AllCommands();
    // The command's own words, options included, follow it untouched.
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption socket(QStringLiteral("socket"), QString(), QStringLiteral("PATH"));
    parser.addOptions({ help, version, socket });
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return cx.Usage(parser.errorText());
        const QString& name = unknown.first();
        return cx.Usage(QStringLiteral("unknown option \"%1%2\"").arg(name.size() == 1 ? "-" : "--", name));
    }
    if (parser.isSet(help)) {
        cx.out() << ProgramHelp(groups);
        return kOk;
    }
    if (parser.isSet(version)) {
        cx.out() << VersionText();
        return kOk;
    }
    if (parser.isSet(socket)) {
        CeRapiSetSocketPath(parser.value(socket).toStdString());
        cx.setSocketPath(parser.value(socket));
    }
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return cx.Usage(QStringLiteral("no command given"));
    const Command* command = FindCommand(groups, words.first());
    if (!command) {
        QStringList names;
        for (const CommandGroup& group : groups)
            for (const Command& c : group.commands)
                names << c.syntax.name;
        const QString closest = ClosestName(words.first(), names);
        if (closest.isEmpty())
            return cx.Usage(QStringLiteral("unknown command \"%1\"").arg(words.first()));
        return cx.Usage(
            QStringLiteral("unknown command \"%1\"; did you mean \"%2\"?").arg(words.first(), closest));
    }
    return RunCommand(cx, *command, words.mid(1));
}

} // namespace cli
