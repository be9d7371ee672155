#include "RunnerFixture.h"

#include <algorithm>

using namespace agenttest;

namespace {

std::vector<std::string> Without(std::vector<std::string> lines, std::string_view prefix)
{
    std::erase_if(lines, [&](const std::string& l) { return l.starts_with(prefix); });
    return lines;
}

} // namespace

TEST_F(RunnerTest, OpeningLogsEveryStepWithItsVerdict)
{
    Database({ "CREATE TABLE T (a int)" }, 2);
    Run("SELECT a FROM T", 2);
    EXPECT_TRUE(ok) << ErrorText();
    auto lines = status.LogLines();
    std::vector<std::string> head(lines.begin(), lines.begin() + 15);
    EXPECT_EQ(head,
        (std::vector<std::string> { "Running SQL script..", "SELECT a FROM T", "Running SQL command...",
            "Running CoInitializeEx()..  ok.", "Creating SQL provider...  ok.", "Setting properties..  ok.",
            "Opening data source using SQLCE 2.0 libraries..  ok.", "Opening session..  ok.",
            "Opening table...  ok.", "Creating command & properties..", "Setting properties.",
            "Preparing to run \"SELECT * FROM..\" command.", "Running SQL: \"SELECT a FROM T\"..",
            "Opening command..  ok.", "Getting record count..  ok." }));
    EXPECT_EQ(lines.back(), "Closing data source..");
}

TEST_F(RunnerTest, Engine20AgentHandsAnEngine30DatabaseOver)
{
    Database({ "CREATE TABLE T (a int)" }, 3);
    Run("SELECT a FROM T", 2);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(context->needsEngine3);
    EXPECT_EQ(ErrorText(), "Unable to open this database.");
    auto lines = status.LogLines();
    EXPECT_EQ(lines[lines.size() - 2], "Opening data source using SQLCE 2.0 libraries..  failed.");
    EXPECT_EQ(lines.back(), "Need to run the SQLCE3.0 version.");
    // No error records were read.
    EXPECT_TRUE(Without(lines, "Number of error records") == lines);
}

TEST_F(RunnerTest, Engine30AgentReportsTheWrongPassword)
{
    Database({ "CREATE TABLE T (a int)" }, 3, u"secret");
    Run("SELECT a FROM T", 3, u"wrong");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(context->needsEngine3);
    EXPECT_TRUE(ErrorText().starts_with("Unable to open this database.\r\n0x80040e4d\r\n")) << ErrorText();
    EXPECT_NE(ErrorText().find("database password"), std::string::npos);
    auto lines = status.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Cannot open this .sdf file."), lines.end());
    // With the right password it opens.
    Run("SELECT a FROM T", 3, u"secret");
    EXPECT_TRUE(ok) << ErrorText();
}

TEST_F(RunnerTest, Engine20AgentWithoutItsEngineTriesEngine30)
{
    Database({ "CREATE TABLE T (a int)" }, 2);
    engine20Installed = false;
    Run("SELECT a FROM T", 2);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(context->needsEngine3);
    EXPECT_EQ(ErrorText(), "");
    auto lines = status.LogLines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
        (std::vector<std::string> { "Creating SQL provider...  failed.",
            "Running CoCreateInstance for SQLCE 3.0..  ok.", "Need to run SQLCE3.0 version." }));
}

TEST_F(RunnerTest, NoEngineInstalledSaysSo)
{
    Database({ "CREATE TABLE T (a int)" }, 2);
    engine20Installed = false;
    engine30Installed = false;
    Run("SELECT a FROM T", 2);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(context->needsEngine3);
    EXPECT_EQ(ErrorText(), "SQLCE is not installed on this device.\r\n0x80040154\r\nClass not registered.");
    auto lines = status.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Running CoCreateInstance for SQLCE 3.0..  failed."),
        lines.end());
    Run("SELECT a FROM T", 3);
    EXPECT_EQ(ErrorText(), "SQLCE is not installed on this device.\r\n0x80040154\r\nClass not registered.");
    lines = status.LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "SQLCE is not installed on this device."), 2);
}

TEST_F(RunnerTest, Engine20AgentOpensItsOwnDatabase)
{
    Database({ "CREATE TABLE T (a int)", "INSERT INTO T VALUES (4)" }, 2);
    EXPECT_EQ(S(Run("SELECT a FROM T", 2)), "<Success>\r\nCols: 1\r\na\t\r\nint\t\r\n\t\r\n4\t\r\n<end>\r\n");
    EXPECT_FALSE(context->needsEngine3);
}
