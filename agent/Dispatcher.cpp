#include "agent/Dispatcher.h"

#include "agent/CommandLine.h"
#include "agent/DeviceModes.h"
#include "agent/DeviceOutputFile.h"
#include "agent/Maintenance.h"
#include "agent/RequestRunner.h"
#include "agent/RequestText.h"
#include "exchange/AgentContract.h"
#include "exchange/ResultsText.h"
#include "exchange/StepMarks.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"
#include "platform/ce/Ce.h"

namespace agent {

namespace {

enum class FileCheck { Ok, Missing, Locked };

FileCheck CheckDatabaseFile(std::u16string_view path)
{
    std::u16string name(path);
    ce::WIN32_FIND_DATA found {};
    HANDLE find = ce::FindFirstFile(name.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return FileCheck::Missing;
    ce::FindClose(find);
    HANDLE file = ce::CreateFile(
        name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return FileCheck::Locked;
    ce::CloseHandle(file);
    return FileCheck::Ok;
}

// Starts the engine-3.0 sibling (the own executable with every "2003" turned
// into "2005") with the same command line, without waiting. True when it
// runs; it then answers the request, while this agent ends its own run with
// "Done." and leaves the results file created and empty (the desktop tells
// that empty answer from the sibling's by the hand-over in the log).
bool HandOver(AgentContext& context, std::u16string_view commandLine)
{
    AgentStatus& status = context.status;
    status.LogLine(contract::kHandOverLogLine);
    status.SetStatus(contract::kHandingOver);
    char16_t own[MAX_PATH + 1] = {};
    const DWORD length = ce::GetModuleFileName(0, own, MAX_PATH);
    if (length == 0)
        return false;
    const std::u16string_view ownPath(own, length);
    const std::u16string sibling
        = exchange::ReplaceAll(ownPath, contract::kEngine2Tag, contract::kEngine3Tag);
    // An executable without the engine-2.0 tag in its path would only start itself again.
    if (sibling == ownPath)
        return false;
    const std::u16string line(commandLine);
    return ce::CreateProcess(
        sibling.c_str(), line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr);
}

// The ordinary run: query file, request, results.
int OrdinaryRun(AgentContext& context, std::u16string_view commandLine)
{
    AgentStatus& status = context.status;
    StopOtherAgents();
    status.LogLine(u"Reading in SQL command..");
    exchange::QueryRequest request;
    bool ok = ReadQueryFile(context, request);
    status.LogVerdict(ok);
    if (!ok) {
        exchange::DebugOutput(u"ReadInSQLQuery() went wrong.\r\n");
        WriteStatusFile(context, false);
        status.SetStatus(contract::kDone);
        return 0;
    }
    status.SetStatusValue(contract::kSqlCeVersion, context.variant.versionDigit);

    std::u16string text = request.requestText;
    if (text == contract::kCompactRequest) {
        status.LogLine(u"Compacting database.");
        ok = CompactDatabase(context, request.databasePath, request.password);
        if (ok)
            text = contract::kSchemaBinaryRequest;
        status.LogVerdict(ok);
    }

    const bool asciiSchema = exchange::EqualsIgnoreAsciiCase(text, contract::kSchemaAsciiRequest);
    const bool binarySchema = exchange::EqualsIgnoreAsciiCase(text, contract::kSchemaBinaryRequest);
    std::u16string_view outputPath = contract::kResultsFilePath;
    if (asciiSchema) {
        status.LogLine(u"Reading in schema.");
        outputPath = contract::kAsciiSchemaPath;
    } else if (binarySchema) {
        status.LogLine(u"Reading in binary schema.");
        outputPath = contract::kBinarySchemaPath;
    }

    if (text == contract::kCreateRequest) {
        status.LogLine(u"Creating database.");
        ok = CreateDatabase(context, request.databasePath, request.password);
        status.LogVerdict(ok);
    } else {
        RunArguments arguments;
        arguments.databasePath = request.databasePath;
        arguments.password = request.password;
        arguments.binarySchema = binarySchema;
        arguments.asciiSchema = asciiSchema;
        if (auto view = ParseTableView(text)) {
            arguments.tableName = view->tableName;
            arguments.tableSource = view->source;
        } else {
            arguments.statementText = text;
        }
        status.LogLine(exchange::Format(u"Opening %s..", outputPath));
        DeviceOutputFile output(context.files);
        if (!output.Create(outputPath)) {
            context.errorText = exchange::UnableToOpenFileMessage(outputPath);
            ok = false;
            status.LogVerdict(false);
        } else {
            status.SetStatusValue(contract::kTest, u"9.0");
            ok = RunRequest(context, arguments, output);
            status.SetStatusValue(contract::kTest, u"9.1");
            // Even an empty answer is put in place now, before a sibling
            // starts, so it can never replace the sibling's answer later.
            output.Commit();
            status.LogLine(u"Closing session.");
            status.SetStatus(u"Closing session..");
            status.SetStatusValue(contract::kTest, u"9.2");
            if (ok && (asciiSchema || binarySchema)) {
                status.LogLine(u"Writing SQLerror file (1)..");
                WriteStatusFile(context, true);
            }
        }
    }

    if (context.needsEngine3 && context.variant.engineVersion == 2) {
        if (HandOver(context, commandLine))
            return 0;
        ok = false; // no sibling to answer: this agent reports the failure
    }
    status.SetStatusValue(contract::kTest, u"9.3");
    if (!ok) {
        status.LogLine(u"Writing SQLerror file (1)..");
        WriteStatusFile(context, false);
    }
    status.SetStatusValue(contract::kTest, u"9.4");
    return 0;
}

} // namespace

bool ReadQueryFile(AgentContext& context, exchange::QueryRequest& request)
{
    AgentStatus& status = context.status;
    status.SetStatusValue(contract::kTest, u"8.1");
    const std::u16string_view path = contract::kQueryFilePath;
    status.SetStatusValue(contract::kTest, u"8.2");
    status.SetStatusValue(contract::kTest2, path);

    // "Done." comes from the caller once the results file says why: a desktop
    // that reads the answer on "Done." must find it in place.
    auto fail = [&](std::u16string message) {
        context.errorText = std::move(message);
        return false;
    };
    std::string bytes;
    if (!ReadDeviceFile(path, exchange::kQueryFileMaxBytes, bytes)) {
        status.SetStatusValue(contract::kTest, u"8.3");
        return fail(exchange::QueryFileMessage(exchange::QueryFileResult::NotFound, path));
    }
    status.SetStatusValue(contract::kTest, u"8.4");
    status.SetStatusValue(contract::kTest, u"8.5");
    exchange::QueryFileResult result = exchange::ReadQueryFile(bytes, request);
    status.SetStatusValue(contract::kTest, u"8.6");
    if (result != exchange::QueryFileResult::Ok)
        return fail(exchange::QueryFileMessage(result, path));
    status.SetStatusValue(contract::kTest, u"8.7");

    const bool create = request.requestText == contract::kCreateRequest;
    switch (CheckDatabaseFile(request.databasePath)) {
    case FileCheck::Missing:
        if (!create)
            return fail(exchange::Format(u"The database file: \"%s\" does not exist.", request.databasePath));
        break;
    case FileCheck::Locked:
        return fail(exchange::Format(
            u"The database file: \"%s\" is currently locked by another process.", request.databasePath));
    case FileCheck::Ok:
        break;
    }
    status.SetStatusValue(contract::kTest, u"8.8");
    return true;
}

void WriteStatusFile(AgentContext& context, bool ok)
{
    WriteDeviceTextFile(context.files, contract::kResultsFilePath,
        exchange::StatusFileText(ok, context.errorText, context.variant.engineText));
}

int ReadInSQLQuery(AgentContext& context, std::u16string_view commandLine)
{
    AgentStatus& status = context.status;
    context.needsEngine3 = false;
    for (auto name : { contract::kSqlCeVersion, contract::kTotalRows, contract::kRowsAffected,
             contract::kRowsThatWouldBeAffected })
        status.SetStatusValue(name, u"");

    CommandLine parsed = ParseCommandLine(commandLine);
    switch (parsed.mode) {
    case RunMode::Test:
        status.LogLine(u"-test was successful.");
        return 0;
    case RunMode::Kill:
        status.LogLine(u"-kill'ing other instances.");
        status.SetCancelStatus(contract::kWait);
        StopOtherAgents();
        status.SetCancelStatus(contract::kDone);
        return 0;
    case RunMode::TableStruct:
        status.LogLine(u"Just get table structure.");
        break;
    case RunMode::DeviceId:
        status.SetStatusValue(contract::kDeviceId, ReadDeviceId());
        status.LogLine(u"Just get device ID.");
        break;
    case RunMode::Processes: {
        status.LogLine(u"Reading processes.");
        bool ok = ListProcesses(context, u"");
        status.LogVerdict(ok);
        return 0;
    }
    case RunMode::KillProcess: {
        status.LogLine(u"Reading processes...");
        bool ok = ListProcesses(context, parsed.processName);
        if (ok) {
            // The list again, without what was killed.
            ce::Sleep(2000);
            ListProcesses(context, u"");
        }
        status.LogVerdict(ok);
        return 0;
    }
    case RunMode::SoftReset:
        ResetDevice(context, false);
        return 0;
    case RunMode::HardReset:
        ResetDevice(context, true);
        return 0;
    case RunMode::Ordinary:
        break;
    }
    return OrdinaryRun(context, commandLine);
}

int AgentMain(const AgentVariant& variant)
{
    std::string reason;
    if (!ce::Attach(&reason)) {
        exchange::DebugOutput("The agent has no device: " + reason + "\r\n");
        return 0;
    }
    std::unique_ptr<StoreFiles> files = StoreFiles::Open(&reason);
    if (!files) {
        exchange::DebugOutput("The agent cannot reach the device's files: " + reason + "\r\n");
        return 0;
    }
    RegistryStatus status;
    auto registered = [](std::u16string_view classId) {
        std::u16string key = u"CLSID\\" + std::u16string(classId);
        HKEY handle = 0;
        if (ce::RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), 0, ce::KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        ce::RegCloseKey(handle);
        return true;
    };
    AgentContext context(variant, status, *files, registered);

    status.ResetLog();
    std::uint32_t verbose = 0;
    if (status.ReadStatusNumber(contract::kVerboseLogging, verbose) && verbose != 0) {
        exchange::DebugOutput(u"Verbose logging is turned on.\r\n");
        status.LogLine(exchange::Format(u"Running Quorvane v%s.", exchange::kAgentVersion));
        status.LogLine(variant.librariesLine);
    } else {
        exchange::DebugOutput(u"Verbose logging is turned off.\r\n");
    }
    status.LogLine(u"Running...");
    ReadInSQLQuery(context, ce::GetCommandLine());
    status.SetStatusValue(contract::kTest, u"9.6");
    status.LogLine(contract::kDone);
    exchange::MarkStep("agent: done written");
    return 0;
}

} // namespace agent
