// The database window as the user meets it: the blank table's prompt, SQL
// run from the panel, the table tree, the password dialog, the filter, row
// menus and a device that goes away.
#include "DatabaseFixture.h"

#include "desktop/database/CFilterDialog.h"
#include "desktop/database/COpenDatabaseDialog.h"
#include "desktop/link/SchemaTreeModel.h"
#include "desktop/settings/SettingsStore.h"
#include "tests/support/HostFile.h"
#include "tests/support/TempDir.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeView>

using namespace databasetest;
using windowtest::WaitFor;

namespace {

class WindowTest : public DatabaseWindowTest {
protected:
    static QMenu* RowMenu(database::DatabaseWindow* window, int row)
    {
        database::CResultsGridView* view = View(window);
        const QPoint at = row >= 0 ? view->visualRect(window->grid()->index(row, 0)).center()
                                   : QPoint(5, view->viewport()->height() - 3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        return view->findChild<QMenu*>(QStringLiteral("gridRowMenu"));
    }
};

TEST_F(WindowTest, BlankTableRunsTypedSqlWhoseCommentEndsAtItsLine)
{
    auto* window
        = new database::DatabaseWindow(devlink::kBlankTableName, kOrders, QString(), false, true, QString());
    window->show();
    auto* panel = window->findChild<QPlainTextEdit*>(QStringLiteral("sqlPanel"));
    EXPECT_EQ(Text(window, "tableLabel"), QStringLiteral("<Custom SQL>"));
    EXPECT_EQ(panel->toPlainText(), QStringLiteral("<Type in your SQL here.>"));
    EXPECT_EQ(panel->textCursor().selectedText(), QStringLiteral("<Type in your SQL here.>"));
    QTest::qWait(300); // longer than the start-up timer: nothing may run
    EXPECT_EQ(window->controller()->state(), devlink::RequestState::Idle);
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral("*Status"));

