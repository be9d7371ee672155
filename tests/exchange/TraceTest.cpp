#include "exchange/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace exchange {
namespace {

// Points QUORVANE_TRACE at a fresh file for one test and turns tracing off
// afterwards.
class TraceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = std::filesystem::temp_directory_path()
            / ("quorvane-trace-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
        std::filesystem::remove(path);
        ::setenv("QUORVANE_TRACE", path.c_str(), 1);
        ASSERT_TRUE(ConfigureTrace());
    }
    void TearDown() override
    {
        ::unsetenv("QUORVANE_TRACE");
        ConfigureTrace();
        std::filesystem::remove(path);
    }
    std::string Contents() const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::filesystem::path path;
};

// "HH:MM:SS : " at the start of `line`.
bool HasTimePrefix(const std::string& line)
{
    if (line.size() < 11 || line.compare(8, 3, " : ") != 0)
        return false;
    for (int i : { 0, 1, 3, 4, 6, 7 })
        if (line[i] < '0' || line[i] > '9')
            return false;
    return line[2] == ':' && line[5] == ':';
}

TEST_F(TraceFile, TraceLineStampsTheLocalTimeAndWritesUtf8)
{
    TraceLine(u"IsRAPIopen() h\u00E9\r\n");
    const std::string text = Contents();
    ASSERT_TRUE(HasTimePrefix(text)) << text;
    EXPECT_EQ(text.substr(11), "IsRAPIopen() h\xC3\xA9\r\n");
}

TEST_F(TraceFile, DebugOutputWritesTheTextAsItIsAndAppends)
{
    DebugOutput(u"Verbose logging is turned off.\r\n");
    DebugOutput(std::string_view("second"));
    EXPECT_EQ(Contents(), "Verbose logging is turned off.\r\nsecond");
    // A new configuration appends to what is there.
    ASSERT_TRUE(ConfigureTrace());
    DebugOutput(u"!");
    EXPECT_EQ(Contents(), "Verbose logging is turned off.\r\nsecond!");
}

TEST_F(TraceFile, LinesFromManyThreadsNeverInterleave)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                TraceLine("thread " + std::to_string(t) + " line " + std::to_string(i) + " ........\r\n");
        });
    for (std::thread& thread : threads)
        thread.join();
    std::istringstream in(Contents());
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        ASSERT_TRUE(HasTimePrefix(line)) << line;
        ASSERT_EQ(line.compare(11, 7, "thread "), 0) << line;
        ASSERT_EQ(line.substr(line.size() - 10), " ........\r") << line;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(Trace, IsOffByDefaultAndWhenZero)
{
    ::unsetenv("QUORVANE_TRACE");
    ASSERT_TRUE(ConfigureTrace());
    EXPECT_FALSE(TraceEnabled());
    ::setenv("QUORVANE_TRACE", "0", 1);
    ASSERT_TRUE(ConfigureTrace());
    EXPECT_FALSE(TraceEnabled());
    ::testing::internal::CaptureStderr();
    TraceLine(u"nowhere");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ::unsetenv("QUORVANE_TRACE");
    ConfigureTrace();
}

TEST(Trace, OneSendsTracesToStandardError)
{
    ::setenv("QUORVANE_TRACE", "1", 1);
    ASSERT_TRUE(ConfigureTrace());
    EXPECT_TRUE(TraceEnabled());
    ::testing::internal::CaptureStderr();
    DebugOutput(u"CSmartAccessor::BindColumns()\r\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "CSmartAccessor::BindColumns()\r\n");
    ::unsetenv("QUORVANE_TRACE");
    ConfigureTrace();
}

TEST(Trace, AnUnwritableFileTurnsTracingOffAndSaysSo)
{
    ::setenv("QUORVANE_TRACE", "/nonexistent-quorvane-dir/trace.log", 1);
    EXPECT_FALSE(ConfigureTrace());
    EXPECT_FALSE(TraceEnabled());
    TraceLine(u"dropped"); // must not crash
    ::unsetenv("QUORVANE_TRACE");
    ConfigureTrace();
}

} // namespace
} // namespace exchange
