#include "cli/FileCommands.h"

#include "cli/DeviceEntries.h"
#include "cli/PackageCommands.h"
#include "cli/RegistryCommands.h"
#include "cli/TransferCommands.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileSizeText.h"
#include "platform/rapi/Rapi.h"

#include <QDateTime>

#include <algorithm>

namespace cli {
namespace {

QString TimeText(FILETIME t)
{
    std::uint64_t v = FileTimeToU64(t);
    if (v == 0)
        return QStringLiteral("                ");
    qint64 ms = qint64(v / 10000) - 11644473600000LL;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

int Info(CliContext& cx, const ParsedCommand&)
{
    CEDEVICEIDENTITY id;
    if (!CeGetDeviceIdentity(&id))
        return cx.DeviceFailure(QStringLiteral("cannot read the device's identity"));
    cx.out() << "Platform: " << QString::fromStdU16String(id.platformType) << Qt::endl
             << "OEM: " << QString::fromStdU16String(id.oemInfo) << Qt::endl
             << "OS version: " << id.dwMajorVersion << "." << id.dwMinorVersion << "." << id.dwBuildNumber
             << Qt::endl
             << "Profile: " << QString::fromStdU16String(id.profileName) << Qt::endl;
    return kOk;
}

int List(CliContext& cx, const ParsedCommand& p)
{
    const QString path = p.arguments.isEmpty() ? QStringLiteral("\\") : p.arguments[0];
    // A folder lists its content; a pattern or a file lists what matches.
    QString pattern = path;
    if (!HasDeviceWildcard(path)) {
        DWORD a = CeGetFileAttributes(W(path));
        if (a == INVALID_FILE_ATTRIBUTES)
            return cx.DeviceFailure(QStringLiteral("cannot list %1").arg(path));
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            pattern = DeviceJoin(path, QStringLiteral("*"));
    }
    QVector<DeviceEntry> entries;
    if (!FindDeviceEntries(pattern, &entries))
        return cx.DeviceFailure(QStringLiteral("cannot list %1").arg(path));
    // The explorer's order: folders first, then by name.
    std::stable_sort(entries.begin(), entries.end(), [](const DeviceEntry& a, const DeviceEntry& b) {
        return explorer::DefaultListLess(
            a.attributes & FILE_ATTRIBUTE_DIRECTORY, a.name, b.attributes & FILE_ATTRIBUTE_DIRECTORY, b.name);
    });
    const bool explorerSizes = p.Has(QStringLiteral("sizes"));
    const int sizeForm = explorerSizes ? explorer::ShowFilesizeAs() : explorer::kSizePlain;
    for (const DeviceEntry& e : entries) {
        const bool folder = e.attributes & FILE_ATTRIBUTE_DIRECTORY;
        // The explorer's size texts are of the low 32 bits, and none for a
        // folder.
        const QString size = !explorerSizes ? QString::number(e.size)
            : folder                        ? QString()
                                            : explorer::FormatFileSize(quint32(e.size), sizeForm);
        cx.out() << AttributeLetters(e.attributes) << " " << size.rightJustified(12) << "  "
                 << TimeText(e.lastWrite) << "  " << e.name << Qt::endl;
    }
    return kOk;
}

int Remove(CliContext& cx, const ParsedCommand& p)
{
    const QStringList& args = p.arguments;
    if (!CeDeleteFile(W(args[0])))
        return cx.DeviceFailure(QStringLiteral("cannot delete %1").arg(args[0]));
    return kOk;
}

int MakeDirectory(CliContext& cx, const ParsedCommand& p)
{
    const QStringList& args = p.arguments;
    if (!CeCreateDirectory(W(args[0]), nullptr))
        return cx.DeviceFailure(QStringLiteral("cannot create the folder %1").arg(args[0]));
    return kOk;
}

int RemoveDirectory(CliContext& cx, const ParsedCommand& p)
{
    const QStringList& args = p.arguments;
    if (!CeRemoveDirectory(W(args[0])))
        return cx.DeviceFailure(QStringLiteral("cannot remove the folder %1").arg(args[0]));
    return kOk;
}

int Move(CliContext& cx, const ParsedCommand& p)
{
    QStringList sources = p.arguments;
    const QString target = sources.takeLast();
    // Into a folder each source keeps its name, as mv does.
    const DWORD attributes = CeGetFileAttributes(W(target));
    const bool intoFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!intoFolder && sources.size() > 1)
        return cx.Fail(QStringLiteral("mv: %1 is not a folder on the device").arg(target));
    int status = kOk;
    for (const QString& source : sources) {
        QString trimmed = source;
        while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('\\')))
            trimmed.chop(1);
        const QString to = intoFolder ? DeviceJoin(target, DeviceFileName(trimmed)) : target;
        if (!CeMoveFile(W(source), W(to)))
            status = cx.DeviceFailure(QStringLiteral("cannot move %1 to %2").arg(source, to));
    }
    return status;
}

