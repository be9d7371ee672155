// The explorer's database dialogs against a real device: "Create a new
// database file..." with its password check, and "Compact a database" with
// its timer line and report, also when the device is lost meanwhile.
#include "DatabaseFixture.h"

#include "desktop/database/CCompactDialog.h"
#include "desktop/database/CNewDatabaseDialog.h"
#include "desktop/database/DatabaseCompaction.h"
#include "tests/support/HostFile.h"

#include <utility>

using namespace databasetest;
using windowtest::WaitFor;

namespace {

class DatabaseDialogsTest : public DatabaseWindowTest {
protected:
    bool WaitForPrompts(int count) const
    {
        return WaitFor([this, count] { return m_prompter.Count() >= count; }, 60000);
    }

    static void Fill(QWidget* dialog, const char* field, const QString& text)
    {
        auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(field));
        ASSERT_TRUE(edit) << field;
        edit->setText(text);
    }

    static void Click(QWidget* dialog, const char* button)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
};

TEST_F(DatabaseDialogsTest, NewDatabaseChecksThePasswordTwiceAndAPasswordProtectsIt)
{
    auto* dialog = new database::CNewDatabaseDialog(QStringLiteral("\\My Documents"));
    dialog->show();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameField"));
    EXPECT_EQ(name->text(), QStringLiteral("\\My Documents\\database.sdf"));

    Fill(dialog, "passwordField", QStringLiteral("pw"));
    Fill(dialog, "repeatPasswordField", QStringLiteral("wp"));
    Click(dialog, "createButton");
    ASSERT_TRUE(WaitForPrompts(1));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("Error: The two passwords you have entered are not the same.\r\n\r\n"
                       "If you wish to have this database file password-protected, please make \r\n"
                       "sure these two password entries both contain your new password.\r\n\r\n"));
    EXPECT_EQ(
        dialog->findChild<QLineEdit*>(QStringLiteral("passwordField"))->selectedText(), QStringLiteral("pw"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(DeviceFileThere(name->text()));

    Fill(dialog, "repeatPasswordField", QStringLiteral("pw"));
    Click(dialog, "createButton");
    ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }, 60000)) << Prompts();
    const QString made = QStringLiteral("\\My Documents\\database.sdf");
    EXPECT_EQ(Ask(QStringLiteral("CREATE TABLE T (a int)"), made, QStringLiteral("pw")),
        QStringLiteral("<no rows>"));
    m_prompter.Clear();
    EXPECT_TRUE(Ask(QStringLiteral("SELECT * FROM T"), made).startsWith(QLatin1String("<failed")));

    // Both fields empty: no password. A file that is there already is
    // reported and the dialog stays.
    m_prompter.Clear();
    auto* second = new database::CNewDatabaseDialog(QStringLiteral("\\"));
    second->show();
    Fill(second, "fileNameField", QStringLiteral("\\Open.sdf"));
    Click(second, "createButton");
    ASSERT_TRUE(WaitFor([&] { return !second->isVisible(); }, 60000)) << Prompts();
    EXPECT_EQ(Ask(QStringLiteral("CREATE TABLE T (a int)"), QStringLiteral("\\Open.sdf")),
        QStringLiteral("<no rows>"));
    second->show();
    Click(second, "createButton");
    ASSERT_TRUE(WaitForPrompts(1)) << Prompts();
    EXPECT_EQ(m_prompter.Records().last().caption, QStringLiteral("Error"));
    EXPECT_TRUE(m_prompter.Records().last().text.startsWith(
        QStringLiteral("Unable to create the database file \"\\Open.sdf\".")))
        << Prompts();
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(
        Ask(QStringLiteral("SELECT COUNT(*) FROM T"), QStringLiteral("\\Open.sdf")), QStringLiteral("0"));
}

TEST_F(DatabaseDialogsTest, CompactDialogShowsItsTimerAndReportsThenCloses)
{
    const std::filesystem::path host = store() / "files" / "My Documents" / "Orders.sdf";
    Exec(QStringLiteral("DELETE FROM [Order Details]"));
    const auto before = std::filesystem::file_size(host);
    auto* dialog = new database::CCompactDialog(kOrders);
    dialog->show();
    EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("directoryField"))->text(),
        QStringLiteral("\\My Documents"));
    EXPECT_EQ(
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameField"))->text(), QStringLiteral("Orders.sdf"));
    Click(dialog, "compactButton");
    EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("compactButton"))->isVisible());
    EXPECT_EQ(Text(dialog, "statusLine"), QStringLiteral("00:00  Compacting \"Orders.sdf\"..."));
    ASSERT_TRUE(WaitForPrompts(1)) << Prompts();
    ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
    const auto after = std::filesystem::file_size(host);
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records()[0].icon, devlink::PromptIcon::Information);
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("Compact was successful.\r\n\r\nFilesize before:\t%1\r\nFilesize after:\t%2\r\n\r\n")
            .arg(before)
            .arg(after));

    // A file the engine cannot open is not compacted, and stays as it was.
    m_prompter.Clear();
    const std::string junk(4096, 'x');
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\Junk.sdf"), junk));
    auto* failing = new database::CCompactDialog(QStringLiteral("\\My Documents\\Junk.sdf"));
    failing->show();
    Click(failing, "compactButton");
    ASSERT_TRUE(WaitFor([&] { return !failing->isVisible(); }, 60000)) << Prompts();
    EXPECT_EQ(m_prompter.Records().last().text, QStringLiteral("The database Compact was not successful. "))
        << Prompts();
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\My Documents\\Junk.sdf")), junk);
}

TEST_F(DatabaseDialogsTest, ACompactionCutShortByALostDeviceFailsAndLeavesTheDatabaseAlone)
{
    const std::filesystem::path host = store() / "files" / "My Documents" / "Orders.sdf";
    Exec(QStringLiteral("DELETE FROM [Order Details]"));
    const std::string before = testsupport::ReadHostFile(host);
    ASSERT_FALSE(before.empty());
    auto* dialog = new database::CCompactDialog(kOrders);
    auto* compaction = dialog->findChild<database::DatabaseCompaction*>();
    ASSERT_TRUE(compaction);
    // The device goes as soon as the compaction has begun (its size is read).
    bool stopped = false;
    QObject::connect(compaction, &database::DatabaseCompaction::sizeRead, dialog, [&] {
        if (!std::exchange(stopped, true))
            StopDevice();
    });
    dialog->show();
    Click(dialog, "compactButton");
    ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }, 120000)) << Prompts();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(compaction->succeeded());
    ASSERT_GE(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().last().caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records().last().text, QStringLiteral("The database Compact was not successful. "))
        << Prompts();
    EXPECT_EQ(testsupport::ReadHostFile(host), before);
}

} // namespace
