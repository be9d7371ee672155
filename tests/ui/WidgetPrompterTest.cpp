// The widget prompter: requests from a worker thread become real windows on
// the window thread, with the exact texts, and the worker waits for the
// user's answer.
#include "WindowFixture.h"

#include "desktop/ui/CConnectionErrorDialog.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WidgetPrompter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <atomic>
#include <future>
#include <thread>

using namespace windowtest;
using devlink::PromptAnswer;

namespace {

class WidgetPrompterTest : public WindowTest {
protected:
    ui::WidgetPrompter m_widgets;
};

// Runs `ask` on a worker thread; the future holds its answer.
template <typename F> auto OnWorker(F ask)
{
    return std::async(std::launch::async, ask);
}

template <typename T> bool Ready(const std::future<T>& future)
{
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

TEST_F(WidgetPrompterTest, AWorkersQuestionIsABoxThatWaitsForTheAnswer)
{
    devlink::PromptRequest request;
    request.caption = QStringLiteral("Warning");
    request.text = QStringLiteral("Delete the table ?\r\n\r\nIt cannot be undone.");
    request.icon = devlink::PromptIcon::Warning;
    request.buttons = devlink::PromptButtons::YesNoCancel;
    request.defaultButton = PromptAnswer::No;
    auto answer = OnWorker([&] { return m_widgets.Ask(request); });

    QMessageBox* box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Warning"));
    EXPECT_EQ(box->text(), QStringLiteral("Delete the table ?\n\nIt cannot be undone."));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    QTest::qWait(50);
    EXPECT_FALSE(Ready(answer)) << "the worker went on before the user answered";

    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(answer); }));
    EXPECT_EQ(answer.get(), PromptAnswer::Yes);

    // A box closed without a button changes nothing.
    request.buttons = devlink::PromptButtons::AbortRetryIgnore;
    request.defaultButton.reset();
    auto closed = OnWorker([&] { return m_widgets.Ask(request); });
    box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Abort));
    box->done(0);
    ASSERT_TRUE(WaitFor([&] { return Ready(closed); }));
    EXPECT_EQ(closed.get(), PromptAnswer::Abort);

    // The question of many alike, in the program's words.
    request.buttons = devlink::PromptButtons::YesAllNoAllCancel;
    auto toAll = OnWorker([&] { return m_widgets.Ask(request); });
    box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->button(QMessageBox::YesToAll)->text(), "Yes to &all");
    EXPECT_EQ(box->button(QMessageBox::NoToAll)->text(), "N&o to all");
    QTest::mouseClick(box->button(QMessageBox::NoToAll), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(toAll); }));
    EXPECT_EQ(toAll.get(), PromptAnswer::NoToAll);
}

TEST_F(WidgetPrompterTest, ABoxBelongsToItsOwnerWhileTheOwnerLives)
{
    auto* owner = new QWidget;
    owner->setWindowTitle(QStringLiteral("Owner"));
    owner->show();
    devlink::PromptRequest request;
    request.caption = QStringLiteral("Error");
    request.text = QStringLiteral("Unable to open results file on the device.");
    request.owner = owner;
    auto owned = OnWorker([&] { return m_widgets.Ask(request); });
    QMessageBox* box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->parentWidget(), owner);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(owned); }));

    // The owner closed while the request was on its way: the box stands alone.
    delete owner;
    auto orphan = OnWorker([&] { return m_widgets.Ask(request); });
    box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->parentWidget(), nullptr);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(orphan); }));
    EXPECT_EQ(orphan.get(), PromptAnswer::Ok);
}

