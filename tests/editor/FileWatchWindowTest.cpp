// The built-in editor's window against a real cedevice: files of both text
// kinds saved back byte for byte beside an existing backup, "Save changes ?"
// answered Cancel, and a change on the device while the text holds unsaved
// edits; saves the device refuses, a file that vanishes while open, and
// Escape with unsaved edits.
#include "WindowFixture.h"

#include "desktop/editor/CFileWatchWindow.h"

#include <QLabel>
#include <QPlainTextEdit>

using windowtest::WaitFor;

namespace {

class FileWatchWindowTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        StartAndConnect();
        m_window = new editor::CFileWatchWindow;
        m_window->watch()->SetInterval(100);
    }

    // Opens `path` and waits for its text.
    bool Open(const QString& path)
    {
        int loads = 0;
        auto c = QObject::connect(m_window->watch(), &editor::FileWatch::loaded, [&loads] { ++loads; });
        m_window->OpenFile(path);
        const bool ok = WaitFor([&] { return loads > 0; });
        QObject::disconnect(c);
        return ok;
    }

    bool SaveAndWait()
    {
        bool done = false, ok = false;
        auto c = QObject::connect(m_window->watch(), &editor::FileWatch::saved, [&](bool saved) {
            done = true;
            ok = saved;
        });
        QTest::keyClick(m_window->textField(), Qt::Key_F2);
        WaitFor([&] { return done; });
        QObject::disconnect(c);
        return ok;
    }

    void TypeAtEnd(const QString& text)
    {
        QPlainTextEdit* field = m_window->textField();
        field->moveCursor(QTextCursor::End);
        QTest::keyClicks(field, text);
    }

    std::string Prompts() const
    {
        std::string out;
        for (const auto& record : m_prompter.Records())
            out += "[" + record.caption.toStdString() + "] " + record.text.toStdString() + "\n";
        return out;
    }

    editor::CFileWatchWindow* m_window = nullptr;
};

std::string Utf16(const QString& text)
{
    return std::string(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

TEST_F(FileWatchWindowTest, BothTextKindsSaveBackByteForByteBesideAnOlderBackup)
{
    const std::string unicode = "\xff\xfe" + Utf16(QStringLiteral("line one\r\nline\ttwo"));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\x.txt"), unicode));
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\x.txt02"), "older"));
    ASSERT_TRUE(Open(QStringLiteral("\\x.txt")));
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("line one\nline\ttwo"));
    EXPECT_EQ(
        m_window->findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(), QStringLiteral("\\x.txt"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("x.txt"));

    TypeAtEnd(QStringLiteral("!"));
    QTest::keyClick(m_window->textField(), Qt::Key_Tab);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("*x.txt"));
    ASSERT_TRUE(SaveAndWait()) << Prompts();
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\x.txt")),
        "\xff\xfe" + Utf16(QStringLiteral("line one\r\nline\ttwo!\t")));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("x.txt"));
    // The backup of this save (x.txt03) went once the file was whole; the older one stays.
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\x.txt02")), "older");
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\x.txt03")));

    const std::string ansi("caf\xe9\r\nna\xefve");
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\y.txt"), ansi));
    ASSERT_TRUE(Open(QStringLiteral("\\y.txt")));
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("caf\u00e9\nna\u00efve"));
    ASSERT_TRUE(SaveAndWait()) << Prompts();
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\y.txt")), ansi);
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(FileWatchWindowTest, CancelOnUnsavedChangesKeepsTheWindowAndNoLeavesTheFile)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\n.txt"), "abc"));
    ASSERT_TRUE(Open(QStringLiteral("\\n.txt")));
    TypeAtEnd(QStringLiteral("d"));
    m_prompter.QueueAnswer(devlink::PromptAnswer::Cancel);
    m_window->close();
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Save"));
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Save changes ?"));
    QTest::qWait(100);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("abcd"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("*n.txt"));

    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    m_window->close();
    ASSERT_TRUE(WaitFor([&] { return !m_window->isVisible(); }));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\n.txt")), "abc");
}

