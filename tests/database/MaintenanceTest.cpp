// The database window's maintenance commands against the demo databases:
// drop with its question, rename by editing the tree label, the CREATE TABLE
// text handed to the desktop's viewer, compaction with its size report, and
// a table window exported to a UTF-16 text file.
#include "DatabaseFixture.h"
#include "ViewerRecorder.h"

#include "desktop/database/MaintenanceFiles.h"
#include "desktop/database/TableMaintenance.h"
#include "desktop/link/CompactReport.h"
#include "tests/support/HostFile.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

using namespace databasetest;
using windowtest::WaitFor;

namespace {

class MaintenanceTest : public DatabaseWindowTest {
protected:
    void SetUp() override
    {
        DatabaseWindowTest::SetUp();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_viewer, "Open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        DatabaseWindowTest::TearDown();
    }

    database::DatabaseWindow* OpenDatabaseWindow()
    {
        auto* window = new database::DatabaseWindow(QString(), kOrders, QString(), false, false, QString());
        window->show();
        EXPECT_TRUE(WaitIdle(window)) << Status(window);
        return window;
    }

    // Picks `entry` of the tree menu of the item labelled `label`.
    static void PickTreeEntry(database::DatabaseWindow* window, const QString& label, const QString& entry)
    {
        QTreeView* tree = Tree(window);
        const QModelIndex item = label.isEmpty() ? tree->model()->index(0, 0) : TreeItem(window, label);
        ASSERT_TRUE(item.isValid()) << label.toStdString();
        tree->scrollTo(item);
        delete window->findChild<QMenu*>(QStringLiteral("treeMenu"));
        emit tree->customContextMenuRequested(tree->visualRect(item).center());
        QMenu* menu = window->findChild<QMenu*>(QStringLiteral("treeMenu"));
        ASSERT_TRUE(menu);
        QAction* action = Action(menu, entry);
        ASSERT_TRUE(action) << entry.toStdString();
        action->trigger();
    }

    // Types `name` over the label being edited in the tree, and Enter.
    static void TypeTreeLabel(database::DatabaseWindow* window, const QString& name)
    {
        QLineEdit* editor = nullptr;
        ASSERT_TRUE(
            WaitFor([&] { return (editor = Tree(window)->viewport()->findChild<QLineEdit*>()) != nullptr; }));
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, name);
        QTest::keyClick(editor, Qt::Key_Return);
    }

    bool WaitForPrompts(int count) const
    {
        return WaitFor([this, count] { return m_prompter.Count() >= count; });
    }

    // The CREATE TABLE text the viewer was asked to open last.
    QString ViewedSchema() const
    {
        if (m_viewer.opened.isEmpty())
            return QStringLiteral("<nothing opened>");
        return QString::fromUtf8(testsupport::ReadHostFile(m_viewer.opened.last().toStdString()));
    }

    windowtest::ViewerRecorder m_viewer;
};

