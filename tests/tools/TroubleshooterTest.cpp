// The troubleshooting log window on a real device's agent log: the split of
// each line, F5, the export's exact bytes and the file that cannot be made.
#include "WindowFixture.h"

#include "desktop/settings/WindowRect.h"
#include "desktop/tools/CTroubleshooterWindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTreeView>

using namespace windowtest;
using tools::LogRow;

namespace {

class TroubleshooterTest : public WindowTest {
protected:
    void PlantLog(const QList<QPair<QString, QString>>& lines)
    {
        const QString key = QStringLiteral("\\SOFTWARE\\Quorvane\\Debug");
        DeleteDeviceKey(key);
        for (const auto& line : lines)
            ASSERT_TRUE(SetDeviceString(key, line.first, line.second));
    }

    tools::CTroubleshooterWindow* Open()
    {
        auto* window = new tools::CTroubleshooterWindow;
        EXPECT_TRUE(WaitFor([window] { return !window->model()->isRefreshing(); }));
        return window;
    }

    static QByteArray Utf16(const QString& text)
    {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
};

TEST(LogLine, SplitsAtTheFirstDashOnly)
{
    EXPECT_EQ(tools::SplitLogLine(
                  QStringLiteral("004"), QStringLiteral("10:05:07 - Opening database - test.sdf  ok.")),
        (LogRow { QStringLiteral("004"), QStringLiteral("10:05:07"),
            QStringLiteral("Opening database - test.sdf  ok.") }));
    EXPECT_EQ(tools::SplitLogLine(QStringLiteral("005"), QStringLiteral("no time here")),
        (LogRow { QStringLiteral("005"), QString(), QStringLiteral("no time here") }));
    EXPECT_EQ(tools::ExportBytes({}), QByteArray());
}

TEST_F(TroubleshooterTest, ShowsTheAgentsLogAndReadsItAgainOnF5)
{
    StartAndConnect();
    PlantLog({ { QStringLiteral("000"), QStringLiteral("9:41:00 - Quorvane2005 started") },
        { QStringLiteral("001"),
            QStringLiteral("9:41:01 - Opening \\My Documents\\Orders.sdf - first try  ok.") } });
    tools::CTroubleshooterWindow* window = Open();
    auto* list = window->findChild<QTreeView*>(QStringLiteral("logList"));
    ASSERT_TRUE(list);
    QAbstractItemModel* model = list->model();
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Time"));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Status"));
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("001"));
    EXPECT_EQ(model->index(1, 1).data().toString(), QStringLiteral("9:41:01"));
    EXPECT_EQ(model->index(1, 2).data().toString(),
        QStringLiteral("Opening \\My Documents\\Orders.sdf - first try  ok."));

    // A new run of the agent: the window follows only when asked.
    PlantLog({ { QStringLiteral("000"), QStringLiteral("9:42:00 - Done.") } });
    EXPECT_EQ(model->rowCount(), 2);
    window->show();
    QTest::keyClick(list, Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return !window->model()->isRefreshing() && model->rowCount() == 1; }));
    EXPECT_EQ(model->index(0, 2).data().toString(), QStringLiteral("Done."));

    // No log at all (and no device): an empty list, and nothing said.
    DeleteDeviceKey(QStringLiteral("\\SOFTWARE\\Quorvane\\Debug"));
    window->RefreshDisplay();
    ASSERT_TRUE(WaitFor([&] { return !window->model()->isRefreshing(); }));
    EXPECT_EQ(model->rowCount(), 0);
    StopDevice();
    window->RefreshDisplay();
    ASSERT_TRUE(WaitFor([&] { return !window->model()->isRefreshing(); }));
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(TroubleshooterTest, ExportWritesTimeAndStatusAsUtf16WithoutAMark)
{
    StartAndConnect();
    PlantLog({ { QStringLiteral("000"), QStringLiteral("9:41:00 - Quorvane2005 started") },
        { QStringLiteral("001"), QStringLiteral("no separator \u00e9") } });
    tools::CTroubleshooterWindow* window = Open();
    window->show();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("exportButton")), Qt::LeftButton);
    auto* dialog = window->findChild<QFileDialog*>(QStringLiteral("exportFileDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    EXPECT_EQ(dialog->nameFilters(),
        QStringList({ QStringLiteral("Text files (*.txt)"), QStringLiteral("All Files (*)") }));
    EXPECT_EQ(dialog->selectedFiles().value(0).section(QLatin1Char('/'), -1),
        QStringLiteral("Quorvane - logging.txt"));
    const QString path = QString::fromStdString((home() / "log.txt").string());
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept(); // as its "Save" button does
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        file.readAll(), Utf16(QStringLiteral("9:41:00  Quorvane2005 started\r\n  no separator \u00e9\r\n")));

    // A file that cannot be made is said so, and nothing else is touched.
    const QString unwritable
        = QString::fromStdString((home() / "no" / "such" / "folder" / "log.txt").string());
    EXPECT_FALSE(window->model()->Export(unwritable));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("exportButton")), Qt::LeftButton);
    dialog = window->findChild<QFileDialog*>(QStringLiteral("exportFileDialog"));
    ASSERT_TRUE(dialog);
    emit dialog->fileSelected(unwritable);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Could not open this file for writing."));
    EXPECT_EQ(m_prompter.Records()[0].icon, devlink::PromptIcon::Warning);
    EXPECT_FALSE(QDir(QString::fromStdString((home() / "no").string())).exists());
}

TEST_F(TroubleshooterTest, AnEmptyLogExportsAnEmptyFileAndTheWindowKeepsItsPlace)
{
    settings::WriteString(QStringLiteral("TroubleshooterWindow"), QStringLiteral("20,30,520,330"));
    tools::CTroubleshooterWindow* window = Open();
    EXPECT_EQ(window->geometry(), QRect(20, 30, 500, 300));
    const QString path = QString::fromStdString((home() / "empty.txt").string());
    ASSERT_TRUE(window->model()->Export(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 0);

    window->show();
    window->setGeometry(60, 70, 400, 200);
    window->hide();
    settings::WindowRect stored;
    ASSERT_TRUE(settings::LoadWindowRect(QStringLiteral("TroubleshooterWindow"), &stored));
    EXPECT_EQ(settings::ToQRect(stored), QRect(60, 70, 400, 200));
}

} // namespace
