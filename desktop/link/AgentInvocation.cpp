#include "desktop/link/AgentInvocation.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentWait.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestContext.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Password.h"
#include "exchange/QueryFile.h"
#include "exchange/StepMarks.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <QLocale>

#include <thread>

namespace devlink {
namespace {

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

// Why a query file could not be built, in the user's words.
QString BuildFailureReason(exchange::QueryFileBuild result)
{
    switch (result) {
    case exchange::QueryFileBuild::Ok:
        break;
    case exchange::QueryFileBuild::PathNotWritable:
        return QStringLiteral("The database path holds a line break or a NUL character, which the device "
                              "cannot read.");
    case exchange::QueryFileBuild::PasswordNotWritable:
        return QStringLiteral("The password holds a character that the device cannot read.");
    case exchange::QueryFileBuild::RequestNotWritable:
        return QStringLiteral("The SQL holds a NUL character, which the device cannot read.");
    case exchange::QueryFileBuild::TooLarge:
        return QStringLiteral("The SQL is too long: the device reads at most 20,000 bytes of a request.");
    case exchange::QueryFileBuild::ReadAsEightBit:
        return QStringLiteral("The request would be misread on the device as 8-bit text (too many characters "
                              "above U+00FF near its start).");
    }
    return QString();
}

} // namespace

QString ScramblePassword(const QString& password)
{
    return Q(exchange::ScramblePassword(password.toStdU16String()));
}

QString DecimalSeparator()
{
    const QString formatted = QLocale().toString(1.23, 'f', 2);
    return formatted.size() > 1 ? formatted.mid(1, 1) : QStringLiteral(".");
}

bool CreateCEQueryFile(const QString& databasePath, const QString& password, const QString& sql,
    bool tableStruct, PendingCancel pending)
{
    // A cancel left over from an earlier request must not stop this one; a
    // cancel given from here on stops it, even before the agent starts.
    if (pending == PendingCancel::Forget)
        ClearCancelRequest();
    WriteAgentRegString(ContractText(contract::kDecimalPointChar), DecimalSeparator());

    std::string bytes;
    const exchange::QueryFileBuild built = exchange::BuildQueryFile(
        databasePath.toStdU16String(), password.toStdU16String(), sql.toStdU16String(), bytes);
    if (built != exchange::QueryFileBuild::Ok) {
        ShowMessage(QStringLiteral("Error"),
            QStringLiteral("This SQL cannot be run.\r\n\r\n") + BuildFailureReason(built),
            PromptIcon::Warning);
        return false;
    }

    HANDLE file = RapiCeCreateFile(
        kQueryFilePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == -2)
        return false;
    if (file == -1) {
        if (CeRapiGetError() == S_OK) {
            ShowMessage(QStringLiteral("Error"),
                QStringLiteral(
                    "Unable to create \"SQLquery.txt\" file on the device.\r\n\r\nThis SQL cannot be run."),
                PromptIcon::Warning);
        } else {
            ShowMessage(QStringLiteral("Error"),
                Q(exchange::Format(u"Could not find \"%s\".\r\nError: %s", AgentExeName(2).toStdU16String(),
                    DeviceErrorText(CeGetLastError()).toStdU16String())));
        }
        return false;
    }
    const bool written = WriteDeviceBytes(file, bytes.data(), static_cast<DWORD>(bytes.size()));
    CeCloseHandle(file);

    if (DeviceFileExists(kResultsFilePath)) {
        const std::u16string results = DevicePath(kResultsFilePath);
        if (!CeDeleteFile(results.c_str()) && CeGetLastError() != ERROR_FILE_NOT_FOUND) {
            ShowMessage(QStringLiteral("Error"),
                Q(exchange::Format(u"Unable to delete previous SQL results on device.\r\nError: %s",
                    DeviceErrorText(CeGetLastError()).toStdU16String())),
                PromptIcon::Warning);
            return false;
        }
    }

    WriteAgentRegDword(ContractText(contract::kCancel), CancelRequested() ? 1 : 0);
    DeleteAgentRegValue(kAgentKey, ContractText(contract::kStatus));
    if (!written)
        return false; // the agent must never read half a request
    if (CancelRequested())
        return false;

    const QString commandLine = tableStruct ? ContractText(contract::kSwitchTableStruct) : QString();
    const QString program = kAgentDir + AgentExeName(GetDatabaseEngineVersion(databasePath) == 3 ? 3 : 2);
    exchange::MarkStep("desktop: query file written");
    TraceLine(QStringLiteral("About to run the .exe on the device...\r\n"));
    DWORD agentProcess = 0;
    if (!RunDeviceExe(program, commandLine, true, &agentProcess)) {
        TraceLine(QStringLiteral("Failed\r\n"));
        return false;
    }
    exchange::MarkStep("desktop: agent started");
    TraceLine(QStringLiteral("The .exe has started running on the device...\r\n"));
    if (WaitForAgent(agentProcess) == AgentWaitEnd::ConnectionAborted)
        return false;
    exchange::MarkStep("desktop: done seen");
    return written;
}

bool RunDeviceExe(const QString& exePath, const QString& commandLine, bool quiet, DWORD* processId)
{
    if (!DeviceFileExists(exePath)) {
        ShowMessage(QStringLiteral("Error"),
            Q(exchange::Format(
                u"An error occurred.\r\n\r\nUnable to find the following file on the device:\r\n"
                u"%s.\r\n\r\n",
                exePath.toStdU16String()))
                + QStringLiteral("This file must be present on the device for this application to work "
                                 "correctly.\r\n"),
            PromptIcon::Warning);
        return false;
    }
    const std::u16string program = DevicePath(exePath), line = DevicePath(commandLine);
    PROCESS_INFORMATION info {};
    if (!CeCreateProcess(
            program.c_str(), line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
        const QString text = DeviceErrorText(CeGetLastError());
        if (text.isEmpty())
            return false;
        if (!text.contains(QStringLiteral("The operation completed successfully")))
            ShowMessage(QStringLiteral("Error"),
                Q(exchange::Format(u"An error occurred whilst trying to run \"%s\".\r\nError: %s",
                    exePath.toStdU16String(), text.toStdU16String())));
        return false;
    }
    if (processId)
        *processId = info.dwProcessId;
    if (!quiet) {
        RunningApplicationNotice notice;
        notice.programPath = exePath;
        CurrentPrompter().ShowRunningApplication(notice);
    }
    return true;
}

bool RunDeviceCommand(const QString& exePath, const QString& commandLine)
{
    return RunDeviceExe(exePath, commandLine, false);
}

void RequestCancel()
{
    if (RequestContext* request = CurrentRequest()) {
        request->token().Cancel();
        return;
    }
    CurrentCancelToken().Cancel();
    DeviceSession::CancelRunningRequest();
}

bool CancelRequested()
{
    return CurrentCancelToken().IsCancelled();
}

void ClearCancelRequest()
{
    // A request's own token is never reused, so only the program-wide one
    // of work outside the session is cleared.
    if (!CurrentRequest())
        CurrentCancelToken().Reset();
}

void CancelAgent()
{
    if (!DeleteAgentRegValue(kAgentKey, ContractText(contract::kCancelStatus)))
        DebugOutput(QStringLiteral("Couldn't delete 'CancelStatus' registry key.\r\n"));
    if (ReadAgentRegString(ContractText(contract::kStatus)) == ContractText(contract::kDone))
        return;
    if (!RunDeviceExe(kAgentDir + kStopperExeName, QString(), true))
        return;
    DebugOutput(QStringLiteral("Attempting to cancel existing Pelmorra.exe..\r\n"));
    const LinkTiming& timing = Timing();
    for (int round = 0; round < timing.cancelChecks; ++round) {
        const QString cancelStatus = ReadAgentRegString(ContractText(contract::kCancelStatus));
        DebugOutput(cancelStatus + QStringLiteral("\r\n"));
        if (cancelStatus.contains(QStringLiteral("Done")))
            return;
        if (ReadAgentRegString(ContractText(contract::kStatus)) == ContractText(contract::kDone))
            return;
        // A plain wait: the request is cancelled already, and this wait is
        // for the agent to stop.
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.cancelCheckMs));
    }
    ShowMessage(QStringLiteral("Warning"),
        QStringLiteral("Could not stop the SQL process running on your device."), PromptIcon::Warning);
}

QString EngineSettingName(const QString& databasePath)
{
    QString name = databasePath;
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QStringLiteral("SQLCE_") + name;
}

int GetDatabaseEngineVersion(const QString& databasePath)
{
    QString text;
    settings::ReadString(EngineSettingName(databasePath), &text);
    if (text == QStringLiteral("3"))
        return 3;
    if (text == QStringLiteral("2"))
        return 2;
    return -1;
}

} // namespace devlink