TEST_F(MaintenanceTest, DropAsksFirstAndTheItemAboveTakesTheSelection)
{
    database::DatabaseWindow* window = OpenDatabaseWindow();
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    PickTreeEntry(window, QStringLiteral("EventLog"), QStringLiteral("Delete table \"EventLog\""));
    ASSERT_TRUE(WaitForPrompts(1));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral("Are you sure you want to delete (DROP) the table \"EventLog\" ?\r\n\r\n"
                       "This action is NOT undo-able."));
    EXPECT_EQ(m_prompter.Records()[0].defaultButton, devlink::PromptAnswer::No);
    EXPECT_TRUE(TreeItem(window, QStringLiteral("EventLog")).isValid());
    EXPECT_EQ(
        Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog")).startsWith(QLatin1String("<failed")), false);

    const int above = TreeItem(window, QStringLiteral("EventLog")).row() - 1;
    const QString aboveLabel
        = Tree(window)->model()->index(above, 0, Tree(window)->model()->index(0, 0)).data().toString();
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    PickTreeEntry(window, QStringLiteral("EventLog"), QStringLiteral("Delete table \"EventLog\""));
    ASSERT_TRUE(WaitFor([&] { return !TreeItem(window, QStringLiteral("EventLog")).isValid(); }, 60000))
        << Prompts();
    EXPECT_EQ(Tree(window)->currentIndex().data().toString(), aboveLabel);
    EXPECT_TRUE(Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog")).startsWith(QLatin1String("<failed")));
}

TEST_F(MaintenanceTest, RenameInTheTreeTakesTheNewNameOnlyWhenTheDeviceRenamed)
{
    const QString products = Ask(QStringLiteral("SELECT COUNT(*) FROM Products"));
    database::DatabaseWindow* window = OpenDatabaseWindow();
    PickTreeEntry(window, QStringLiteral("Products"), QStringLiteral("Rename table \"Products\""));
    TypeTreeLabel(window, QStringLiteral("Goods"));
    ASSERT_TRUE(WaitFor([&] { return TreeItem(window, QStringLiteral("Goods")).isValid(); }, 60000))
        << Prompts();
    EXPECT_FALSE(TreeItem(window, QStringLiteral("Products")).isValid());
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Table rename successful."));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Goods")), products);
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();

    // Onto a name that is taken: refused, the tree keeps the old name.
    PickTreeEntry(window, QStringLiteral("Goods"), QStringLiteral("Rename table \"Goods\""));
    TypeTreeLabel(window, QStringLiteral("Orders"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() > 0 && !window->isBusy(); }, 60000));
    const auto records = m_prompter.Records();
    EXPECT_EQ(records.last().caption, QStringLiteral("Error"));
    EXPECT_EQ(records.last().text, QStringLiteral("Unable to rename table from \"Goods\" to \"Orders\""));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Table rename failed."));
    EXPECT_TRUE(TreeItem(window, QStringLiteral("Goods")).isValid());

    // An emptied label asks nothing of the device.
    m_prompter.Clear();
    PickTreeEntry(window, QStringLiteral("Goods"), QStringLiteral("Rename table \"Goods\""));
    TypeTreeLabel(window, QString());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isBusy());
    EXPECT_TRUE(TreeItem(window, QStringLiteral("Goods")).isValid());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(MaintenanceTest, CreateTableTextFindsTheWholeNameAndTheWholeStatement)
{
    Exec(QStringLiteral("CREATE TABLE OrderItems (ItemID int PRIMARY KEY, Note nvarchar(10))"));
    Exec(QStringLiteral(
        "CREATE TABLE [Order] (OrderNo int NOT NULL, Line int NOT NULL, PRIMARY KEY (OrderNo, Line))"));
    database::DatabaseWindow* window = OpenDatabaseWindow();

    PickTreeEntry(window, QStringLiteral("Order"), QStringLiteral("View \"CREATE TABLE\" for Order"));
    ASSERT_TRUE(WaitFor([&] { return m_viewer.opened.size() == 1; }, 60000)) << Prompts();
    EXPECT_EQ(QFileInfo(m_viewer.opened.last()).fileName(), QStringLiteral("schema.txt"));
    const QString order = ViewedSchema();
    EXPECT_TRUE(order.startsWith(QStringLiteral("create table Order\r\n(  OrderNo int")))
        << order.toStdString();
    EXPECT_TRUE(order.contains(QStringLiteral("PRIMARY KEY ( OrderNo, Line )\r\n)\r\n")))
        << order.toStdString();
    EXPECT_TRUE(order.endsWith(QStringLiteral("\r\n)\r\n"))) << order.toStdString();
    EXPECT_EQ(order.count(QStringLiteral("create table")), 1) << order.toStdString();

    PickTreeEntry(
        window, QStringLiteral("Order Details"), QStringLiteral("View \"CREATE TABLE\" for Order Details"));
    ASSERT_TRUE(WaitFor([&] { return m_viewer.opened.size() == 2; }, 60000)) << Prompts();
    const QString details = ViewedSchema();
    EXPECT_TRUE(details.contains(QStringLiteral("Order Details\r\n(  OrderID int"))) << details.toStdString();
    EXPECT_EQ(details.count(QStringLiteral("create table")), 1) << details.toStdString();

    PickTreeEntry(window, QString(), QStringLiteral("View \"CREATE TABLE\" for entire database.."));
    ASSERT_TRUE(WaitFor([&] { return m_viewer.opened.size() == 3; }, 60000)) << Prompts();
    const QString all = ViewedSchema();
    EXPECT_EQ(all.count(QStringLiteral("create table ")), 7) << all.toStdString();
    EXPECT_TRUE(all.contains(order)) << all.toStdString();
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

TEST_F(MaintenanceTest, CompactReportsTheSizesBeforeAndAfter)
{
    const std::filesystem::path host = store() / "files" / "My Documents" / "Orders.sdf";
    const auto before = std::filesystem::file_size(host);
    Exec(QStringLiteral("DELETE FROM [Order Details]"));
    database::DatabaseWindow* window = OpenDatabaseWindow();
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    PickTreeEntry(window, QString(), QStringLiteral("Compact this database..."));
    ASSERT_TRUE(WaitForPrompts(2)) << Prompts();
    ASSERT_TRUE(WaitIdle(window));
    const auto records = m_prompter.Records();
    EXPECT_EQ(records[0].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(records[0].text,
        QStringLiteral(
            "The \"Compact\" function will (sometimes) reduce the size of your SQLCE database.\r\n"
            "This usually takes a minute or two.\r\n\r\nDo you wish to Compact your database ?\r\n"));
    const auto after = std::filesystem::file_size(host);
    EXPECT_LT(after, before);
    EXPECT_EQ(records[1].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(records[1].text,
        QStringLiteral("Compact was successful.\r\n\r\nFilesize before:\t%1\r\nFilesize after:\t%2\r\n\r\n")
            .arg(before)
            .arg(after));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("\"Compact\" successful."));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Orders")), QStringLiteral("960"));
}

TEST(CompactReport, UnknownSizesGiveTheShortReportAndAMissingFlagIsAFailure)
{
    EXPECT_EQ(devlink::CompactReport(0, 4096), QStringLiteral("Compact was successful.\r\n"));
    EXPECT_EQ(devlink::CompactReport(4096, 4096),
        QStringLiteral("Compact was successful, but your database file is still the same size.\r\n\r\n"
                       "Filesize before:\t4096\r\nFilesize after:\t4096\r\n\r\n"));
    EXPECT_TRUE(devlink::CompactSucceeded(true, true, 1));
    EXPECT_FALSE(devlink::CompactSucceeded(true, false, quint32(-1)));
    EXPECT_FALSE(devlink::CompactSucceeded(true, true, 0));
    EXPECT_FALSE(devlink::CompactSucceeded(false, true, 1));
}

TEST_F(MaintenanceTest, ExportWritesUtf16TabsAndQuotesCellsWithAComma)
{
    Exec(QStringLiteral("CREATE TABLE People (Name nvarchar(40), Age int)"));
    Exec(QStringLiteral("INSERT INTO People (Name, Age) VALUES ('Smith, John', 42)"));
    Exec(QStringLiteral("INSERT INTO People (Name, Age) VALUES ('Zoë \"Z\"', NULL)"));
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("People"), QStringLiteral("SELECT * FROM People"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("exportButton")), Qt::LeftButton);
    auto* dialog = window->findChild<QFileDialog*>(QStringLiteral("exportFileDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    const QString path = QString::fromStdString((home() / "people").string());
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(WaitForPrompts(1));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Export data."));
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("Export file created successfully."));
    const QString expected = QStringLiteral("Name\tAge\r\n\"Smith, John\"\t42\r\nZoë \"Z\"\t(null)\r\n");
    const std::string bytes = testsupport::ReadHostFile((home() / "people.txt").string());
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.utf16()), expected.size() * 2));

    // A file that cannot be made leaves the one beside it alone.
    EXPECT_FALSE(database::WriteGridExport(
        *window->grid(), QString::fromStdString((home() / "no" / "x.txt").string())));
}

} // namespace
