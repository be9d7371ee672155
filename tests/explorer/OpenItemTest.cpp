// Opening device files from the explorer against a real cedevice: the
// "Unknown file type" dialog with the device's own association, remembered
// methods, a device program run on the file, a copy opened on the PC and
// deleted at the end, and the messages for what cannot be opened.
#include "ViewerRecorder.h"
#include "WindowFixture.h"

#include "desktop/explorer/CUnknownFileTypeDialog.h"
#include "desktop/explorer/FileOpenRules.h"
#include "desktop/explorer/OpenItem.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "tests/support/HostFile.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include <filesystem>

using windowtest::WaitFor;
using Kind = devlink::ScriptedPrompter::Kind;

namespace {

class OpenItemTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        StartAndConnect();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_viewer, "Open");
        m_owner = new QWidget;
        m_opener = new explorer::FileOpener(m_owner);
        QObject::connect(m_opener, &explorer::FileOpener::finished, [this] { ++m_finished; });
        QObject::connect(m_opener, &explorer::FileOpener::fileMissing, [this] { ++m_missing; });
    }
    void TearDown() override
    {
        delete m_owner.data();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        WindowTest::TearDown();
    }

    // The default value of a key of the device's HKEY_CLASSES_ROOT.
    void SetClassDefault(const QString& key, const QString& text)
    {
        const std::u16string name = linktest::U(key);
        HKEY h = 0;
        DWORD disposition = 0;
        ASSERT_EQ(Device().CeRegCreateKeyEx(
                      HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, 0, nullptr, &h, &disposition),
            0);
        ASSERT_EQ(Device().CeRegSetValueEx(h, u"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.utf16()),
                      DWORD((text.size() + 1) * 2)),
            0);
        Device().CeRegCloseKey(h);
    }

    static QString Setting(const QString& name)
    {
        QString text;
        if (!settings::ReadString(reg::HKEY_LOCAL_MACHINE, settings::ExtensionsKey(), name, &text))
            return QStringLiteral("<missing>");
        return text;
    }

    std::string Prompts() const
    {
        std::string out;
        for (const auto& record : m_prompter.Records())
            out += "[" + record.caption.toStdString() + "] " + record.text.toStdString() + "\n";
        return out;
    }

    QPointer<QWidget> m_owner;
    windowtest::ViewerRecorder m_viewer;
    QPointer<explorer::FileOpener> m_opener;
    int m_finished = 0;
    int m_missing = 0;
};

TEST_F(OpenItemTest, AnUnknownTypeAsksOnceAndTheDevicesOwnProgramOpensIt)
{
    SetClassDefault(QStringLiteral(".pwd"), QStringLiteral("pwdfile"));
    SetClassDefault(QStringLiteral("pwdfile"), QStringLiteral("Pocket Word Document"));
    SetClassDefault(QStringLiteral("pwdfile\\Shell\\Open\\Command"), QStringLiteral("pword.exe %1"));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\note.pwd"), "text"));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\Other.PWD"), "text"));

    m_opener->OpenItem(QStringLiteral("\\My Documents\\note.pwd"));
    auto* dialog = windowtest::WaitForWindow<explorer::CUnknownFileTypeDialog>(
        QStringLiteral("unknownFileTypeDialog"));
    ASSERT_TRUE(dialog) << Prompts();
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(QStringLiteral("method1Button"))->isChecked());
    auto* application = dialog->findChild<QLineEdit*>(QStringLiteral("applicationField"));
    EXPECT_EQ(application->text(), QStringLiteral("\\Windows\\pword.exe %1"));
    EXPECT_TRUE(application->isEnabled());
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("descriptionLine"))
                    ->text()
                    .contains(QStringLiteral("Pocket Word Document")));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; })) << Prompts();
    ASSERT_EQ(m_prompter.Count(), 1) << Prompts();
    EXPECT_EQ(m_prompter.Records()[0].kind, Kind::RunningApplication);
    EXPECT_EQ(m_prompter.Records()[0].notice.programPath, QStringLiteral("\\windows\\pword.exe"));
    EXPECT_EQ(Setting(QStringLiteral("pwd")), QStringLiteral("1"));
    EXPECT_EQ(Setting(QStringLiteral("pwd_app")), QStringLiteral("\\Windows\\pword.exe %1"));
    EXPECT_EQ(Setting(QStringLiteral("pwd_process")), QStringLiteral("0"));

    // The same extension in another case is not asked about again.
    m_opener->OpenItem(QStringLiteral("\\My Documents\\Other.PWD"));
    ASSERT_TRUE(WaitFor([&] { return m_finished == 2; })) << Prompts();
    EXPECT_EQ(m_prompter.Count(), 2) << Prompts();
    EXPECT_FALSE(
        windowtest::ShownWindow<explorer::CUnknownFileTypeDialog>(QStringLiteral("unknownFileTypeDialog")));
}

