#include "cli/CommandTable.h"

#include "cli/AgentToolCommands.h"
#include "cli/DatabaseCommands.h"
#include "cli/FileCommands.h"
#include "cli/RegistryCommands.h"

namespace cli {

QVector<Command> DeviceCommands()
{
    QVector<Command> commands;
    auto add = [&](const QString& name, const QString& arguments, const QString& summary,
                   const QString& description, int (*run)(CliContext&, const QStringList&)) {
        Command command;
        command.syntax.name = name;
        command.syntax.arguments = arguments;
        command.syntax.summary = summary;
        command.syntax.description = description;
        command.syntax.maxArguments = -1;
        command.run = run;
        commands.append(command);
    };
    add(QStringLiteral("info"), QString(),
        QStringLiteral("the device's platform, OEM text, OS version and profile"),
        QStringLiteral("Prints the connected device's platform, OEM text, OS version and profile.\n"), Info);
    add(QStringLiteral("ls"), QStringLiteral("[PATH]"),
        QStringLiteral("list a device folder (or the entries a pattern matches)"),
        QStringLiteral("Lists a device folder (default \"\\\"), or the entries a pattern such as\n"
                       "\"\\Windows\\*.exe\" matches: attributes, size, last write time (UTC) and name.\n"),
        List);
    add(QStringLiteral("get"), QStringLiteral("DEVICEPATH LOCALPATH"),
        QStringLiteral("copy a file from the device"),
        QStringLiteral("Copies a device file to this machine. The local file appears only when the copy\n"
                       "is complete.\n"),
        GetFile);
    add(QStringLiteral("put"), QStringLiteral("LOCALPATH DEVICEPATH"),
        QStringLiteral("copy a file to the device"),
        QStringLiteral("Copies a file of this machine to the device, replacing a file of that name.\n"),
        PutFile);
    add(QStringLiteral("rm"), QStringLiteral("PATH"), QStringLiteral("delete a device file"),
        QStringLiteral("Deletes a device file.\n"), Remove);
    add(QStringLiteral("mkdir"), QStringLiteral("PATH"), QStringLiteral("create a device folder"),
        QStringLiteral("Creates a device folder.\n"), MakeDirectory);
    add(QStringLiteral("rmdir"), QStringLiteral("PATH"), QStringLiteral("remove an empty device folder"),
        QStringLiteral("Removes an empty device folder.\n"), RemoveDirectory);
    add(QStringLiteral("mv"), QStringLiteral("FROM TO"),
        QStringLiteral("rename or move a device file or folder"),
        QStringLiteral("Renames or moves a device file or folder.\n"), Move);
    add(QStringLiteral("attrib"), QStringLiteral("PATH [+r|-r|+h|-h]..."),
        QStringLiteral("show or change attributes"),
        QStringLiteral("Shows a device entry's attributes as \"drhsa\" letters, or sets (+) and clears (-)\n"
                       "its read-only (r) and hidden (h) attributes.\n"),
        Attrib);
    add(QStringLiteral("reg"),
        QStringLiteral("query KEY [NAME] | set KEY NAME TYPE DATA | delete KEY [NAME]"),
        QStringLiteral("show, set or delete device registry keys and values"),
        QStringLiteral("Keys start with HKLM, HKCU, HKCR or a full root name. TYPE is sz, expand_sz,\n"
                       "dword (decimal or 0x hex), binary (hex pairs) or multi_sz (strings separated by\n"
                       "\"\\0\"). reg delete without NAME deletes the key with its sub-keys.\n"),
        Registry);
    add(QStringLiteral("run"), QStringLiteral("EXE [COMMANDLINE]"), QStringLiteral("start a device program"),
        QStringLiteral("Starts a device program with an optional command line and prints its process id.\n"),
        RunProgram);
    return commands;
}

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
        "  -h, --help     show this help and exit\n"
        "\n"
        "'quorvane-cli COMMAND --help' shows a command's arguments and options. Device paths\n"
        "start with \"\\\" (quote them for the shell). Exit status: 0 on success, 1 when the\n"
        "command failed (the reason is on standard error), 2 for a usage error.\n");
    return text;
}

} // namespace cli
