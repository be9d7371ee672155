// The agent contract: every name the desktop and the device programs share to
// hand a request to the agent, follow it, stop it and read its answer. The
// agent folder's files, the agent's registry keys and values, the command-line
// switches, the request texts and status texts that either side acts on, and
// the executable names of the agent builds and the stopper. Each fact is
// spelled here once; the agent, the stopper and the desktop read it from here.
//
// Every constant views a whole string literal, so its data() is NUL-terminated
// and may go straight to a registry or file call that takes a C string.
//
// Pure data and pure functions; safe from any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace contract {

// ---- The agent folder on the device and the files exchanged in it.

inline constexpr std::u16string_view kAgentDir = u"\\Quorvane";

inline constexpr std::u16string_view kQueryFileName = u"SQLquery.txt"; // desktop -> agent: the request
inline constexpr std::u16string_view kResultsFileName = u"SQLresults.txt"; // agent -> desktop: the answer
inline constexpr std::u16string_view kAsciiSchemaFileName = u"DBSchema.txt"; // schema as CREATE TABLE text
inline constexpr std::u16string_view kBinarySchemaFileName = u"DBSchema.bin"; // schema as a delimited stream

inline constexpr std::u16string_view kQueryFilePath = u"\\Quorvane\\SQLquery.txt";
inline constexpr std::u16string_view kResultsFilePath = u"\\Quorvane\\SQLresults.txt";
inline constexpr std::u16string_view kAsciiSchemaPath = u"\\Quorvane\\DBSchema.txt";
inline constexpr std::u16string_view kBinarySchemaPath = u"\\Quorvane\\DBSchema.bin";

// True when `path` is `name` inside the agent folder.
constexpr bool IsAgentFile(std::u16string_view path, std::u16string_view name)
{
    return path.size() == kAgentDir.size() + 1 + name.size() && path.starts_with(kAgentDir)
        && path[kAgentDir.size()] == u'\\' && path.ends_with(name);
}
static_assert(IsAgentFile(kQueryFilePath, kQueryFileName));
static_assert(IsAgentFile(kResultsFilePath, kResultsFileName));
static_assert(IsAgentFile(kAsciiSchemaPath, kAsciiSchemaFileName));
static_assert(IsAgentFile(kBinarySchemaPath, kBinarySchemaFileName));

// ---- Registry keys under HKEY_LOCAL_MACHINE.

// The agent's key: progress, cancellation and small results.
inline constexpr std::u16string_view kAgentKey = u"\\Software\\Quorvane";
// The agent's log: one numbered value per line, cleared at every start.
inline constexpr std::u16string_view kAgentDebugKey = u"\\Software\\Quorvane\\Debug";
// The stopper's own key, written without a leading backslash as the stopper
// always has; it writes "CancelStatus" here and under the agent key.
inline constexpr std::u16string_view kStopperKey = u"Software\\Pelmorra";

static_assert(kAgentDebugKey.starts_with(kAgentKey) && kAgentDebugKey[kAgentKey.size()] == u'\\');

// ---- Values under the agent key (writer -> reader; type).

inline constexpr std::u16string_view kStatus
    = u"Status"; // agent -> desktop; string: the latest step, "Done." last
inline constexpr std::u16string_view kCancel = u"Cancel"; // desktop -> agent; number: 1 stops the row output
inline constexpr std::u16string_view kCancelStatus
    = u"CancelStatus"; // agent, stopper; string: "Wait", "Done."
inline constexpr std::u16string_view kSqlCeVersion = u"SQLCEversion"; // agent; string: "2" or "3", the engine
inline constexpr std::u16string_view kTotalRows = u"TotalRows"; // agent; string: rows of a query, in decimal
inline constexpr std::u16string_view kRowsAffected
    = u"RowsAffected"; // agent; string: rows a statement changed
// agent; set to an empty string, rewritten as a number when a guarded change is refused
inline constexpr std::u16string_view kRowsThatWouldBeAffected = u"RowsThatWouldBeAffected";
inline constexpr std::u16string_view kCompactSuccessful = u"CompactSuccessful"; // agent; number: 1 or 0
inline constexpr std::u16string_view kDeviceId = u"DeviceID"; // agent; string: 17 hex digits of the device
inline constexpr std::u16string_view kProcessKiller = u"ProcessKiller"; // agent; string: how a kill went
inline constexpr std::u16string_view kProgress = u"Progress"; // agent; string: the coarse phase
inline constexpr std::u16string_view kSql = u"SQL"; // agent; string: the statement text of the run
inline constexpr std::u16string_view kTest = u"Test"; // agent; string: checkpoint marks ("8.1" ... "9.6")
inline constexpr std::u16string_view kTest2 = u"Test2"; // agent; string: the query file's path
inline constexpr std::u16string_view kVerboseLogging = u"VerboseLogging"; // desktop -> agent; number
inline constexpr std::u16string_view kDecimalPointChar = u"DecimalPointChar"; // desktop -> agent; string
// desktop; deleted before each request (a value older desktops left behind)
inline constexpr std::u16string_view kDeleteSqlResults = u"DeleteSQLResults";

