// The Run window and the "Run an application" window on a real device: the
// program started, the fields and parameters kept, the last error line and
// a file that is not on the device.
#include "WindowFixture.h"

#include "desktop/tools/CRunApplicationDialog.h"
#include "desktop/tools/CRunWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace windowtest;
using Kind = devlink::ScriptedPrompter::Kind;

namespace {

class RunWindowsTest : public WindowTest {
protected:
    QString Setting(const QString& name)
    {
        QString value;
        return settings::ReadString(name, &value) ? value : QStringLiteral("<missing>");
    }
};

TEST_F(RunWindowsTest, RunStartsTheProgramKeepsTheFieldsAndShowsTheLastError)
{
    StartAndConnect();
    auto* window = new tools::CRunWindow;
    window->model()->SetLastErrorDelayMs(50);
    window->show();
    auto* filename = window->findChild<QLineEdit*>(QStringLiteral("filenameEdit"));
    auto* parameters = window->findChild<QLineEdit*>(QStringLiteral("parametersEdit"));
    auto* run = window->findChild<QPushButton*>(QStringLiteral("runButton"));
    auto* status = window->findChild<QLabel*>(QStringLiteral("statusLine"));
    EXPECT_EQ(filename->text(), QString());
    QTest::keyClicks(filename, QStringLiteral("\\Windows\\pword.exe"));
    QTest::keyClicks(parameters, QStringLiteral("/new note.txt"));
    QTest::mouseClick(run, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !status->text().isEmpty(); }));
    EXPECT_EQ(
        status->text(), QStringLiteral("Last error: 00000000  ") + devlink::DeviceErrorText(0).trimmed());
    EXPECT_TRUE(run->isEnabled());
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].kind, Kind::RunningApplication);
    EXPECT_EQ(m_prompter.Records()[0].notice.programPath, QStringLiteral("\\Windows\\pword.exe"));
    EXPECT_EQ(Setting(QStringLiteral("RunFilename")), QStringLiteral("\\Windows\\pword.exe"));
    EXPECT_EQ(Setting(QStringLiteral("RunParameters")), QStringLiteral("/new note.txt"));
    delete window;

    // The next window starts from the last run; a file that is not there is
    // said so.
    window = new tools::CRunWindow;
    window->model()->SetLastErrorDelayMs(50);
    window->show();
    filename = window->findChild<QLineEdit*>(QStringLiteral("filenameEdit"));
    EXPECT_EQ(filename->text(), QStringLiteral("\\Windows\\pword.exe"));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("parametersEdit"))->text(),
        QStringLiteral("/new note.txt"));
    filename->setText(QStringLiteral("\\Windows\\nothing.exe"));
    bool finished = false;
    QObject::connect(window->model(), &tools::RunCommandModel::runFinished, [&] { finished = true; });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("runButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return finished; }));
    ASSERT_EQ(m_prompter.Count(), 2);
    EXPECT_EQ(m_prompter.Records()[1].caption, QStringLiteral("Error"));
    EXPECT_TRUE(m_prompter.Records()[1].text.contains(QStringLiteral("\\Windows\\nothing.exe")));
}

TEST_F(RunWindowsTest, RunAnApplicationKeepsOrForgetsItsParameters)
{
    StartAndConnect();
    QObject runner;
    const QString program = QStringLiteral("\\Windows\\pword.exe");
    EXPECT_EQ(tools::ParamsSettingName(program), QStringLiteral("PARAMS__Windows_pword.exe"));

    auto* dialog = new tools::CRunApplicationDialog(program, QStringLiteral("a.txt"), &runner);
    dialog->show();
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("programName"))->text(), program);
    auto* always = dialog->findChild<QCheckBox*>(QStringLiteral("alwaysCheckBox"));
    EXPECT_FALSE(always->isChecked());
    QTest::mouseClick(always, Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Setting(QStringLiteral("PARAMS__Windows_pword.exe")), QStringLiteral("a.txt"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].notice.programPath, program);
    delete dialog;

    // Kept parameters win over the ones given; unticked, they are forgotten.
    dialog = new tools::CRunApplicationDialog(program, QStringLiteral("b.txt"), &runner);
    dialog->show();
    auto* parameters = dialog->findChild<QLineEdit*>(QStringLiteral("parametersEdit"));
    EXPECT_EQ(parameters->text(), QStringLiteral("a.txt"));
    EXPECT_EQ(parameters->selectedText(), QStringLiteral("a.txt"));
    always = dialog->findChild<QCheckBox*>(QStringLiteral("alwaysCheckBox"));
    EXPECT_TRUE(always->isChecked());
    QTest::mouseClick(always, Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    EXPECT_EQ(Setting(QStringLiteral("PARAMS__Windows_pword.exe")), QStringLiteral("<missing>"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 2; }));
    delete dialog;
}

} // namespace