TEST_F(WidgetPrompterTest, TheConnectionDialogRetriesByItselfAndNeverWhileTheCallerDoes)
{
    std::atomic<int> tries { 0 };
    devlink::ConnectionErrorRequest request;
    request.caption = QStringLiteral("Connection error");
    request.message = QStringLiteral("Unable to connect to your device.");
    request.advice
        = QStringLiteral("Please make sure your device is connected to your computer, and that there is "
                         "a green (not gray) ActiveSync icon in your taskbar.");
    request.retryIntervalMs = 30;
    request.tryConnect = [&] { return ++tries == 3; };
    auto connected = OnWorker([&] { return m_widgets.AskConnectionError(request); });
    auto* dialog = WaitForWindow<ui::CConnectionErrorDialog>(QStringLiteral("connectionErrorDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Connection error"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("messageLabel"))->text(), request.message);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("adviceLabel"))->text(), request.advice);
    auto* retry = dialog->findChild<QPushButton*>(QStringLiteral("retryButton"));
    EXPECT_EQ(retry->text(), QStringLiteral("&Retry"));
    EXPECT_TRUE(retry->isDefault());
    EXPECT_EQ(
        dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(), QStringLiteral("Cancel"));
    ASSERT_TRUE(WaitFor([&] { return Ready(connected); }));
    EXPECT_EQ(connected.get(), devlink::ConnectionErrorAnswer::Connected);
    EXPECT_EQ(tries, 3);

    // "&Retry" pressed while a try runs: the answer waits for the try, and
    // the try's success wins.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> tryStarted { false };
    request.retryIntervalMs = 10;
    request.tryConnect = [&] {
        tryStarted = true;
        released.wait();
        return true;
    };
    auto waited = OnWorker([&] { return m_widgets.AskConnectionError(request); });
    dialog = WaitForWindow<ui::CConnectionErrorDialog>(QStringLiteral("connectionErrorDialog"));
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(WaitFor([&] { return tryStarted.load(); }));
    retry = dialog->findChild<QPushButton*>(QStringLiteral("retryButton"));
    QTest::mouseClick(retry, Qt::LeftButton);
    EXPECT_FALSE(retry->isEnabled());
    QTest::qWait(50);
    EXPECT_FALSE(Ready(waited));
    release.set_value();
    ASSERT_TRUE(WaitFor([&] { return Ready(waited); }));
    EXPECT_EQ(waited.get(), devlink::ConnectionErrorAnswer::Connected);
}