TEST_F(OpenItemTest, TheDialogKeepsAProgramTheDeviceLacksFromBeingRemembered)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\x.abc"), "x"));
    m_opener->OpenItem(QStringLiteral("\\x.abc"));
    auto* dialog = windowtest::WaitForWindow<explorer::CUnknownFileTypeDialog>(
        QStringLiteral("unknownFileTypeDialog"));
    ASSERT_TRUE(dialog);
    // Without a device association the copy to the PC is offered first.
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(QStringLiteral("method0Button"))->isChecked());
    EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("applicationField"))->isEnabled());
    dialog->findChild<QRadioButton*>(QStringLiteral("method1Button"))->click();
    dialog->findChild<QLineEdit*>(QStringLiteral("applicationField"))
        ->setText(QStringLiteral("\\Windows\\None.exe %1"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("The application \"\\windows\\none.exe\" does not exist on the device."));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Setting(QStringLiteral("abc")), QStringLiteral("<missing>"));

    // "Do not attempt" is remembered and opens nothing from then on.
    dialog->findChild<QRadioButton*>(QStringLiteral("method3Button"))->click();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; }));
    EXPECT_EQ(Setting(QStringLiteral("abc")), QStringLiteral("3"));
    m_opener->OpenItem(QStringLiteral("\\x.abc"));
    ASSERT_TRUE(WaitFor([&] { return m_finished == 2; }));
    EXPECT_EQ(m_prompter.Count(), 1) << Prompts();
    EXPECT_TRUE(m_viewer.opened.isEmpty());
}

TEST_F(OpenItemTest, ACopyOpenedOnThePcIsTheDeviceFileAndGoesAtTheEnd)
{
    explorer::StoreOpenMethod(QStringLiteral("txt"), explorer::OpenMethod::CopyToPc);
    const std::string bytes("one\r\ntwo\xff\x00three", 14);
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\notes.TXT"), bytes));
    m_opener->OpenItem(QStringLiteral("\\My Documents\\notes.TXT"));
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; })) << Prompts();
    ASSERT_EQ(m_viewer.opened.size(), 1) << Prompts();
    const std::filesystem::path local = m_viewer.opened[0].toStdString();
    EXPECT_EQ(local.filename(), "notes.TXT");
    EXPECT_EQ(testsupport::ReadHostFile(local), bytes);
    delete m_opener.data();
    EXPECT_FALSE(std::filesystem::exists(local));
}

TEST_F(OpenItemTest, MissingFilesAndProgramsAreReportedInTheirWords)
{
    m_opener->OpenItem(QStringLiteral("\\gone.txt"));
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; }));
    EXPECT_EQ(m_missing, 1);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral(
            "Unable to find the file:\r\n\\gone.txt\r\n\r\nThis file may have been moved or deleted."));

    // Opening on the device with no program named for the extension.
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\a.log"), "x"));
    m_opener->OpenDeviceFile(QStringLiteral("\\a.log"), explorer::OpenMethod::OnDevice);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 2 && m_prompter.Count() == 2; }));
    EXPECT_EQ(m_prompter.Records().last().text,
        QStringLiteral("You have not specified a program to open *.log files with.\r\n\r\n"
                       "Double-click on this filename to specify which program on the device\r\n"
                       "you would like to use to open these files.\r\n"));
    EXPECT_EQ(Setting(QStringLiteral("log")), QStringLiteral("1"));

    // A program that is gone from the device: answering No opens nothing.
    explorer::StoreApplication(QStringLiteral("log"), QStringLiteral("\\Windows\\Gone.exe %1"));
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    m_opener->OpenItem(QStringLiteral("\\a.log"));
    ASSERT_TRUE(WaitFor([&] { return m_finished == 3; }));
    EXPECT_EQ(m_prompter.Records().last().text,
        QStringLiteral(
            "You have chosen to open log files on your device using the application:\r\n\r\n\t"
            "\\windows\\gone.exe\r\n\r\nHowever, this application does not exist on this particular "
            "device.\r\n\r\nDo you want to try and open this using this device's usual application\r\n"
            "for opening *.log files ?\r\n "));
    EXPECT_FALSE(
        windowtest::ShownWindow<explorer::CUnknownFileTypeDialog>(QStringLiteral("unknownFileTypeDialog")));
}