    const QString before = Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog"));
    const QString old = Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog WHERE Severity = 2"));
    ASSERT_GT(old.toInt(), 0);
    // Typing replaces the prompt; the comment must not swallow the WHERE.
    QTest::keyClicks(panel, QStringLiteral("DELETE FROM EventLog -- old ones"));
    QTest::keyClick(panel, Qt::Key_Return);
    QTest::keyClicks(panel, QStringLiteral("WHERE Severity = 2"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("goButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" %1 rows affected.").arg(old)) << Prompts();
    EXPECT_EQ(
        Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog")), QString::number(before.toInt() - old.toInt()));

    // Only a plain SELECT * of one table gives an editable grid.
    panel->setPlainText(QStringLiteral("SELECT Source, Message FROM EventLog"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("goButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_FALSE(window->grid()->isEditable());
    EXPECT_EQ(RowMenu(window, 0), nullptr);
    panel->setPlainText(QStringLiteral("  select * from [Order Details]  "));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("goButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_TRUE(window->grid()->isEditable());
    EXPECT_EQ(window->grid()->tableName(), QStringLiteral("Order Details"));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" %1 rows found.").arg(window->grid()->rowCount()));
}

TEST_F(WindowTest, DatabaseModeListsTablesAndOpensThemInTableWindows)
{
    auto* window = new database::DatabaseWindow(QString(), kOrders, QString(), false, false, QString());
    window->show();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 5 tables found."));
    QAbstractItemModel* model = Tree(window)->model();
    const QModelIndex root = model->index(0, 0);
    EXPECT_EQ(root.data().toString(), kOrders);
    EXPECT_EQ(model->index(0, 0, root).data().toString(), QStringLiteral("<Blank table>"));
    const QModelIndex details = TreeItem(window, QStringLiteral("Order Details"));
    ASSERT_TRUE(details.isValid());
    EXPECT_EQ(model->index(0, 0, details).data().toString(), QStringLiteral("OrderID  [int not null]"));

    // The table's menu.
    QTreeView* tree = Tree(window);
    emit tree->customContextMenuRequested(tree->visualRect(details).center());
    QMenu* menu = window->findChild<QMenu*>(QStringLiteral("treeMenu"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(ActionTexts(menu),
        QStringList({ QStringLiteral("Open Order Details"),
            QStringLiteral("Open Order Details in a separate process"), QStringLiteral("-"),
            QStringLiteral("Export table \"Order Details\"..."), QStringLiteral("-"),
            QStringLiteral("Rename table \"Order Details\""), QStringLiteral("-"),
            QStringLiteral("Delete table \"Order Details\""), QStringLiteral("-"),
            QStringLiteral("View \"CREATE TABLE\" for Order Details") }));
    delete menu;

    // A double click opens the table, its name in brackets.
    tree->scrollTo(details);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(details).center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(details).center());
    auto* table = WaitForWindowOf(window);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->isModal() || table->windowModality() == Qt::WindowModal);
    ASSERT_TRUE(WaitIdle(table));
    EXPECT_EQ(table->controller()->sqlToRun(), QStringLiteral("SELECT * FROM [Order Details]"));
    EXPECT_EQ(Text(table, "tableLabel"), QStringLiteral("Order Details"));
    EXPECT_EQ(Text(table, "statusLine"), QStringLiteral(" %1 rows found.").arg(table->grid()->rowCount()));
    EXPECT_TRUE(table->grid()->isEditable());

    // The root's and the blank table's menus.
    delete window->findChild<QMenu*>(QStringLiteral("treeMenu"));
    emit tree->customContextMenuRequested(tree->visualRect(root).center());
    menu = window->findChild<QMenu*>(QStringLiteral("treeMenu"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(ActionTexts(menu),
        QStringList({ QStringLiteral("Compact this database..."), QStringLiteral("-"),
            QStringLiteral("Export data to PC..."), QStringLiteral("-"),
            QStringLiteral("View \"CREATE TABLE\" for entire database..") }));
    delete menu;
    emit tree->customContextMenuRequested(tree->visualRect(model->index(0, 0, root)).center());
    menu = window->findChild<QMenu*>(QStringLiteral("treeMenu"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(ActionTexts(menu), QStringList({ QStringLiteral("Open database") }));
    delete menu;

    // Closing the table window leaves its opener whole; F5 reads the tables again.
    table->close();
    ASSERT_TRUE(WaitFor([&] { return window->findChildren<database::DatabaseWindow*>().isEmpty(); }));
    EXPECT_EQ(model->rowCount(root), 6);
    Exec(QStringLiteral("CREATE TABLE Added (ID int)"));
    QTest::keyClick(tree, Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return !window->isBusy() && model->rowCount(model->index(0, 0)) == 7; }));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 6 tables found."));
}

TEST_F(WindowTest, WrongPasswordAsksAgainAndARememberedOneIsTaken)
{
    auto* window = new database::DatabaseWindow(QString(), kSecret, QString(), true, false, QString());
    window->show();
    auto* dialog
        = windowtest::WaitForWindow<database::COpenDatabaseDialog>(QStringLiteral("openDatabaseDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Open database"));
    EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("databaseNameEdit"))->text(), kSecret);
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit")), QStringLiteral("wrong"));
    // The accepted dialog deletes itself, and its successor may take its
    // address: it is told apart by being gone, not by its pointer.
    const QPointer<database::COpenDatabaseDialog> first = dialog;
    dialog->accept();
    // The refused password brings the dialog back.
    ASSERT_TRUE(WaitFor([&] {
        return first.isNull()
            && windowtest::ShownWindow<database::COpenDatabaseDialog>(QStringLiteral("openDatabaseDialog"));
    })) << Prompts();
    dialog = windowtest::ShownWindow<database::COpenDatabaseDialog>(QStringLiteral("openDatabaseDialog"));
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit")), QStringLiteral("demo"));
    dialog->findChild<QCheckBox*>(QStringLiteral("rememberPasswordBox"))->setChecked(true);
    dialog->accept();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 1 tables found.")) << Prompts();
    EXPECT_EQ(settings::GetRememberedPassword(kSecret), QStringLiteral("demo"));

    // Next time the remembered password opens it without a question.
    delete window;
    window = new database::DatabaseWindow(QString(), kSecret, QString(), true, false, QString());
    window->show();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 1 tables found."));
    EXPECT_EQ(windowtest::ShownWindow<database::COpenDatabaseDialog>(QStringLiteral("openDatabaseDialog")),
        nullptr);
}

TEST_F(WindowTest, FilterDialogModesPickRowsFromTheGrid)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Customers"), QStringLiteral("SELECT * FROM Customers"));
    QHeaderView* header = View(window)->horizontalHeader();
    const int country = ColumnNamed(window, QStringLiteral("Country"));
    emit header->customContextMenuRequested(QPoint(header->sectionViewportPosition(country) + 3, 3));
    QMenu* menu = View(window)->findChild<QMenu*>(QStringLiteral("gridHeaderMenu"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(ActionTexts(menu),
        QStringList({ QStringLiteral("Filter on \"Country\""), QStringLiteral("-"),
            QStringLiteral("Cancel filter (off)") }));
    Action(menu, QStringLiteral("Filter on \"Country\""))->trigger();
    auto* dialog = windowtest::WaitForWindow<database::CFilterDialog>(QStringLiteral("filterDialog"));
    ASSERT_TRUE(dialog);
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("valuesList"));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("containingEdit"))->isEnabled());
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Germany")); // order of first appearance
    for (const QString& value : { QStringLiteral("France"), QStringLiteral("Japan") })
        list->findItems(value, Qt::MatchExactly).first()->setSelected(true);
    dialog->accept();
    const QString expected
        = Ask(QStringLiteral("SELECT COUNT(*) FROM Customers WHERE Country = 'France' OR Country = 'Japan'"));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" %1 rows found.").arg(expected));
    EXPECT_EQ(window->grid()->rowCount(), expected.toInt());

    // Containing, any case; then exact.
    emit header->customContextMenuRequested(QPoint(header->sectionViewportPosition(country) + 3, 3));
    menu = View(window)->findChild<QMenu*>(QStringLiteral("gridHeaderMenu"));
    Action(menu, QStringLiteral("Filter on \"Country\""))->trigger();
    dialog = windowtest::WaitForWindow<database::CFilterDialog>(QStringLiteral("filterDialog"));
    dialog->findChild<QRadioButton*>(QStringLiteral("containingModeButton"))->setChecked(true);
    EXPECT_FALSE(dialog->findChild<QListWidget*>(QStringLiteral("valuesList"))->isEnabled());
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("containingEdit")), QStringLiteral("AN"));
    dialog->accept();
    // A new filter picks from every row of the answer.
    EXPECT_EQ(QString::number(window->grid()->rowCount()),
        Ask(QStringLiteral("SELECT COUNT(*) FROM Customers WHERE Country LIKE '%an%'")));
    emit header->customContextMenuRequested(QPoint(header->sectionViewportPosition(country) + 3, 3));
    menu = View(window)->findChild<QMenu*>(QStringLiteral("gridHeaderMenu"));
    Action(menu, QStringLiteral("Filter on \"Country\""))->trigger();
    dialog = windowtest::WaitForWindow<database::CFilterDialog>(QStringLiteral("filterDialog"));
    dialog->findChild<QRadioButton*>(QStringLiteral("containingModeButton"))->setChecked(true);
    QTest::keyClicks(
        dialog->findChild<QLineEdit*>(QStringLiteral("containingEdit")), QStringLiteral("Japan"));
    dialog->findChild<QCheckBox*>(QStringLiteral("exactMatchBox"))->setChecked(true);
    dialog->accept();
    EXPECT_EQ(QString::number(window->grid()->rowCount()),
        Ask(QStringLiteral("SELECT COUNT(*) FROM Customers WHERE Country = 'Japan'")));

