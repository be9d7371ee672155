#include "cli/AgentToolCommands.h"

#include "cli/Interrupts.h"
#include "cli/LinkSession.h"
#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/UtilityModes.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <QElapsedTimer>

namespace cli {
namespace {

// Runs a utility mode under the command's watchdog.
bool RunUtilityMode(LinkSession& s, const QString& commandLine, const QStringList& staleValues = {})
{
    bool finished = false;
    s.RunOnDevice([&] { finished = devlink::RunUtilityMode(commandLine, staleValues); });
    return finished && !s.TimedOut();
}

int UtilityFailure(LinkSession& s, const QString& what)
{
    if (Interrupted())
        return kInterrupted;
    if (s.TimedOut())
        return s.FailTimedOut();
    return s.FailQuietly(what + QStringLiteral(": the agent did not run on the device"));
}

int RunDeploy(CliContext& cx, const ParsedCommand& p)
{
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    for (const QString& name :
        { devlink::AgentExeName(2), devlink::AgentExeName(3), devlink::kStopperExeName })
        cx.out() << devlink::kAgentDir << name << '\n';
    return kOk;
}

int RunProcesses(CliContext& cx, const ParsedCommand& p)
{
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    if (!RunUtilityMode(s, devlink::ContractText(contract::kSwitchProcesses)))
        return UtilityFailure(s, QStringLiteral("ps"));
    QStringList names;
    if (!devlink::ReadProcessList(&names))
        return kFailed;
    for (const QString& name : names)
        cx.out() << name << '\n';
    return kOk;
}

int RunKill(CliContext& cx, const ParsedCommand& p)
{
    const QString name = p.arguments[0];
    if (name.isEmpty() || name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        return cx.Usage(QStringLiteral("kill: give one process name"));
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    // The agent that would do the killing is not offered to itself.
    if (devlink::IsAgentProcess(name))
        return s.Fail(QStringLiteral("kill %1: Cannot stop this process.").arg(name));
    if (!RunUtilityMode(
            s, devlink::KillCommandLine(name), { devlink::ContractText(contract::kProcessKiller) }))
        return UtilityFailure(s, QStringLiteral("kill"));
    QStringList remaining;
    if (!devlink::ReadProcessList(&remaining))
        return kFailed;
    QString reason;
    if (!KillSucceeded(name, devlink::ReadAgentRegString(devlink::ContractText(contract::kProcessKiller)),
            remaining, &reason))
        return s.Fail(QStringLiteral("kill %1: %2").arg(name, reason));
    cx.out() << name << ": Success.\n";
    return kOk;
}

// Waits until the device drops the connection, which its restart does, and
// then until it answers again.
bool WaitForRestart(int seconds)
{
    QElapsedTimer clock;
    clock.start();
    bool dropped = false;
    while (!dropped && clock.elapsed() < seconds * 1000 && !Interrupted()) {
        bool read = false;
        devlink::ReadAgentRegString(devlink::ContractText(contract::kStatus), &read);
        dropped = !read && CeRapiGetError() != S_OK;
        if (!dropped)
            devlink::WaitWithMessages(100);
    }
    if (!dropped)
        return false;
    devlink::UninitRapi();
    while (clock.elapsed() < seconds * 1000 && !Interrupted()) {
        if (devlink::ConnectWithRetries())
            return true;
    }
    return false;
}

int RunReset(CliContext& cx, const ParsedCommand& p)
{
    const QString kind = p.arguments[0];
    if (kind != QLatin1String("soft") && kind != QLatin1String("hard"))
        return cx.Usage(QStringLiteral("reset takes soft or hard"));
    const bool hard = kind == QLatin1String("hard");
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Reset your device");
    if (hard)
        question.text = QStringLiteral(
            "Hard-Reset this device.\r\nThis WILL delete ALL OF YOUR DATA on your device.\r\n"
            "All of your files and your data on your device will be permanently deleted.\r\n\r\n"
            "If you are not sure what this means, please click on \"No\".\r\n");
    else
        question.text = QStringLiteral(
            "Soft-Reset this device.\r\nThis might result in data being deleted on your device.\r\n"
            "If you have any applications running on your device, whose data hasn't been saved, this data "
            "will be permanently lost.\r\n\r\nAre you SURE you wish to soft-reset your device ?");
    question.icon = devlink::PromptIcon::Warning;
    question.buttons = devlink::PromptButtons::YesNoCancel;
    question.defaultButton = devlink::PromptAnswer::No;
    if (devlink::CurrentPrompter().Ask(question) != devlink::PromptAnswer::Yes)
        return s.Fail(QStringLiteral("reset: not confirmed; the device was not reset (use --yes)"));
    if (!devlink::StartDeviceReset(hard))
        return s.FailQuietly(QStringLiteral("reset: the agent did not run on the device"));
    cx.out() << (hard ? "Hard-reseting your device.." : "Soft-reseting your device..") << Qt::endl;
    // The command ends once the device answers again, so that the next
    // command meets the restarted device rather than the one going down.
    if (!WaitForRestart(s.timeoutSeconds() > 0 ? s.timeoutSeconds() : kDefaultTimeoutSeconds))
        return s.Fail(QStringLiteral("reset: the device did not come back"));
    cx.out() << "The device has restarted.\n";
    return kOk;
}

int RunDeviceId(CliContext& cx, const ParsedCommand& p)
{
    LinkSession s(cx, p);
    if (!s.Open())
        return kFailed;
    // After writing the identifier the agent goes on with the query file; an
    // earlier request left there must not run a second time.
    const std::u16string query = devlink::DevicePath(devlink::kQueryFilePath);
    if (!CeDeleteFile(query.c_str()) && CeGetLastError() != ERROR_FILE_NOT_FOUND)
        return s.Fail(QStringLiteral("device-id: cannot remove the previous request (%1)")
                          .arg(devlink::DeviceErrorText(CeGetLastError())));
    if (!RunUtilityMode(s, devlink::ContractText(contract::kSwitchDeviceId),
            { devlink::ContractText(contract::kDeviceId) }))
        return UtilityFailure(s, QStringLiteral("device-id"));
    // The run without a request left only its complaint about that.
    const std::u16string results = devlink::DevicePath(devlink::kResultsFilePath);
    CeDeleteFile(results.c_str());
    const QString id = devlink::ReadAgentRegString(devlink::ContractText(contract::kDeviceId));
    if (id.isEmpty())
        return s.Fail(QStringLiteral("device-id: the device reported no identifier"));
    cx.out() << id << '\n';
    return kOk;
}

} // namespace

bool KillSucceeded(
    const QString& name, const QString& killerValue, const QStringList& remaining, QString* reason)
{
    if (killerValue.isEmpty()) {
        *reason = QStringLiteral("Couldn't find process.");
        return false;
    }
    if (killerValue != QLatin1String("Success.")) {
        *reason = killerValue;
        return false;
    }
    if (remaining.contains(name)) {
        // Another copy of that name outlived the kill.
        *reason = QStringLiteral("Failed.");
        return false;
    }
    reason->clear();
    return true;
}

QVector<Command> AgentToolCommands()
{
    const QVector<OptionSpec> agent = AgentOptions();
    QVector<Command> commands;
    auto add = [&](const CommandSyntax& syntax, int (*run)(CliContext&, const ParsedCommand&)) {
        commands.append({ syntax, true, run });
    };
    add({ QStringLiteral("deploy"), QString(),
            QStringLiteral("copy the agent and its stopper to the device when newer"),
            QStringLiteral("Copies the agent builds for the device's platform and the agent stopper into\n"
                           "\\Quorvane on the device whenever the desktop's copy is newer, and prints the\n"
                           "device paths that are current.\n"),
            agent, 0, 0 },
        RunDeploy);
    add({ QStringLiteral("ps"), QString(), QStringLiteral("list the device's processes (by the agent)"),
            QStringLiteral("Prints the executable name of every process running on the device, one per\n"
                           "line, as the agent lists them (the agent itself included).\n"),
            agent, 0, 0 },
        RunProcesses);
    add({ QStringLiteral("kill"), QStringLiteral("NAME"),
            QStringLiteral("end every process of that executable name (exact case)"),
            QStringLiteral("Ends every device process whose executable name is NAME (the case must match),\n"
                           "through the agent. Fails when none runs or one could not be ended.\n"),
            agent, 1, 1 },
        RunKill);
    add({ QStringLiteral("reset"), QStringLiteral("soft|hard"),
            QStringLiteral("restart the device (asks; --yes confirms; hard wipes it)"),
            QStringLiteral("Restarts the device through the agent: soft keeps its files and registry, hard\n"
                           "returns them to the factory image. The desktop asks first; here the question\n"
                           "is answered No unless --yes is given. Ends when the device answers again.\n"),
            agent, 1, 1 },
        RunReset);
    add({ QStringLiteral("device-id"), QString(), QStringLiteral("print the device's identifier"),
            QStringLiteral("Prints the 17 hex digits the agent selects from the device identifier.\n"), agent,
            0, 0 },
        RunDeviceId);
    return commands;
}

} // namespace cli
