#include "AgentTestSupport.h"

#include "agent/AgentStatus.h"
#include "agent/Dispatcher.h"
#include "platform/ce/Ce.h"
#include "platform/store/DeviceFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

using namespace agent;
using agenttest::MemoryStatus;
using agenttest::S;
using agenttest::U;

TEST(StatusLog, LinesAreNumberedAndStampedAndMirroredIntoStatus)
{
    MemoryStatus log;
    log.hour = 7;
    log.minute = 3;
    log.second = 9;
    log.LogLine(u"Running...");
    log.LogLine(u"    Querying table : T");
    EXPECT_EQ(log.LogTexts(),
        (std::vector<std::string> { "7:03:09 - Running...", "7:03:09 -     Querying table : T" }));
    // Status loses the leading spaces, the log keeps them.
    EXPECT_EQ(log.Text("Status"), "Querying table : T");
    log.LogLine(u"   ");
    EXPECT_EQ(log.Text("Status"), "");
}

TEST(StatusLog, VerdictIsAppendedToTheLatestLineOnly)
{
    MemoryStatus log;
    log.LogVerdict(true); // nothing to close yet
    EXPECT_TRUE(log.LogTexts().empty());
    log.LogLine(u"Opening session..");
    log.LogLine(u"Opening table...");
    log.LogVerdict(false);
    EXPECT_EQ(
        log.LogLines(), (std::vector<std::string> { "Opening session..", "Opening table...  failed." }));
    log.LogLine(u"Closing.");
    log.LogVerdict(true);
    EXPECT_EQ(log.LogLines()[2], "Closing.  ok.");
    EXPECT_EQ(log.Text("Status"), "Closing.");
}

TEST(StatusLog, LongEntriesAreCutTo999Characters)
{
    MemoryStatus log;
    std::u16string text(1500, u'x');
    log.LogLine(text);
    ASSERT_EQ(log.LogTexts().size(), 1u);
    EXPECT_EQ(log.LogTexts()[0].size(), 999u);
    EXPECT_EQ(log.LogTexts()[0].substr(0, 10), "9:05:07 - ");
    EXPECT_EQ(log.Text("Status").size(), 999u);
}

TEST(StatusLog, CounterGoesPast999AndResetStartsAgain)
{
    MemoryStatus log;
    for (int i = 0; i < 1001; ++i)
        log.LogLine(u"line");
    EXPECT_EQ(log.logCounter(), 1001);
    log.ResetLog();
    EXPECT_EQ(log.logCounter(), 0);
    EXPECT_TRUE(log.LogTexts().empty());
}

// The same rules on the device registry.
class RegistryStatusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder.path() / "files");
        setenv(device::kEnvDeviceDir, m_folder.path().c_str(), 1);
        ce::Detach();
        std::string error;
        ASSERT_TRUE(ce::Attach(&error)) << error;
    }
    void TearDown() override
    {
        ce::Detach();
        unsetenv(device::kEnvDeviceDir);
    }

    // A string value of the agent key or its Debug key, or "<missing>".
    static std::string Read(const char16_t* key, const char16_t* name)
    {
        HKEY handle = 0;
        if (ce::RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, ce::KEY_READ, &handle) != ERROR_SUCCESS)
            return "<missing>";
        BYTE data[4096];
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG result = ce::RegQueryValueEx(handle, name, nullptr, &type, data, &size);
        ce::RegCloseKey(handle);
        if (result != ERROR_SUCCESS)
            return "<missing>";
        if (type == REG_DWORD)
            return "<dword " + std::to_string(*reinterpret_cast<DWORD*>(data)) + ">";
        return "[" + std::to_string(size) + "]"
            + S(std::u16string_view(reinterpret_cast<char16_t*>(data), size / 2));
    }

    testsupport::TempDir m_folder { "qvagent" };
};