// ---- Texts of those values that the other side acts on.

// The last "Status" of every agent run, and the stopper's final "CancelStatus".
inline constexpr std::u16string_view kDone = u"Done.";
// "CancelStatus" while agents are being stopped.
inline constexpr std::u16string_view kWait = u"Wait";
// "Status" of an engine-2.0 agent that hands its request to the engine-3.0 agent.
inline constexpr std::u16string_view kHandingOver = u"Running SQLCE3.0 query";
// The log line (and so "Status") that opens that hand-over.
inline constexpr std::u16string_view kHandOverLogLine = u"Need to run the SQLCE 3.0 version.";
// "ProcessKiller" after a "-killprocess" run; the first two also become "Status".
inline constexpr std::u16string_view kKillSucceeded = u"Success.";
inline constexpr std::u16string_view kKillFailed = u"Failed.";
inline constexpr std::u16string_view kKillCannotOpen = u"Couldn't open process.";
// "Status" of a "-killprocess" run that found no process of the name.
inline constexpr std::u16string_view kKillNotFound = u"Couldn't find process.";

// ---- The agent's command line: one switch is the whole line.

inline constexpr std::u16string_view kSwitchTest = u"-test";
inline constexpr std::u16string_view kSwitchKill = u"-kill";
inline constexpr std::u16string_view kSwitchTableStruct = u"-tableStruct";
inline constexpr std::u16string_view kSwitchDeviceId = u"-deviceID";
inline constexpr std::u16string_view kSwitchProcesses = u"-processes";
// Followed by one separator character and the process name.
inline constexpr std::u16string_view kSwitchKillProcess = u"-killprocess";
inline constexpr std::u16string_view kSwitchSoftReset = u"-softreset";
inline constexpr std::u16string_view kSwitchHardReset = u"-hardreset";

// ---- Request texts of the query file's third line with a meaning of their own.

inline constexpr std::u16string_view kCompactRequest = u"CompactDB"; // whole text, exact case
inline constexpr std::u16string_view kCreateRequest = u"*CREATE"; // whole text, exact case
inline constexpr std::u16string_view kSchemaAsciiRequest = u"SCHEMA-ASCII"; // whole text, case ignored
inline constexpr std::u16string_view kSchemaBinaryRequest = u"SCHEMA-BINARY"; // whole text, case ignored
inline constexpr std::u16string_view kRenameMarker = u"RENAME TABLE "; // anywhere, exact case
inline constexpr std::u16string_view kGuardSuffix = u"LIMIT 1"; // at the end, exact case

// ---- Executables in the agent folder.

// The old agent name: the stopper and every agent end running copies of it.
inline constexpr std::u16string_view kOldAgentExe = u"Pelmorra.exe";
inline constexpr std::u16string_view kStopperExe = u"Haltquill.exe";

// One agent build: its executable on the device, the engine version it
// serves, and the device platform it is built for (as device profiles name
// platforms).
struct AgentBuild {
    std::u16string_view exeName;
    int engineVersion; // 2 or 3
    std::u16string_view platform; // "PocketPC", "Smartphone" or "WindowsCE"
};

inline constexpr std::array<AgentBuild, 6> kAgentBuilds = { {
    { u"Quorvane2003.exe", 2, u"PocketPC" },
    { u"Quorvane2005.exe", 3, u"PocketPC" },
    { u"QuorvaneSP2003.exe", 2, u"Smartphone" },
    { u"QuorvaneSP2005.exe", 3, u"Smartphone" },
    { u"QuorvaneWCE2003.exe", 2, u"WindowsCE" },
    { u"QuorvaneWCE2005.exe", 3, u"WindowsCE" },
} };

// The engine-2.0 agent starts its engine-3.0 sibling at its own path with
// every kEngine2Tag replaced by kEngine3Tag.
inline constexpr std::u16string_view kEngine2Tag = u"2003";
inline constexpr std::u16string_view kEngine3Tag = u"2005";

// Device programs end in ".exe" on the device; the desktop keeps each one
// beside itself under the same name ending in ".dll".
inline constexpr std::u16string_view kDeviceProgramSuffix = u".exe";
inline constexpr std::u16string_view kDesktopCopySuffix = u".dll";

// The executable of the build for `engineVersion` (3 picks engine 3.0,
// anything else engine 2.0) and `platform` ("Smartphone", "WindowsCE";
// anything else is a Pocket PC).
std::u16string_view AgentExeFor(int engineVersion, std::u16string_view platform);

// True when `exeName` (a file name without folder) is the old agent name or
// one of the six agent executables, compared without regard to ASCII case.
bool IsAgentExecutable(std::u16string_view exeName);

// The name under which the desktop keeps device program `exeName`
// ("Haltquill.exe" -> "Haltquill.dll"). A name that does not end in ".exe"
// gets ".dll" appended.
std::u16string DesktopCopyName(std::u16string_view exeName);

} // namespace contract
