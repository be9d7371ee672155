// Programs run for tests: what environment they see, what is captured of
// them, and how they end.
#include "tests/support/Program.h"
#include "tests/support/HostFile.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace testsupport {
namespace {

// The lines of `env`'s output whose names begin with `prefix`, sorted.
std::vector<std::string> Entries(const std::string& envOutput, const std::string& prefix)
{
    std::vector<std::string> entries;
    std::istringstream lines(envOutput);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix))
            entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST(CleanEnvironment, ASpawnedProgramSeesOnlyTheTestsHomeEvenWhenTheParentHasOne)
{
    TempDir user("qvuser"), home("qvhome");
    ScopedEnv userHome("QUORVANE_HOME", user.path().string());
    ScopedEnv trace("QUORVANE_TRACE", "1");
    ScopedEnv deviceDir("QUORVANE_DEVICE_DIR", (user.path() / "device").string());

    RunResult r = RunProgram({ "env" }, home.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        Entries(r.out, "QUORVANE_"), std::vector<std::string> { "QUORVANE_HOME=" + home.path().string() });
    // The rest of the environment is the parent's.
    EXPECT_EQ(Entries(r.out, "PATH=").size(), 1u);
}

TEST(CleanEnvironment, WithoutAHomeTheProgramGetsNone)
{
    TempDir user("qvuser");
    ScopedEnv userHome("QUORVANE_HOME", user.path().string());
    RunResult r = RunProgram({ "env" }, RunOptions {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Entries(r.out, "QUORVANE_"), std::vector<std::string> {});
}

TEST(CleanEnvironment, GivenEntriesReplaceInheritedOnesOfTheSameName)
{
    ScopedEnv probe("QV_SUPPORT_PROBE", "parent");
    ScopedEnv trace("QUORVANE_TRACE", "1");
    std::vector<std::string> ours;
    for (const std::string& entry : CleanEnvironment(
             "/tmp/h", { "QV_SUPPORT_PROBE=child", "QUORVANE_TRACE=/tmp/t", "QUORVANE_TRACE=/tmp/u" })) {
        if (entry.starts_with("Q"))
            ours.push_back(entry);
    }
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(ours,
        (std::vector<std::string> {
            "QUORVANE_HOME=/tmp/h", "QUORVANE_TRACE=/tmp/u", "QV_SUPPORT_PROBE=child" }));
}

TEST(RunProgram, ExitStatusOutputAndErrorAreCaptured)
{
    RunResult r
        = RunProgram({ "/bin/sh", "-c", "printf 'one\\ntwo'; printf oops >&2; exit 3" }, RunOptions {});
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "one\ntwo");
    EXPECT_EQ(r.err, "oops");
}

TEST(RunProgram, StandardInputComesFromTheGivenFileOrIsEmpty)
{
    TempDir dir;
    ASSERT_TRUE(WriteHostFile(dir.path() / "in", "line 1\nline 2\n"));
    RunResult r = RunProgram({ "cat" }, RunOptions { .input = dir.path() / "in" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "line 1\nline 2\n");
    r = RunProgram({ "cat" }, RunOptions {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(RunProgram, OutputCanGoToAFileInstead)
{
    TempDir dir;
    ASSERT_TRUE(WriteHostFile(dir.path() / "out", "old content that is longer"));
    RunResult r = RunProgram(
        { "/bin/sh", "-c", "echo new; echo said >&2" }, RunOptions { .output = dir.path() / "out" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "said\n");
    EXPECT_EQ(ReadHostFile(dir.path() / "out"), "new\n");
}

TEST(RunProgram, AProgramPastItsTimeLimitIsKilled)
{
    RunResult r = RunProgram({ "sleep", "600" }, RunOptions { .seconds = 0.2 });
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.status, 128 + 9);
}

TEST(RunProgram, ASignalEndsWith128PlusItsNumber)
{
    RunResult r = RunProgram({ "/bin/sh", "-c", "kill -TERM $$" }, RunOptions {});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 128 + 15);
}

TEST(RunProgram, AProgramThatCannotStartSaysWhy)
{
    RunResult r = RunProgram({ "/nonexistent/quorvane-none" }, RunOptions {});
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.err, "cannot start /nonexistent/quorvane-none: No such file or directory");
}

TEST(Process, RunsInTheBackgroundUntilWaitedFor)
{
    TempDir dir;
    const std::filesystem::path gate = dir.path() / "gate";
    Process p(
        { "/bin/sh", "-c", "while [ ! -e \"$1\" ]; do sleep 0.01; done; echo through", "sh", gate.string() },
        RunOptions {});
    ASSERT_TRUE(WriteHostFile(gate, ""));
    RunResult r = p.Wait(60);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "through\n");
}

} // namespace
} // namespace testsupport
