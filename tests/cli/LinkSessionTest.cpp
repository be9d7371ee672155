// What the cli's link sessions add to the desktop link: the prompter that
// never gives up on a silent device by itself.
#include "cli/LinkSession.h"

#include <gtest/gtest.h>

#include <cstdio>

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

// The device's engine names files by their place in the emulator's store;
// the cli shows the device path instead.
TEST(CliDeviceMessages, HostPathsOfTheStoreBecomeDevicePaths)
{
    qputenv("QUORVANE_HOME", "/tmp/qv-home");
    EXPECT_EQ(cli::WithDevicePaths(QStringLiteral(
                  "File already exists. [ File name = /tmp/qv-home/device/files/My Documents/a.sdf ]")),
        QStringLiteral("File already exists. [ File name = \\My Documents\\a.sdf ]"));
    EXPECT_EQ(cli::WithDevicePaths(
                  QStringLiteral("\"/tmp/qv-home/device/files/x.sdf\" and /tmp/qv-home/device/files")),
        QStringLiteral("\"\\x.sdf\" and \\"));
    // A folder whose name only begins like the store is left alone.
    EXPECT_EQ(cli::WithDevicePaths(QStringLiteral("/tmp/qv-home/device/filesystem/a")),
        QStringLiteral("/tmp/qv-home/device/filesystem/a"));
    qunsetenv("QUORVANE_HOME");
}

} // namespace
