// The built-in editor's window against a real cedevice: files of both text
// kinds saved back byte for byte beside an existing backup, "Save changes ?"
// answered Cancel, and a change on the device while the text holds unsaved
// edits.
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

} // namespace