int Attrib(CliContext& cx, const ParsedCommand& p)
{
    const QStringList& args = p.arguments;
    DWORD a = CeGetFileAttributes(W(args[0]));
    if (a == INVALID_FILE_ATTRIBUTES)
        return cx.DeviceFailure(QStringLiteral("cannot read the attributes of %1").arg(args[0]));
    if (args.size() == 1) {
        cx.out() << AttributeLetters(a) << "  " << args[0] << Qt::endl;
        return kOk;
    }
    DWORD changed = a & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
    for (int i = 1; i < args.size(); ++i) {
        const QString& f = args[i];
        DWORD bit = f.size() == 2 && f[1] == QLatin1Char('r') ? FILE_ATTRIBUTE_READONLY
            : f.size() == 2 && f[1] == QLatin1Char('h')       ? FILE_ATTRIBUTE_HIDDEN
                                                              : 0;
        if (bit == 0 || (f[0] != QLatin1Char('+') && f[0] != QLatin1Char('-')))
            return cx.Usage(QStringLiteral("unknown attribute change \"%1\" (use +r, -r, +h, -h)").arg(f));
        changed = f[0] == QLatin1Char('+') ? (changed | bit) : (changed & ~bit);
    }
    if (!CeSetFileAttributes(W(args[0]), changed == 0 ? FILE_ATTRIBUTE_NORMAL : changed))
        return cx.DeviceFailure(QStringLiteral("cannot set the attributes of %1").arg(args[0]));
    return kOk;
}