    emit header->customContextMenuRequested(QPoint(header->sectionViewportPosition(country) + 3, 3));
    menu = View(window)->findChild<QMenu*>(QStringLiteral("gridHeaderMenu"));
    ASSERT_TRUE(Action(menu, QStringLiteral("Cancel filter"))->isEnabled());
    Action(menu, QStringLiteral("Cancel filter"))->trigger();
    EXPECT_EQ(window->grid()->rowCount(), 192);
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 192 rows found."));
}

TEST_F(WindowTest, CancelStopsALongQueryAndTheWindowRunsAgain)
{
    auto* window
        = new database::DatabaseWindow(devlink::kBlankTableName, kOrders, QString(), false, true, QString());
    window->show();
    auto* panel = window->findChild<QPlainTextEdit*>(QStringLiteral("sqlPanel"));
    auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    EXPECT_FALSE(cancel->isEnabled());
    panel->setPlainText(
        QStringLiteral("SELECT a.OrderID, b.OrderID, c.OrderID FROM Orders a, Orders b, Orders c"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("goButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return cancel->isEnabled(); }));
    EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("goButton"))->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window, 120000));
    EXPECT_EQ(window->controller()->state(), devlink::RequestState::Cancelled);
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral("SQL cancelled."));
    EXPECT_TRUE(window->findChild<QPushButton*>(QStringLiteral("goButton"))->isEnabled());

