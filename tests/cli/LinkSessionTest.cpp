// What the cli's link sessions add to the desktop link: the prompter that
// never gives up on a silent device by itself, and the lock that keeps two
// commands off one device's agent.
#include "cli/LinkSession.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

std::string Printed(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
        text.append(buffer, n);
    return text;
}

TEST(CliPrompterAnswers, YesConfirmsButNeverGivesUpOnASilentDevice)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_TRUE(stream);
    cli::CliPrompter prompter(cli::CliPrompter::Mode::AnswerYes, stream);
    devlink::PromptRequest stuck;
    stuck.caption = QStringLiteral("Warning");
    stuck.text = QStringLiteral(
        "Your device has stopped responding.\r\n\r\nDo you wish to cancel this request ?\r\n");
    stuck.buttons = devlink::PromptButtons::YesNo;
    EXPECT_EQ(prompter.Ask(stuck), devlink::PromptAnswer::No);
    devlink::PromptRequest drop;
    drop.caption = QStringLiteral("Warning");
    drop.text = QStringLiteral("Are you sure you want to delete (DROP) the table \"T\" ?");
    drop.buttons = devlink::PromptButtons::YesNoCancel;
    EXPECT_EQ(prompter.Ask(drop), devlink::PromptAnswer::Yes);
    EXPECT_EQ(prompter.shown(), 2);
    EXPECT_EQ(Printed(stream),
        "Warning: Your device has stopped responding.\n\nDo you wish to cancel this request ?\n[No]\n"
        "Warning: Are you sure you want to delete (DROP) the table \"T\" ?\n[Yes]\n");
    std::fclose(stream);

    cli::CliPrompter safe(cli::CliPrompter::Mode::SafeAnswers, nullptr);
    EXPECT_EQ(safe.Ask(drop), devlink::PromptAnswer::Cancel);
}

class CliDeviceLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const char* old = std::getenv("QUORVANE_HOME");
        m_oldHome = old ? old : "";
        m_hadHome = old != nullptr;
        setenv("QUORVANE_HOME", m_home.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override
    {
        if (m_hadHome)
            setenv("QUORVANE_HOME", m_oldHome.c_str(), 1);
        else
            unsetenv("QUORVANE_HOME");
    }
    QTemporaryDir m_home;
    std::string m_oldHome;
    bool m_hadHome = false;
};

TEST_F(CliDeviceLock, OneCommandPerDeviceAtATime)
{
    const QString usual = cli::DeviceLockPath(QString());
    EXPECT_TRUE(usual.startsWith(m_home.path() + QStringLiteral("/desktop/cache/agent-")))
        << usual.toStdString();
    EXPECT_TRUE(usual.endsWith(QStringLiteral(".lock")));
    EXPECT_EQ(cli::DeviceLockPath(m_home.path() + QStringLiteral("/run/cedevice.sock")), usual);
    EXPECT_NE(cli::DeviceLockPath(QStringLiteral("/tmp/other.sock")), usual);

    cli::CliContext cx;
    cli::ParsedCommand parsed;
    parsed.values.insert(QStringLiteral("timeout"), QStringLiteral("1"));
    auto first = std::make_unique<cli::LinkSession>(cx, parsed);
    ASSERT_TRUE(first->LockDevice());
    {
        cli::LinkSession second(cx, parsed);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(second.LockDevice());
        EXPECT_GE(clock.elapsed(), 900);
    }
    first.reset();
    cli::LinkSession third(cx, parsed);
    EXPECT_TRUE(third.LockDevice());
}

} // namespace
