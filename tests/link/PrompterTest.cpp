// The prompt interface: the command-line prompter's answers and printed
// texts, and the scripted prompter's queue and records.
#include "desktop/link/NonInteractivePrompter.h"
#include "desktop/link/ScriptedPrompter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace devlink;

namespace {

std::string ReadAll(std::FILE* f)
{
    std::rewind(f);
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    return out;
}

PromptRequest Box(PromptButtons buttons, const QString& text = QStringLiteral("t"))
{
    PromptRequest r;
    r.caption = QStringLiteral("Warning");
    r.text = text;
    r.buttons = buttons;
    return r;
}

TEST(NonInteractivePrompterTest, SafeAnswersChangeNothing)
{
    NonInteractivePrompter p(NonInteractivePrompter::Mode::SafeAnswers, nullptr);
    EXPECT_EQ(p.Ask(Box(PromptButtons::Ok)), PromptAnswer::Ok);
    EXPECT_EQ(p.Ask(Box(PromptButtons::OkCancel)), PromptAnswer::Cancel);
    EXPECT_EQ(p.Ask(Box(PromptButtons::YesNo)), PromptAnswer::No);
    EXPECT_EQ(p.Ask(Box(PromptButtons::YesNoCancel)), PromptAnswer::Cancel);
    EXPECT_EQ(p.Ask(Box(PromptButtons::RetryCancel)), PromptAnswer::Cancel);
    EXPECT_EQ(p.Ask(Box(PromptButtons::AbortRetryIgnore)), PromptAnswer::Abort);
}

TEST(NonInteractivePrompterTest, YesModeAnswersYesOrOkButNeverRetries)
{
    NonInteractivePrompter p(NonInteractivePrompter::Mode::AnswerYes, nullptr);
    EXPECT_EQ(p.Ask(Box(PromptButtons::OkCancel)), PromptAnswer::Ok);
    EXPECT_EQ(p.Ask(Box(PromptButtons::YesNo)), PromptAnswer::Yes);
    EXPECT_EQ(p.Ask(Box(PromptButtons::YesNoCancel)), PromptAnswer::Yes);
    EXPECT_EQ(p.Ask(Box(PromptButtons::RetryCancel)), PromptAnswer::Cancel);
    EXPECT_EQ(p.Ask(Box(PromptButtons::AbortRetryIgnore)), PromptAnswer::Abort);
    SqlErrorRequest sql;
    sql.sql = QStringLiteral("SELECT 1");
    SqlErrorAnswer answer = p.AskSqlError(sql);
    EXPECT_FALSE(answer.retry);
    EXPECT_EQ(answer.sql, QStringLiteral("SELECT 1"));
    ConnectionErrorRequest connection;
    int attempts = 0;
    connection.tryConnect = [&] { return ++attempts > 0; };
    EXPECT_EQ(p.AskConnectionError(connection), ConnectionErrorAnswer::Cancel);
    EXPECT_EQ(attempts, 0);
}

TEST(NonInteractivePrompterTest, PrintsCaptionAndTextWithLineFeeds)
{
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    NonInteractivePrompter p(NonInteractivePrompter::Mode::SafeAnswers, f);
    PromptRequest r = Box(PromptButtons::Ok, QStringLiteral("Line one.\r\nLine two.\r\n\r\n"));
    r.caption = QStringLiteral("Error");
    p.Ask(r);
    p.Ask(Box(PromptButtons::YesNo,
        QStringLiteral("Your device has stopped responding.\r\n\r\n"
                       "Do you wish to cancel this request ?\r\n")));
    p.ShowRunningApplication({ QStringLiteral("\\x.exe"), QString(), false });
    SqlErrorRequest sql;
    sql.sql = QStringLiteral("SELEC 1");
    sql.error = QStringLiteral("Database error");
    sql.details = QStringLiteral("Unable to open this database.");
    p.AskSqlError(sql);
    EXPECT_EQ(ReadAll(f),
        "Error: Line one.\nLine two.\n"
        "Warning: Your device has stopped responding.\n\nDo you wish to cancel this request ?\n[No]\n"
        "An error occurred whilst trying to run the following SQL:\nSELEC 1\nError: Database error\n"
        "Error code: \nDetails: Unable to open this database.\n");
    std::fclose(f);
}

TEST(ScriptedPrompterTest, AnswersInOrderAndRecordsEveryPrompt)
{
    ScriptedPrompter p;
    p.QueueAnswer(PromptAnswer::Yes);
    p.QueueAnswer(PromptAnswer::Retry);
    PromptRequest first = Box(PromptButtons::YesNo, QStringLiteral("one"));
    first.icon = PromptIcon::Question;
    EXPECT_EQ(p.Ask(first), PromptAnswer::Yes);
    EXPECT_EQ(p.Ask(Box(PromptButtons::RetryCancel, QStringLiteral("two"))), PromptAnswer::Retry);
    EXPECT_EQ(p.UnexpectedCount(), 0);
    auto records = p.Records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(records[0].text, QStringLiteral("one"));
    EXPECT_EQ(records[0].icon, PromptIcon::Question);
    EXPECT_EQ(records[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(records[1].answer, PromptAnswer::Retry);
}

TEST(ScriptedPrompterTest, MissingOrUnofferedAnswersAreUnexpectedAndSafe)
{
    ScriptedPrompter p;
    EXPECT_EQ(p.Ask(Box(PromptButtons::YesNo)), PromptAnswer::No);
    p.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(p.Ask(Box(PromptButtons::RetryCancel)), PromptAnswer::Cancel);
    EXPECT_EQ(p.UnexpectedCount(), 2);
    EXPECT_EQ(p.PendingAnswers(), 1);
    SqlErrorRequest sql;
    sql.sql = QStringLiteral("x");
    EXPECT_FALSE(p.AskSqlError(sql).retry);
    EXPECT_EQ(p.UnexpectedCount(), 3);
}

TEST(ScriptedPrompterTest, ConnectedAnswerKeepsTryingUntilTheDeviceAnswers)
{
    ScriptedPrompter p;
    p.QueueConnectionAnswer(ConnectionErrorAnswer::Connected, 5);
    p.QueueConnectionAnswer(ConnectionErrorAnswer::Connected, 2);
    ConnectionErrorRequest r;
    r.retryIntervalMs = 1;
    int attempts = 0;
    r.tryConnect = [&] { return ++attempts == 3; };
    EXPECT_EQ(p.AskConnectionError(r), ConnectionErrorAnswer::Connected);
    EXPECT_EQ(attempts, 3);
    attempts = 10;
    EXPECT_EQ(p.AskConnectionError(r), ConnectionErrorAnswer::Cancel);
    EXPECT_EQ(attempts, 12);
}

TEST(ScriptedPrompterTest, SqlErrorAnswerCarriesTheEditedSql)
{
    ScriptedPrompter p;
    p.QueueSqlErrorAnswer(true, QStringLiteral("SELECT 2"));
    p.QueueSqlErrorAnswer(true);
    SqlErrorRequest r;
    r.sql = QStringLiteral("SELECT 1");
    r.error = QStringLiteral("e");
    r.errorCode = QStringLiteral("c");
    r.details = QStringLiteral("d");
    SqlErrorAnswer a = p.AskSqlError(r);
    EXPECT_TRUE(a.retry);
    EXPECT_EQ(a.sql, QStringLiteral("SELECT 2"));
    EXPECT_EQ(p.AskSqlError(r).sql, QStringLiteral("SELECT 1"));
    EXPECT_EQ(p.Records()[0].text, QStringLiteral("e\nc\nd"));
    EXPECT_EQ(p.Records()[0].sqlError.sql, QStringLiteral("SELECT 1"));
}

TEST(PrompterTest, CurrentPrompterFallsBackToTheNonInteractiveOne)
{
    ScriptedPrompter scripted;
    SetPrompter(&scripted);
    scripted.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(
        ShowMessage(QStringLiteral("c"), QStringLiteral("t"), PromptIcon::Question, PromptButtons::YesNo),
        PromptAnswer::Yes);
    SetPrompter(nullptr);
    EXPECT_NE(dynamic_cast<NonInteractivePrompter*>(&CurrentPrompter()), nullptr);
    EXPECT_EQ(scripted.Count(), 1);
}

} // namespace