TEST_F(WidgetPrompterTest, TheSqlErrorDialogGivesBackTheEditedStatement)
{
    devlink::SqlErrorRequest request;
    request.sql = QStringLiteral("SELECT * FROM Custmers");
    request.error = QStringLiteral("The specified table does not exist. [ Custmers ]");
    request.errorCode = QStringLiteral("0x80040e37");
    request.details = QStringLiteral("Native error 28561");
    auto answer = OnWorker([&] { return m_widgets.AskSqlError(request); });
    auto* dialog = WaitForWindow<QDialog>(QStringLiteral("sqlErrorDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("headingLabel"))->text(),
        QStringLiteral("An error occurred whilst trying to run the following SQL:"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("errorText"))->text(), request.error);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("errorCodeText"))->text(), request.errorCode);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("detailsText"))->text(), request.details);
    auto* sql = dialog->findChild<QPlainTextEdit*>(QStringLiteral("sqlEdit"));
    ASSERT_TRUE(sql->isEnabled());
    sql->setPlainText(QStringLiteral("SELECT * FROM Customers"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("retryButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(answer); }));
    const devlink::SqlErrorAnswer given = answer.get();
    EXPECT_TRUE(given.retry);
    EXPECT_EQ(given.sql, QStringLiteral("SELECT * FROM Customers"));

    request.sql = QStringLiteral("Internal command to get details of tables in this database.");
    request.sqlEditable = false;
    auto internal = OnWorker([&] { return m_widgets.AskSqlError(request); });
    dialog = WaitForWindow<QDialog>(QStringLiteral("sqlErrorDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->findChild<QPlainTextEdit*>(QStringLiteral("sqlEdit"))->isEnabled());
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(internal); }));
    EXPECT_FALSE(internal.get().retry);
}

TEST_F(WidgetPrompterTest, TheOverwriteQuestionShowsBothFilesAndReportsItsCheckBoxAtOnce)
{
    devlink::OverwriteRequest request;
    request.fileName = QStringLiteral("notes.txt");
    request.deviceDir = QStringLiteral("\\My Documents");
    request.pcSizeText = QStringLiteral("1,200");
    request.pcTimeText = QStringLiteral("Mar 04 2024  10:11:12");
    request.deviceSizeText = QStringLiteral("900");
    request.deviceTimeText = QStringLiteral("Mar 05 2024  08:00:00");
    request.focusOnNo = true;
    std::vector<bool> toggles;
    request.alwaysOverwriteChanged = [&toggles](bool checked) { toggles.push_back(checked); };
    auto answer = OnWorker([&] { return m_widgets.AskOverwrite(request); });
    auto* dialog = WaitForWindow<QDialog>(QStringLiteral("overwriteDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Overwrite existing file ?"));
    auto label
        = [dialog](const char* name) { return dialog->findChild<QLabel*>(QLatin1String(name))->text(); };
    EXPECT_EQ(
        label("headingLabel"), QStringLiteral("The file \"notes.txt\" already exists in the directory:"));
    EXPECT_EQ(label("directoryLabel"), QStringLiteral("\\My Documents"));
    EXPECT_EQ(label("pcSizeLabel"), QStringLiteral("1,200"));
    EXPECT_EQ(label("pcTimeLabel"), QStringLiteral("Mar 04 2024  10:11:12"));
    EXPECT_EQ(label("deviceSizeLabel"), QStringLiteral("900"));
    EXPECT_EQ(label("deviceTimeLabel"), QStringLiteral("Mar 05 2024  08:00:00"));
    // The PC's copy is the older one: Enter keeps the device's file.
    auto* no = dialog->findChild<QPushButton*>(QStringLiteral("noButton"));
    EXPECT_TRUE(no->isDefault());
    EXPECT_EQ(dialog->findChild<QPushButton*>(QStringLiteral("yesToAllButton"))->text(),
        QStringLiteral("Yes to &all"));
    auto* always = dialog->findChild<QCheckBox*>(QStringLiteral("alwaysOverwriteCheck"));
    QTest::mouseClick(always, Qt::LeftButton);
    QTest::mouseClick(always, Qt::LeftButton);
    EXPECT_EQ(toggles, std::vector<bool>({ true, false })) << "the check box waited for the answer";
    EXPECT_FALSE(Ready(answer));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("yesToAllButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Ready(answer); }));
    EXPECT_EQ(answer.get(), PromptAnswer::YesToAll);

    // Escape is "&Cancel"; focus on "&Yes" when the PC's copy is not older.
    request.focusOnNo = false;
    auto cancelled = OnWorker([&] { return m_widgets.AskOverwrite(request); });
    dialog = WaitForWindow<QDialog>(QStringLiteral("overwriteDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->findChild<QPushButton*>(QStringLiteral("yesButton"))->isDefault());
    dialog->reject();
    ASSERT_TRUE(WaitFor([&] { return Ready(cancelled); }));
    EXPECT_EQ(cancelled.get(), PromptAnswer::Cancel);
}

TEST_F(WidgetPrompterTest, TheRunningApplicationBoxClosesItselfAndNobodyWaits)
{
    m_widgets.SetRunningApplicationMs(300);
    devlink::RunningApplicationNotice notice;
    notice.programPath = QStringLiteral("\\Windows\\calc.exe");
    auto shown = OnWorker([&] {
        m_widgets.ShowRunningApplication(notice);
        return true;
    });
    ASSERT_TRUE(WaitFor([&] { return Ready(shown); })) << "the notice kept its caller waiting";
    auto* box = WaitForWindow<QDialog>(QStringLiteral("runningApplicationBox"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->findChild<QLabel*>(QStringLiteral("runningLabel"))->text(),
        QStringLiteral("Running the application:"));
    EXPECT_EQ(box->findChild<QLabel*>(QStringLiteral("programLabel"))->text(), notice.programPath);
    EXPECT_TRUE(WaitFor([] { return !ShownWindow<QDialog>(QStringLiteral("runningApplicationBox")); }));
}

TEST_F(WidgetPrompterTest, AQuittingProgramAnswersOpenQuestionsSafely)
{
    auto prompter = std::make_unique<ui::WidgetPrompter>();
    devlink::PromptRequest request;
    request.caption = QStringLiteral("Quorvane");
    request.text = QStringLiteral("Do you want to try compacting this database ?");
    request.buttons = devlink::PromptButtons::YesNo;
    auto answer = OnWorker([&] { return prompter->Ask(request); });
    ASSERT_TRUE(WaitForWindow<QMessageBox>(QStringLiteral("promptBox")));
    prompter.reset();
    ASSERT_TRUE(WaitFor([&] { return Ready(answer); }));
    EXPECT_EQ(answer.get(), PromptAnswer::No);
}

TEST_F(WidgetPrompterTest, AWindowsQuestionIsAnsweredLaterAndOnlyToALivingWindow)
{
    devlink::SetPrompter(&m_widgets);
    devlink::PromptRequest request;
    request.caption = QStringLiteral("Quorvane");
    request.text = QStringLiteral("Continue ?");
    request.buttons = devlink::PromptButtons::OkCancel;
    auto context = std::make_unique<QObject>();
    std::optional<PromptAnswer> heard;
    ui::AskFromWindow(request, context.get(), [&](PromptAnswer answer) { heard = answer; });
    QMessageBox* box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    EXPECT_FALSE(heard) << "the answer came before the question was answered";
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return heard.has_value(); }));
    EXPECT_EQ(*heard, PromptAnswer::Ok);

    heard.reset();
    ui::AskFromWindow(request, context.get(), [&](PromptAnswer answer) { heard = answer; });
    box = WaitForWindow<QMessageBox>(QStringLiteral("promptBox"));
    ASSERT_TRUE(box);
    context.reset();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_FALSE(heard) << "a closed window was told the answer";
    devlink::SetPrompter(&m_prompter);
}

} // namespace