TEST_F(OpenItemTest, AReadOnlyDatabaseOpensOnlyOnceItsFlagIsRemoved)
{
    const QString path = QStringLiteral("\\ro.sdf");
    ASSERT_TRUE(PutDeviceFile(path, "db"));
    const std::u16string name = linktest::U(path);
    ASSERT_TRUE(Device().CeSetFileAttributes(name.c_str(), FILE_ATTRIBUTE_READONLY));
    QStringList ready;
    QObject::connect(
        m_opener, &explorer::FileOpener::databaseReady, [&ready](const QString& p) { ready << p; });

    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    m_opener->OpenDatabase(path);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; }));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Open database"));
    EXPECT_TRUE(m_prompter.Records()[0].text.startsWith(
        QStringLiteral("The database file that you want to open is Read-Only.\r\n\r\n")));
    EXPECT_TRUE(ready.isEmpty());
    EXPECT_TRUE(Device().CeGetFileAttributes(name.c_str()) & FILE_ATTRIBUTE_READONLY);

    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    m_opener->OpenDatabase(path);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 2; }));
    EXPECT_EQ(ready, QStringList({ path }));
    EXPECT_FALSE(Device().CeGetFileAttributes(name.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(OpenItemTest, ADatabaseOpensInANewCopyOfTheProgramWithoutItsPasswordInTheProcessList)
{
    QList<QStringList> started;
    bool starts = true;
    m_opener->SetProgramStarter([&](const QString& program, const QStringList& arguments) {
        started.append(QStringList { program } + arguments);
        return starts;
    });
    // The new copy finds the remembered password itself; on its command
    // line any local user could read it.
    const QString path = QStringLiteral("\\My Documents\\Order Book.sdf");
    ASSERT_TRUE(settings::SetRememberedPassword(path, QStringLiteral("secret")));
    m_opener->OpenDatabaseSeparately(path);
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0], QStringList({ devlink::GetProgramPath(), path }));
    EXPECT_EQ(m_prompter.Count(), 0);

    starts = false;
    m_opener->OpenDatabaseSeparately(path);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records()[0].icon, devlink::PromptIcon::Information);
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("Unable to launch a new copy of our .exe :\r\n%1\r\n").arg(devlink::GetProgramPath()));
    EXPECT_EQ(m_finished, 2);
}

TEST_F(OpenItemTest, ChoosingTheMethodAsksEvenWhenOneIsRememberedAndOpensWithTheChoice)
{
    explorer::StoreOpenMethod(QStringLiteral("ini"), explorer::OpenMethod::DoNotOpen);
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\a.ini"), "[x]"));
    QStringList edited;
    QObject::connect(
        m_opener, &explorer::FileOpener::editFileRequested, [&edited](const QString& p) { edited << p; });
    m_opener->AskMethod(QStringLiteral("\\a.ini"));
    auto* dialog = windowtest::WaitForWindow<explorer::CUnknownFileTypeDialog>(
        QStringLiteral("unknownFileTypeDialog"));
    ASSERT_TRUE(dialog) << Prompts();
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(QStringLiteral("method3Button"))->isChecked());
    dialog->findChild<QRadioButton*>(QStringLiteral("method2Button"))->click();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return m_finished == 1; })) << Prompts();
    EXPECT_EQ(edited, QStringList({ QStringLiteral("\\a.ini") }));
    EXPECT_EQ(Setting(QStringLiteral("ini")), QStringLiteral("2"));
}

} // namespace