TEST_F(FileWatchWindowTest, ADeviceChangeIsLoadedButNeverOverUnsavedEdits)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\w.txt"), "first"));
    ASSERT_TRUE(Open(QStringLiteral("\\w.txt")));
    // Unedited: the watch takes the new content by itself.
    QTest::qWait(1100);
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\w.txt"), "second"));
    ASSERT_TRUE(WaitFor([&] { return m_window->textField()->toPlainText() == QStringLiteral("second"); }));
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();

    TypeAtEnd(QStringLiteral(" mine"));
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    QTest::qWait(1100);
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\w.txt"), "third"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("\\w.txt has been changed on the device.\r\n\r\n"
                       "Do you want to load it again and lose the changes you made here ?"));
    QTest::qWait(500);
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("second mine"));
    EXPECT_EQ(m_prompter.Count(), 1) << "asked once for one change";

    // Saved over the device's change on purpose.
    ASSERT_TRUE(SaveAndWait()) << Prompts();
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\w.txt")), "second mine");
}

TEST_F(FileWatchWindowTest, AFileTheDeviceWillNotReplaceIsReportedAndStaysAsItWas)
{
    // A read-only file: the save is refused before the file is touched.
    const std::string original = "keep me";
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\ro.txt"), original));
    const std::u16string name = linktest::U(QStringLiteral("\\ro.txt"));
    ASSERT_TRUE(Device().CeSetFileAttributes(name.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Open(QStringLiteral("\\ro.txt")));
    TypeAtEnd(QStringLiteral(" changed"));
    EXPECT_FALSE(SaveAndWait());
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; })) << Prompts();
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("\\ro.txt : Unable to create file.\r\n\r\nError: %1\r\n")
            .arg(devlink::DeviceErrorText(ERROR_ACCESS_DENIED)));
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\ro.txt")), original);
    EXPECT_TRUE(Device().CeGetFileAttributes(name.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\ro.txt02")));
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("keep me changed"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("*ro.txt"));

    // A file in the device's ROM reads as read-only too.
    m_prompter.Clear();
    const QString rom = QStringLiteral("\\Windows\\pword.exe");
    const std::string program = GetDeviceFile(rom);
    ASSERT_FALSE(program.empty());
    ASSERT_TRUE(Open(rom));
    TypeAtEnd(QStringLiteral("x"));
    EXPECT_FALSE(SaveAndWait());
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; })) << Prompts();
    EXPECT_TRUE(m_prompter.Records()[0].text.startsWith(
        QStringLiteral("\\Windows\\pword.exe : Unable to create file.\r\n\r\nError: ")))
        << Prompts();
    EXPECT_EQ(GetDeviceFile(rom), program);
    EXPECT_FALSE(DeviceFileThere(rom + QStringLiteral("02")));
    EXPECT_TRUE(m_window->windowTitle().startsWith(QLatin1Char('*')));
}

TEST_F(FileWatchWindowTest, AFileThatVanishesKeepsItsTextAndASaveWritesItAnew)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\v.txt"), "still here"));
    ASSERT_TRUE(Open(QStringLiteral("\\v.txt")));
    const std::u16string name = linktest::U(QStringLiteral("\\v.txt"));
    ASSERT_TRUE(Device().CeDeleteFile(name.c_str()));
    // The watch says so once, however often it looks, and leaves the text.
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; })) << Prompts();
    EXPECT_TRUE(m_prompter.Records()[0].text.startsWith(
        QStringLiteral("\\v.txt : Could not find this file.\r\n\r\nError: ")))
        << Prompts();
    QTest::qWait(500);
    EXPECT_EQ(m_prompter.Count(), 1) << Prompts();
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("still here"));
    EXPECT_TRUE(m_window->isVisible());

    TypeAtEnd(QStringLiteral("!"));
    ASSERT_TRUE(SaveAndWait()) << Prompts();
    EXPECT_EQ(GetDeviceFile(QStringLiteral("\\v.txt")), "still here!");
    EXPECT_FALSE(DeviceFileThere(QStringLiteral("\\v.txt02")));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("v.txt"));
}

TEST_F(FileWatchWindowTest, EscapeAsksAboutUnsavedEditsLikeExit)
{
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\e.txt"), "abc"));
    ASSERT_TRUE(Open(QStringLiteral("\\e.txt")));
    TypeAtEnd(QStringLiteral("d"));
    m_prompter.QueueAnswer(devlink::PromptAnswer::Cancel);
    QTest::keyClick(m_window->textField(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Save changes ?"));
    QTest::qWait(100);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(m_window->textField()->toPlainText(), QStringLiteral("abcd"));
}

} // namespace