TEST_F(RegistryStatusTest, ValuesAreStringsWithoutTerminatorAndNumbers)
{
    RegistryStatus status;
    status.SetStatusValue(u"TotalRows", u"120");
    status.SetStatusValue(u"SQLCEversion", u"");
    status.SetStatusNumber(u"RowsThatWouldBeAffected", 3);
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"TotalRows"), "[6]120");
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"SQLCEversion"), "[0]");
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"RowsThatWouldBeAffected"), "<dword 3>");

    std::uint32_t value = 0;
    EXPECT_TRUE(status.ReadStatusNumber(u"RowsThatWouldBeAffected", value));
    EXPECT_EQ(value, 3u);
    EXPECT_FALSE(status.ReadStatusNumber(u"TotalRows", value)); // a string is not a number
    EXPECT_FALSE(status.ReadStatusNumber(u"Cancel", value));
    EXPECT_EQ(S(status.ReadStatusString(u"totalrows")), "120");
    EXPECT_EQ(status.ReadStatusString(u"RowsThatWouldBeAffected"), u"");

    status.SetStatusValue(u"DecimalPointChar", std::u16string(259, u'a'));
    EXPECT_EQ(status.ReadStatusString(u"DecimalPointChar").size(), 259u);
    status.SetStatusValue(u"DecimalPointChar", std::u16string(300, u'a'));
    EXPECT_EQ(status.ReadStatusString(u"DecimalPointChar"), u"");

    status.DeleteStatusValue(u"TotalRows");
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"TotalRows"), "<missing>");
    status.SetCancelStatus(u"Wait");
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"CancelStatus"), "[8]Wait");
}

TEST_F(RegistryStatusTest, LogLinesGoToTheDebugKeyWithTheDeviceClock)
{
    RegistryStatus status;
    status.ResetLog();
    status.LogLine(u"  Running...");
    status.LogVerdict(true);
    std::string line = Read(u"\\Software\\Quorvane\\Debug", u"000");
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[\d+\]\d{1,2}:\d\d:\d\d -   Running\.\.\.  ok\.)")))
        << line;
    EXPECT_EQ(Read(u"\\Software\\Quorvane", u"Status"), "[20]Running...");

    for (int i = 1; i < 1001; ++i)
        status.LogLine(u"x");
    EXPECT_NE(Read(u"\\Software\\Quorvane\\Debug", u"999"), "<missing>");
    EXPECT_NE(Read(u"\\Software\\Quorvane\\Debug", u"1000"), "<missing>");

    // A new run starts the log empty.
    RegistryStatus next;
    next.ResetLog();
    EXPECT_EQ(Read(u"\\Software\\Quorvane\\Debug", u"999"), "<missing>");
    next.LogLine(u"Running...");
    EXPECT_TRUE(Read(u"\\Software\\Quorvane\\Debug", u"000").ends_with(" - Running..."));
}

namespace {

// Remembers, at every "Done.", whether the results file was in place then.
class DoneWatcher : public MemoryStatus {
public:
    explicit DoneWatcher(const agenttest::HostFiles& files)
        : m_files(files)
    {
    }
    void SetStatusValue(std::u16string_view name, std::u16string_view text) override
    {
        if (name == u"Status" && text == u"Done.")
            resultsAtDone.push_back(std::filesystem::exists(m_files.Host(u"\\Quorvane\\SQLresults.txt")));
        MemoryStatus::SetStatusValue(name, text);
    }
    std::vector<bool> resultsAtDone;

private:
    const agenttest::HostFiles& m_files;
};

} // namespace

// A desktop reads the answer as soon as "Status" says "Done.": a request
// that fails on its query file must have its results file in place by then.
TEST_F(RegistryStatusTest, FailedQueryFileReadWritesDoneOnlyAfterTheResultsFile)
{
    const std::filesystem::path store = m_folder.path() / "files";
    std::filesystem::create_directories(store / "Quorvane");
    agenttest::HostFiles files(store);
    for (const bool withQueryFile : { false, true }) {
        SCOPED_TRACE(withQueryFile ? "missing database" : "missing query file");
        std::filesystem::remove(store / "Quorvane" / "SQLresults.txt");
        if (withQueryFile) {
            std::ofstream(store / "Quorvane" / "SQLquery.txt", std::ios::binary)
                << agenttest::Bytes(u"\\nowhere.sdf\r\n\r\nSELECT 1\r\n");
        }
        DoneWatcher status(files);
        agent::AgentContext context(agent::Engine30Variant(), status, files, agenttest::AllInstalled);
        agent::ReadInSQLQuery(context, u"");
        EXPECT_EQ(status.resultsAtDone, std::vector<bool> { true });
        EXPECT_TRUE(status.LogLines().back().ends_with("failed.")) << status.LogLines().back();
    }
}
