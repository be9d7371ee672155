// quorvane-cli's device tools through the agent's utility modes (deploy, ps,
// kill, reset, device-id), the program's help, and what happens when the
// device goes away or the agent stops answering in the middle of a command.
#include "tests/e2e/E2eFixture.h"

#include <csignal>
#include <regex>
#include <thread>

namespace e2e {
namespace {

class DeviceTools : public DemoDevice {
protected:
    // A program folder like build/bin whose engine-2.0 agent never finishes.
    std::filesystem::path StuckProgramDir()
    {
        const std::filesystem::path dir = m_programs.path();
        std::filesystem::copy_file(QV_STUCK_AGENT, dir / "Quorvane2003.dll");
        for (const char* name : { "Quorvane2005.dll", "Haltquill.dll" })
            std::filesystem::copy_file(BinDir() / name, dir / name);
        return dir;
    }

private:
    TempDir m_programs;
};

TEST_F(DeviceTools, DeployCopiesTheAgentOnce)
{
    std::filesystem::remove_all(deviceFiles() / "Quorvane");
    RunResult r = Q({ "deploy" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out, "\\Quorvane\\Quorvane2003.exe\n\\Quorvane\\Quorvane2005.exe\n\\Quorvane\\Haltquill.exe\n");
    EXPECT_EQ(ReadHostFile(deviceFiles() / "Quorvane" / "Quorvane2005.exe"),
        ReadHostFile(BinDir() / "Quorvane2005.dll"));
    EXPECT_EQ(Q({ "deploy" }).status, 0);
}

TEST_F(DeviceTools, ProcessesAreListedAndKilledByTheAgent)
{
    RunResult r = Q({ "ps" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "NK.EXE\nfilesys.exe\ndevice.exe\ngwes.exe\nservices.exe\nshell32.exe\nconnmgr.exe\nrepllog.exe\n"
        "Quorvane2003.exe\n");
    r = Q({ "run", "\\Windows\\pword.exe" });
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Q({ "run", "\\Windows\\pword.exe" }).status, 0);
    EXPECT_NE(
        Q({ "ps" }).out.find("repllog.exe\npword.exe\npword.exe\nQuorvane2003.exe\n"), std::string::npos);

    // Names are compared with their case, as the device does.
    r = Q({ "kill", "PWORD.EXE" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: kill PWORD.EXE: Couldn't find process.\n");
    r = Q({ "kill", "pword.exe" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pword.exe: Success.\n");
    EXPECT_EQ(Q({ "ps" }).out.find("pword.exe"), std::string::npos);
    r = Q({ "kill", "pword.exe" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: kill pword.exe: Couldn't find process.\n");
    r = Q({ "kill", "Quorvane2003.exe" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: kill Quorvane2003.exe: Cannot stop this process.\n");
    r = Q({ "kill", "gwes.exe" });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("quorvane-cli: kill gwes.exe: ")) << r.err;
}

TEST_F(DeviceTools, DeviceIdDoesNotRunThePreviousRequestAgain)
{
    ASSERT_EQ(
        Q({ "sql", kOrders, "INSERT INTO EventLog (Source, Message, Severity) VALUES ('t', 'once', 1)" })
            .status,
        0);
    RunResult r = Q({ "device-id" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("[0-9A-F]{17}\n"))) << r.out;
    EXPECT_EQ(Q({ "device-id" }).out, r.out);
    EXPECT_EQ(
        Q({ "sql", kOrders, "SELECT COUNT(*) FROM EventLog WHERE Message = 'once'", "--format", "tsv" }).out,
        "COUNT(*)\n1\n");
}

TEST_F(DeviceTools, ResetsAskThenRestartTheDevice)
{
    RunResult r = Q({ "reset", "soft" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "Reset your device: Soft-Reset this device.\n"
        "This might result in data being deleted on your device.\n"
        "If you have any applications running on your device, whose data hasn't been saved, this data will "
        "be "
        "permanently lost.\n\n"
        "Are you SURE you wish to soft-reset your device ?\n"
        "[Cancel]\n"
        "quorvane-cli: reset: not confirmed; the device was not reset (use --yes)\n");
    ASSERT_EQ(Q({ "run", "\\Windows\\pword.exe" }).status, 0);
    r = Q({ "reset", "soft", "--yes" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Soft-reseting your device..\nThe device has restarted.\n");
    // The restart ended the programs and kept the data.
    EXPECT_EQ(Q({ "ps" }).out.find("pword.exe"), std::string::npos);
    EXPECT_EQ(
        Q({ "sql", kOrders, "SELECT COUNT(*) FROM Products", "--format", "tsv" }).out, "COUNT(*)\n16\n");

    r = Q({ "reset", "hard", "--yes" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Hard-reseting your device..\nThe device has restarted.\n");
    EXPECT_FALSE(std::filesystem::exists(deviceFiles() / "My Documents" / "Orders.sdf"));
    // The agent went with the rest; the next command deploys it again.
    r = Q({ "sql", kOrders, "SELECT 1" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Details: The database file: \"\\My Documents\\Orders.sdf\" does not exist.\n"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(Q({ "reset", "warm" }).status, 2);
}

TEST_F(DeviceTools, ALostDeviceEndsTheCommandWithAMessage)
{
    // An agent that never finishes keeps the request open while the device goes.
    const std::string programs = "QUORVANE_PROGRAM_DIR=" + StuckProgramDir().string();
    std::vector<std::string> argv = { Cli().string(), "sql", kOrders, "SELECT * FROM Orders" };
    Process cli(argv, RunOptions { .home = home(), .env = { programs } });
    // Until the stand-in reports that it runs.
    bool running = false;
    for (int i = 0; i < 100 && !running; ++i) {
        running = Q({ "reg", "query", "HKLM\\Software\\Quorvane", "Status" }).out.find("Running...")
            != std::string::npos;
        if (!running)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(running);
    StopDevice();
    RunResult r = cli.Wait(60);
    EXPECT_FALSE(r.timedOut) << "the cli hung after the device went away";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // Said once, in the cli's words: nobody here can check an ActiveSync icon.
    const std::string noDevice = "quorvane-cli: no device answers at "
        + (home() / "run" / "cedevice.sock").string() + "; start one with 'cedevice start'\n";
    EXPECT_EQ(r.err, "quorvane-cli: the connection to the device was lost\n" + noDevice);
    EXPECT_LT(r.seconds, 30);

    // Without a device at all the cli says so at once, as every command does.
    r = Q({ "tables", kOrders });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, noDevice);
}

TEST_F(DeviceTools, AKilledDeviceTakesItsAgentAlong)
{
    ASSERT_EQ(Q({ "sql", kOrders, "CREATE TABLE d (n int)" }).status, 0);
    // Far more rows than any test waits for.
    Process insert({ Cli().string(), "sql", kOrders,
                       "INSERT INTO d (n) SELECT a.OrderID FROM [Order Details] a, [Order Details] b, "
                       "[Order Details] c" },
        RunOptions { .home = home() });
    const std::filesystem::path journal = deviceFiles() / "My Documents" / "Orders.sdf-journal";
    bool writing = false;
    for (int i = 0; i < 600 && !writing; ++i) {
        writing = std::filesystem::exists(journal);
        if (!writing)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(writing) << "the INSERT never began";
    const std::string state = ReadHostFile(home() / "device" / "cedevice.state");
    ASSERT_TRUE(state.starts_with("pid=")) << state;
    const std::vector<pid_t> agents = DevicePrograms(home() / "device");
    EXPECT_FALSE(agents.empty());
    ASSERT_EQ(kill(pid_t(std::atoi(state.c_str() + 4)), SIGKILL), 0);

    bool gone = false;
    for (int i = 0; i < 400 && !gone; ++i) {
        gone = DevicePrograms(home() / "device").empty();
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone) << "an agent outlived its device";
    for (pid_t pid : DevicePrograms(home() / "device"))
        kill(pid, SIGKILL);
    EXPECT_EQ(insert.Wait(60).status, 1);

    // The next device finds the INSERT undone, and the next request's answer is its own.
    StartDevice();
    RunResult r = Q({ "sql", kOrders, "SELECT COUNT(*) AS n FROM d", "--format", "tsv" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "n\n0\n");
}

TEST_F(DeviceTools, AStuckAgentIsCancelledAfterTheTimeout)
{
    const std::string programs = "QUORVANE_PROGRAM_DIR=" + StuckProgramDir().string();
    RunResult r = Q({ "sql", kOrders, "SELECT * FROM Orders", "--timeout", "2" }, { programs }, 90);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(
        r.err, "quorvane-cli: the device showed no progress for 2 seconds; the request was cancelled\n");
    // The stopper ended the stand-in: with the real agent back in place the
    // list holds only the agent that lists.
    std::filesystem::remove_all(deviceFiles() / "Quorvane");
    r = Q({ "ps" });
    EXPECT_EQ(r.out,
        "NK.EXE\nfilesys.exe\ndevice.exe\ngwes.exe\nservices.exe\nshell32.exe\nconnmgr.exe\nrepllog.exe\n"
        "Quorvane2003.exe\n");
}

TEST(CliHelp, ProgramAndCommandHelp)
{
    TempDir home;
    RunResult r = RunProgram({ Cli().string(), "--help" }, home.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("Usage: quorvane-cli [--socket PATH] COMMAND [ARGS...]\n")) << r.out;
    for (const char* command : { "sql", "schema", "tables", "newdb", "compact", "rename-table", "drop-table",
             "deploy", "ps", "kill", "reset", "device-id", "ls" }) {
        EXPECT_NE(r.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
        RunResult help = RunProgram({ Cli().string(), command, "--help" }, home.path());
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.starts_with(std::string("Usage: quorvane-cli [--socket PATH] ") + command))
            << help.out;
        EXPECT_NE(help.out.find("  -h, --help"), std::string::npos) << help.out;
    }
    r = RunProgram({ Cli().string(), "kill", "--help" }, home.path());
    EXPECT_EQ(r.out,
        "Usage: quorvane-cli [--socket PATH] kill [OPTIONS] NAME\n\n"
        "Ends every device process whose executable name is NAME (the case must match),\n"
        "through the agent. Fails when none runs or one could not be ended.\n\n"
        "Options:\n"
        "  --yes              Answer Yes to the questions the desktop would ask (default: the answer that "
        "changes "
        "nothing).\n"
        "  --timeout SECONDS  Cancel the request when the device shows no progress for this long (default "
        "120; 0 "
        "waits without limit).\n"
        "  -h, --help         Show this help and exit.\n");
    r = RunProgram({ Cli().string(), "--colour" }, home.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quorvane-cli: unknown option \"--colour\"\nTry 'quorvane-cli --help'.\n");
}

} // namespace
} // namespace e2e
