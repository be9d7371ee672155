// quorvane-cli: Quorvane's headless front end. This part offers the device
// commands over the remote-access client.
#include "cli/CliContext.h"
#include "cli/FileCommands.h"
#include "cli/ProcessCommands.h"
#include "cli/RegistryCommands.h"
#include "platform/rapi/Rapi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <functional>
#include <map>

namespace {

const char* kCommands
    = "Device commands:\n"
      "  info                        the device's platform, OEM text, OS version and profile\n"
      "  ls [PATH]                   list a device folder (or the entries a pattern matches)\n"
      "  get DEVICEPATH LOCALPATH    copy a file from the device\n"
      "  put LOCALPATH DEVICEPATH    copy a file to the device\n"
      "  rm PATH                     delete a device file\n"
      "  mkdir PATH                  create a device folder\n"
      "  rmdir PATH                  remove an empty device folder\n"
      "  mv FROM TO                  rename or move a device file or folder\n"
      "  attrib PATH [+r|-r|+h|-h]   show or change attributes\n"
      "  reg query KEY [NAME]        show a registry key or value\n"
      "  reg set KEY NAME TYPE DATA  set a value (sz, expand_sz, dword, binary, multi_sz)\n"
      "  reg delete KEY [NAME]       delete a value, or a key with its sub-keys\n"
      "  run EXE [COMMANDLINE]       start a device program\n"
      "  ps                          list the device's processes\n"
      "  kill NAME                   end every process of that executable name\n"
      "  reset soft|hard             restart the device (hard: back to its factory image)\n"
      "Keys start with HKLM, HKCU, HKCR or a full root name; device paths with \"\\\".\n"
      "Options come before the command.";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kCommands));
    parser.addHelpOption();
    QCommandLineOption socket(QStringLiteral("socket"),
        QStringLiteral("The device's socket (default: the usual one)."), QStringLiteral("PATH"));
    parser.addOption(socket);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command and its arguments."),
        QStringLiteral("COMMAND [ARGS...]"));
    // "attrib PATH -r": what follows the command is its own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.process(app);

    cli::CliContext cx;
    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return cx.Usage(QStringLiteral("no command given"));
    using Command = std::function<int(cli::CliContext&, const QStringList&)>;
    const std::map<QString, Command> commands = {
        { QStringLiteral("info"), cli::Info },
        { QStringLiteral("ls"), cli::List },
        { QStringLiteral("get"), cli::GetFile },
        { QStringLiteral("put"), cli::PutFile },
        { QStringLiteral("rm"), cli::Remove },
        { QStringLiteral("mkdir"), cli::MakeDirectory },
        { QStringLiteral("rmdir"), cli::RemoveDirectory },
        { QStringLiteral("mv"), cli::Move },
        { QStringLiteral("attrib"), cli::Attrib },
        { QStringLiteral("reg"), cli::Registry },
        { QStringLiteral("run"), cli::RunProgram },
        { QStringLiteral("ps"), cli::Processes },
        { QStringLiteral("kill"), cli::Kill },
        { QStringLiteral("reset"), cli::Reset },
    };
    auto it = commands.find(args[0]);
    if (it == commands.end())
        return cx.Usage(QStringLiteral("unknown command \"%1\"").arg(args[0]));
    if (!cx.Connect(parser.value(socket)))
        return cli::kFailed;
    int status = it->second(cx, args.mid(1));
    CeRapiUninit();
    return status;
}
