#include "cli/ProcessCommands.h"

#include "platform/rapi/Rapi.h"

#include <vector>

namespace cli {

int Processes(CliContext& cx, const QStringList& args)
{
    if (!args.isEmpty())
        return cx.Usage(QStringLiteral("ps takes no arguments"));
    std::vector<CEPROCESSENTRY> processes;
    if (!CeGetProcessList(&processes))
        return cx.DeviceFailure(QStringLiteral("cannot list the device's processes"));
    for (const auto& p : processes)
        cx.out() << QStringLiteral("%1  ").arg(p.dwProcessId, 8, 16, QLatin1Char('0')).toUpper()
                 << QString::fromStdU16String(p.exeFile) << Qt::endl;
    return kOk;
}

int Kill(CliContext& cx, const QStringList& args)
{
    if (args.size() != 1)
        return cx.Usage(QStringLiteral("kill takes one process name"));
    std::vector<CEPROCESSENTRY> processes;
    if (!CeGetProcessList(&processes))
        return cx.DeviceFailure(QStringLiteral("cannot list the device's processes"));
    int found = 0, ended = 0;
    for (const auto& p : processes) {
        if (QString::fromStdU16String(p.exeFile).compare(args[0], Qt::CaseInsensitive) != 0)
            continue;
        ++found;
        if (!CeTerminateProcess(p.dwProcessId))
            return cx.DeviceFailure(QStringLiteral("cannot end %1 (process id %2)")
                                        .arg(QString::fromStdU16String(p.exeFile))
                                        .arg(p.dwProcessId, 8, 16, QLatin1Char('0')));
        ++ended;
    }
    if (found == 0) {
        cx.err() << "quorvane-cli: no process named " << args[0] << " runs on the device" << Qt::endl;
        return kFailed;
    }
    cx.out() << "ended " << ended << (ended == 1 ? " process" : " processes") << " named " << args[0]
             << Qt::endl;
    return kOk;
}

int Reset(CliContext& cx, const QStringList& args)
{
    if (args.size() != 1 || (args[0] != QLatin1String("soft") && args[0] != QLatin1String("hard")))
        return cx.Usage(QStringLiteral("reset takes soft or hard"));
    bool clean = args[0] == QLatin1String("hard");
    // The restart drops this connection too; a lost connection means it began.
    if (!CeResetDevice(clean ? TRUE : FALSE) && CeRapiGetError() != RAPI_E_CONNECTION_LOST)
        return cx.DeviceFailure(QStringLiteral("the device cannot restart"));
    cx.out() << (clean ? "the device restarts from its factory image" : "the device restarts") << Qt::endl;
    return kOk;
}

} // namespace cli
