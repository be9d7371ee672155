// quorvane-cli as scripts use it, on a real device with the demo databases:
// an interrupt stops the device's work and the next command works; a copy
// killed or interrupted halfway leaves the file it was replacing; the
// formats for programs read back with strict readers; and --version.
#include "tests/cli/StrictReaders.h"
#include "tests/e2e/E2eFixture.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace e2e {
namespace {

using testing_readers::Json;

class Scripting : public DemoDevice {
protected:
    // Until `condition` holds, or about `seconds` have passed; whether it held.
    static bool WaitFor(const std::function<bool()>& condition, double seconds = 60)
    {
        for (int i = 0; i < int(seconds * 100); ++i) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

    std::vector<std::string> TempNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(deviceFiles() / "Temp"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Scripting, AnInterruptStopsTheAgentAndTheNextCommandWorks)
{
    // A count the agent would work on for hours.
    Process cli({ Cli().string(), "sql", kOrders,
                    "SELECT COUNT(*) FROM [Order Details] a, [Order Details] b, [Order Details] c" },
        RunOptions { .home = home() });
    ASSERT_TRUE(WaitFor([&] { return !DevicePrograms(home() / "device").empty(); }))
        << "the agent never started";
    cli.Signal(SIGINT);
    RunResult r = cli.Wait(90);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
        "quorvane-cli: interrupted; stopping the request on the device (interrupt again to quit at once)\n");
    // The agent went before the command ended, so the next one finds the device free.
    EXPECT_TRUE(DevicePrograms(home() / "device").empty());
    r = Q({ "ps" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("repllog.exe\nQuorvane2003.exe\n")) << r.out;
}

// A put from a pipe that the test holds open is halfway for as long as the
// test likes: it ends it by a signal while the new file is being written.
TEST_F(Scripting, APutKilledOrInterruptedHalfwayLeavesTheOldFile)
{
    WriteHostFile(deviceFiles() / "Temp" / "hello.txt", "the old content\n");
    TempDir local { "qve" };
    for (int signal : { SIGKILL, SIGINT }) {
        const std::filesystem::path pipe = local.path() / ("pipe" + std::to_string(signal));
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        // Opened for both ends first, so that the program's own open does not wait.
        const int writer = open(pipe.c_str(), O_RDWR);
        ASSERT_GE(writer, 0);
        Process cli({ Cli().string(), "put", "-", "\\Temp\\hello.txt" },
            RunOptions { .home = home(), .input = pipe });
        const std::string block(200000, 'n');
        ASSERT_EQ(write(writer, block.data(), block.size()), ssize_t(block.size()));
        // The new bytes are on the device, under another name.
        ASSERT_TRUE(WaitFor([&] {
            for (const std::string& name : TempNames())
                if (name != "hello.txt" && std::filesystem::file_size(deviceFiles() / "Temp" / name) > 0)
                    return true;
            return false;
        })) << "the copy never began";
        EXPECT_EQ(ReadHostFile(deviceFiles() / "Temp" / "hello.txt"), "the old content\n");
        cli.Signal(signal);
        const RunResult r = cli.Wait(60);
        close(writer);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        EXPECT_EQ(ReadHostFile(deviceFiles() / "Temp" / "hello.txt"), "the old content\n") << signal;
    }
    // Interrupted, the copy took its temporary file along; killed, it could not.
    const std::vector<std::string> left = TempNames();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left.front(), "hello.txt");
    EXPECT_TRUE(left.back().starts_with("hello.txt.~")) << left.back();
}

TEST_F(Scripting, JsonIsTypedAndReadsBackStrictly)
{
    RunResult r = Q({ "sql", kOrders, "SELECT * FROM Products", "--format", "json" });
    ASSERT_EQ(r.status, 0) << r.err;
    const std::optional<Json> doc = testing_readers::JsonReader(r.out).Read();
    ASSERT_TRUE(doc) << r.out;
    const Json& rows = (*doc)["rows"];
    ASSERT_EQ(rows.items.size(), 16u);
    // int, nvarchar(40), nvarchar(20), money, smallint, bit, image, ntext
    const Json& chai = rows[0];
    EXPECT_EQ(chai[0].type, Json::Type::Integer);
    EXPECT_EQ(chai[0].integer, 1);
    EXPECT_EQ(chai[1].string, "Chai");
    EXPECT_EQ(chai[3].type, Json::Type::Integer); // money 18, printed as the agent prints it
    EXPECT_EQ(chai[3].integer, 18);
    EXPECT_EQ(chai[4].type, Json::Type::Integer);
    EXPECT_EQ(chai[5].type, Json::Type::Boolean);
    EXPECT_FALSE(chai[5].boolean);
    EXPECT_EQ(chai[6].type, Json::Type::Integer);
    EXPECT_EQ(chai[6].integer, 35); // the picture's byte count
    EXPECT_EQ(rows[1][7].type, Json::Type::Null);
    EXPECT_EQ(rows[11][7].string, "昆布 (kelp)");
    bool realPrice = false;
    for (const Json& row : rows.items)
        realPrice = realPrice || (row[3].type == Json::Type::Real && row[3].real > 0);
    EXPECT_TRUE(realPrice) << "no price with cents";

    r = Q({ "sql", kOrders, "SELECT CustomerID, Since, Active FROM Customers WHERE CustomerID = 3",
        "--format", "json" });
    const std::optional<Json> customer = testing_readers::JsonReader(r.out).Read();
    ASSERT_TRUE(customer) << r.out;
    EXPECT_EQ((*customer)["rows"][0][1].string, "2004-01-09T08:00:00");
    EXPECT_EQ((*customer)["rows"][0][2].type, Json::Type::Boolean);
    EXPECT_TRUE((*customer)["rows"][0][2].boolean);
}

TEST_F(Scripting, CsvWithCommasQuotesAndLineBreaksReadsBack)
{
    ASSERT_EQ(
        Q({ "sql", kOrders,
              "INSERT INTO EventLog (Source, Message, Severity) VALUES ('a,b', 'say \"hi\"\nnext line', 9)" })
            .status,
        0);
    ASSERT_EQ(
        Q({ "sql", kOrders, "INSERT INTO EventLog (Source, Message, Severity) VALUES ('', NULL, 9)" }).status,
        0);
    RunResult r = Q({ "sql", kOrders, "SELECT Source, Message, Severity FROM EventLog WHERE Severity = 9",
        "--format", "csv", "--null", "NULL" });
    ASSERT_EQ(r.status, 0) << r.err;
    QVector<QStringList> records;
    ASSERT_TRUE(testing_readers::ReadCsv(QString::fromStdString(r.out), &records)) << r.out;
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0], (QStringList { "Source", "Message", "Severity" }));
    EXPECT_EQ(records[1], (QStringList { "a,b", "say \"hi\"\r\nnext line", "9" }));
    EXPECT_EQ(records[2], (QStringList { "", "NULL", "9" }));