int RunProgram(CliContext& cx, const ParsedCommand& p)
{
    const QStringList& args = p.arguments;
    QString commandLine = args.size() == 2 ? args[1] : QString();
    PROCESS_INFORMATION pi {};
    if (!CeCreateProcess(
            W(args[0]), W(commandLine), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
        return cx.DeviceFailure(QStringLiteral("cannot run %1").arg(args[0]));
    if (pi.hProcess)
        CeCloseHandle(pi.hProcess);
    if (pi.hThread)
        CeCloseHandle(pi.hThread);
    cx.out() << "started " << args[0] << " (process id " << pi.dwProcessId << ")" << Qt::endl;
    return kOk;
}

} // namespace

QVector<Command> DeviceCommands()
{
    QVector<Command> commands;
    auto add = [&](CommandSyntax syntax, int (*run)(CliContext&, const ParsedCommand&)) {
        commands.append({ std::move(syntax), false, run });
    };
    const OptionSpec recursive { QStringLiteral("recursive"), QString(),
        QStringLiteral("Copy folders with everything below them."), QStringLiteral("r") };
    add({ QStringLiteral("info"), QString(),
            QStringLiteral("the device's platform, OEM text, OS version and profile"),
            QStringLiteral("Prints the connected device's platform, OEM text, OS version and profile.\n"), {},
            0, 0 },
        Info);
    add({ QStringLiteral("ls"), QStringLiteral("[PATH]"),
            QStringLiteral("list a device folder (or the entries a pattern matches)"),
            QStringLiteral(
                "Lists a device folder (default \"\\\"), or the entries a pattern such as\n"
                "\"\\Windows\\*.exe\" matches: attributes, size, last write time (UTC) and name\n"
                "(the long listing, with or without -l), folders first as the explorer shows them.\n"),
            { { QStringLiteral("long"), QString(), QStringLiteral("The long listing (the default)."),
                  QStringLiteral("l") },
                { QStringLiteral("sizes"), QString(),
                    QStringLiteral("Sizes as the explorer shows them (the form of \"ShowFilesizeAs\")."),
                    QStringLiteral("s") } },
            0, 1 },
        List);
    add({ QStringLiteral("get"), QStringLiteral("DEVICEPATH... LOCALPATH"),
            QStringLiteral("copy files from the device (as cp: folders, -, patterns, -r)"),
            QStringLiteral(
                "Copies device files to this machine. A local folder as target takes each file\n"
                "under its own name; several sources need one. LOCALPATH \"-\" is standard output.\n"
                "A device path may end in a pattern (\"\\My Documents\\*.sdf\"). A local file\n"
                "appears only when its copy is complete.\n"),
            { recursive }, 2, -1 },
        GetFiles);
    add({ QStringLiteral("put"), QStringLiteral("LOCALPATH... DEVICEPATH"),
            QStringLiteral("copy files to the device (as cp: folders, -, -r)"),
            QStringLiteral(
                "Copies files of this machine to the device, replacing files of the same name. A\n"
                "device folder as target takes each file under its own name; several sources\n"
                "need one. LOCALPATH \"-\" is standard input. A copy is written beside its target\n"
                "and takes the target's name only when every byte arrived, so an interrupted\n"
                "or failed copy leaves the old file as it was.\n"),
            { recursive }, 2, -1 },
        PutFiles);
    add({ QStringLiteral("rm"), QStringLiteral("PATH"), QStringLiteral("delete a device file"),
            QStringLiteral("Deletes a device file.\n"), {}, 1, 1 },
        Remove);
    add({ QStringLiteral("mkdir"), QStringLiteral("PATH"), QStringLiteral("create a device folder"),
            QStringLiteral("Creates a device folder.\n"), {}, 1, 1 },
        MakeDirectory);
    add({ QStringLiteral("rmdir"), QStringLiteral("PATH"), QStringLiteral("remove an empty device folder"),
            QStringLiteral("Removes an empty device folder.\n"), {}, 1, 1 },
        RemoveDirectory);
    add({ QStringLiteral("mv"), QStringLiteral("FROM... TO"),
            QStringLiteral("rename or move device files or folders"),
            QStringLiteral("Renames or moves a device file or folder; into a device folder TO, each FROM\n"
                           "keeps its name.\n"),
            {}, 2, -1 },
        Move);
    CommandSyntax attrib { QStringLiteral("attrib"), QStringLiteral("PATH [+r|-r|+h|-h]..."),
        QStringLiteral("show or change attributes"),
        QStringLiteral("Shows a device entry's attributes as \"drhsa\" letters, or sets (+) and clears (-)\n"
                       "its read-only (r) and hidden (h) attributes.\n"),
        {}, 1, -1 };
    // "-r" and "-h" after the path are changes, not options.
    attrib.optionsEndAtFirstArgument = true;
    add(attrib, Attrib);
    commands.append(RegistryCommand());
    CommandSyntax run { QStringLiteral("run"), QStringLiteral("EXE [COMMANDLINE]"),
        QStringLiteral("start a device program"),
        QStringLiteral("Starts a device program with an optional command line and prints its process id.\n"
                       "What follows EXE is the program's own, options included.\n"),
        {}, 1, 2 };
    run.optionsEndAtFirstArgument = true;
    add(run, RunProgram);
    commands.append(FindDatabasesCommand());
    commands.append(InstallCommand());
    return commands;
}

} // namespace cli