    panel->setPlainText(QStringLiteral("SELECT COUNT(*) FROM Orders"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("goButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 1 row found."));
    EXPECT_EQ(window->grid()->CellText(0, 0), QStringLiteral("960"));
}

TEST_F(WindowTest, DisconnectedWindowStaysOpenButInert)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    window->OnDeviceDisconnected();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("goButton"))->isEnabled());
    EXPECT_FALSE(window->findChild<QPlainTextEdit*>(QStringLiteral("sqlPanel"))->isEnabled());
    EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("exportButton"))->isEnabled());
    EXPECT_EQ(window->grid()->index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(200, 200, 200));
    EXPECT_FALSE(window->grid()->flags(window->grid()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(WindowTest, ASeparateProcessGetsTheTableAndPasswordAsWholeArguments)
{
    auto* window
        = new database::DatabaseWindow(QString(), kSecret, QStringLiteral("demo"), false, false, QString());
    window->show();
    ASSERT_TRUE(WaitIdle(window));
    QAbstractItemModel* model = Tree(window)->model();
    const QModelIndex table = model->index(1, 0, model->index(0, 0));
    const QString name = table.data(devlink::SchemaTreeModel::TableNameRole).toString();
    ASSERT_FALSE(name.isEmpty());

    // The second copy is a script under the program's name that notes its arguments.
    testsupport::TempDir programs("qvprog");
    const std::filesystem::path script
        = programs.path() / QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    testsupport::WriteHostFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const QByteArray agentDir = qgetenv("QUORVANE_PROGRAM_DIR");
    setenv("QUORVANE_PROGRAM_DIR", programs.path().c_str(), 1);
    auto openSeparately = [&] {
        QTreeView* tree = Tree(window);
        emit tree->customContextMenuRequested(tree->visualRect(table).center());
        QMenu* menu = window->findChild<QMenu*>(QStringLiteral("treeMenu"));
        ASSERT_TRUE(menu);
        Action(menu, QStringLiteral("Open ") + name + QStringLiteral(" in a separate process"))->trigger();
        delete menu;
    };
    openSeparately();
    const std::filesystem::path args = script.string() + ".args";
    EXPECT_TRUE(
        WaitFor([&] { return std::filesystem::exists(args) && std::filesystem::file_size(args) > 0; }));
    EXPECT_EQ(testsupport::ReadHostFile(args),
        (kSecret + QStringLiteral("\n-pass\ndemo\n-table\n") + name + QStringLiteral("\n")).toStdString());
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();

    // No program there: the user hears so.
    std::filesystem::remove(script);
    openSeparately();
    setenv("QUORVANE_PROGRAM_DIR", agentDir.constData(), 1);
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; })) << Prompts();
    EXPECT_EQ(m_prompter.Records().front().text, QStringLiteral("Unable to open this file."));
}

TEST_F(WindowTest, ShortcutTipShowsTheLinkAndStaysOnlyWhileTheSettingAsksForIt)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Order Details"), QStringLiteral("SELECT * FROM [Order Details]"));
    auto* tip = window->findChild<QToolButton*>(QStringLiteral("shortcutTipButton"));
    ASSERT_TRUE(tip && tip->isVisible());
    QTest::mouseClick(tip, Qt::LeftButton);
    auto* balloon = window->findChild<QLabel*>(QStringLiteral("shortcutBalloon"));
    ASSERT_TRUE(balloon && balloon->isVisible());
    EXPECT_TRUE(balloon->text().contains((QStringLiteral("\"") + devlink::GetProgramPath()
        + QStringLiteral("\" ") + kOrders + QStringLiteral(" -pass <Password> -table \"Order Details\""))
                                             .toHtmlEscaped()))
        << balloon->text().toStdString();

    // Turned off meanwhile (as another window may do): gone when the balloon closes.
    settings::WriteDword(QStringLiteral("ShowShortcutButton"), 0);
    EXPECT_TRUE(tip->isVisible());
    QTest::mouseClick(balloon, Qt::LeftButton);
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_FALSE(tip->isVisible());
}

TEST_F(WindowTest, CtrlRAsksForTheRegistryEditorAndGivesTheFocusBack)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    QWidget* elsewhere = new QLineEdit;
    elsewhere->setAttribute(Qt::WA_DeleteOnClose);
    int asked = 0;
    QObject::connect(window, &database::DatabaseWindow::registryEditorRequested, window, [&] {
        ++asked;
        // The editor shows and takes the focus.
        elsewhere->show();
        elsewhere->activateWindow();
        elsewhere->setFocus();
    });
    bool left = false;
    QObject::connect(qApp, &QApplication::focusChanged, window,
        [&](QWidget*, QWidget* now) { left = left || now == elsewhere; });
    window->activateWindow();
    View(window)->setFocus();
    QTest::keyClick(View(window), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(WaitFor([&] { return left && View(window)->hasFocus(); }, 5000));
    elsewhere->close();
}

} // namespace