    // Without the header, one line per row: a line count counts rows.
    r = Q({ "sql", kOrders, "SELECT OrderID FROM Orders", "--format", "csv", "--no-header" });
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 960);
}

// A long answer is read from the device in many blocks and printed as it
// comes: every row arrives, in order, whole.
TEST_F(Scripting, AStreamedAnswerHoldsEveryRow)
{
    const char* sql = "SELECT d.OrderID, d.Quantity, p.ProductName FROM [Order Details] d, Products p";
    RunResult whole = Q({ "sql", kOrders, sql, "--format", "raw" });
    ASSERT_EQ(whole.status, 0) << whole.err;
    // The device's file (two bytes a character) spans many blocks of 60000 bytes.
    ASSERT_GT(whole.out.size() * 2, 10 * 60000u);
    RunResult r = Q({ "sql", kOrders, sql, "--format", "tsv", "--no-header" });
    ASSERT_EQ(r.status, 0) << r.err;
    // The raw rows without their CR LF and trailing TAB, as tsv prints them.
    std::string expected;
    std::size_t at = 0;
    for (int line = 0; (at = whole.out.find("\r\n", at)) != std::string::npos; ++line) {
        const std::size_t next = whole.out.find("\r\n", at + 2);
        if (next == std::string::npos)
            break;
        const std::string row = whole.out.substr(at + 2, next - at - 2);
        at += 2;
        if (line < 4 || row == "<end>")
            continue; // Cols, names, types, attributes
        expected += row.substr(0, row.size() - 1) + "\n";
    }
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2880 * 16);
    EXPECT_TRUE(r.out == expected);
}

// A script runs statement by statement, stops at the first failure (named by
// its number and line), goes on when told to, and runs nothing of a file
// that cannot be split.
TEST_F(Scripting, AScriptStopsAtTheFirstFailingStatementUnlessToldToGoOn)
{
    TempDir local { "qve" };
    const std::filesystem::path first = local.path() / "first.sql", second = local.path() / "second.sql",
                                open = local.path() / "open.sql", empty = local.path() / "empty.sql";
    WriteHostFile(first,
        "CREATE TABLE s (n int, t nvarchar(20));\n"
        "INSERT INTO s VALUES (1, 'a;b');  -- a comment; with a semicolon\n"
        "GO\n"
        "INSERT INTO nowhere VALUES (2);\n"
        "/* not reached */ INSERT INTO s VALUES (3, N'c');\n");
    RunResult r = Q({ "script", kOrders, first.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("script: statement 3 (line 4) failed; 2 of 4 statements ran before it\n"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(Q({ "sql", kOrders, "SELECT n, t FROM s", "--format", "tsv" }).out, "n\tt\n1\ta;b\n");

    WriteHostFile(second,
        "INSERT INTO s VALUES (4, 'd'); INSERT INTO nowhere VALUES (5);\nINSERT INTO s VALUES (6, 'f')");
    r = Q({ "script", kOrders, second.string(), "--continue-on-error" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("script: 1 of 3 statements failed: statement 2 (line 1)\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(Q({ "sql", kOrders, "SELECT n FROM s ORDER BY n", "--format", "tsv" }).out, "n\n1\n4\n6\n");

    WriteHostFile(open, "INSERT INTO s VALUES (7, 'g');\nINSERT INTO s VALUES (8, 'it''s);\n");
    r = Q({ "script", kOrders, open.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: script: " + open.string()
            + ", line 2: a quoted text (') is not closed; nothing was run\n");
    WriteHostFile(empty, "-- nothing here\n");
    r = Q({ "script", kOrders, empty.string() });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "quorvane-cli: script: " + empty.string() + " holds no statement; nothing was run\n");
    EXPECT_EQ(Q({ "sql", kOrders, "SELECT COUNT(*) AS c FROM s", "--format", "tsv" }).out, "c\n3\n");
}

TEST(CliVersion, NamesTheProductVersion)
{
    TempDir home { "qve" };
    RunResult r = RunProgram({ Cli().string(), "--version" }, home.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("quorvane-cli (Quorvane) ") + QV_VERSION + "\n");
    r = RunProgram({ Cli().string(), "sql", "-h" }, home.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("Usage: quorvane-cli [--socket PATH] sql [OPTIONS] DB SQL\n")) << r.out;
    r = RunProgram({ Cli().string(), "tabels", "\\a.sdf" }, home.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        "quorvane-cli: unknown command \"tabels\"; did you mean \"tables\"?\nTry 'quorvane-cli --help'.\n");
}

} // namespace
} // namespace e2e
