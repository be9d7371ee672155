// A table window on the demo database: what it shows, and edits typed into
// its grid as the user types them, checked on the device afterwards.
#include "DatabaseFixture.h"

#include "desktop/settings/SettingsStore.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSplitter>

using namespace databasetest;
using windowtest::WaitFor;

namespace {

class TableWindowTest : public DatabaseWindowTest { };

TEST_F(TableWindowTest, TypedValuesReachTheDeviceAsLiterals)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Customers"), QStringLiteral("SELECT * FROM Customers"));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 192 rows found."));
    EXPECT_EQ(Text(window, "tableLabel"), QStringLiteral("Customers"));
    ASSERT_TRUE(window->grid()->isEditable());
    const int id = ColumnNamed(window, QStringLiteral("CustomerID"));
    const int contact = ColumnNamed(window, QStringLiteral("ContactName"));
    const int notes = ColumnNamed(window, QStringLiteral("Notes"));
    const int city = ColumnNamed(window, QStringLiteral("City"));
    const int row = RowWith(window, id, QStringLiteral("3"));
    ASSERT_GE(row, 0);

    // A quote in a name.
    TypeIntoCell(window, row, contact, QStringLiteral("O'Brien"));
    ASSERT_TRUE(WaitIdle(window));
    TypeIntoCell(window, row, contact, QStringLiteral("O'Neil"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update successful."));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 1 row affected."));
    EXPECT_EQ(Ask(QStringLiteral("SELECT ContactName FROM Customers WHERE CustomerID = 3")),
        QStringLiteral("O'Neil"));

    // Two lines: Shift+Enter breaks the line, Enter ends the edit.
    QWidget* editor = StartEdit(window, row, notes);
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("first"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editor, QStringLiteral("second"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(window->grid()->CellText(row, notes), QStringLiteral("first\r\nsecond"));
    EXPECT_EQ(Ask(QStringLiteral("SELECT Notes FROM Customers WHERE CustomerID = 3")),
        QStringLiteral("first\r\nsecond"));

    // "(null)" sets the value null.
    TypeIntoCell(window, row, city, QStringLiteral("(null)"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(window->grid()->CellKindAt(row, city), devlink::CellKind::Null);
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Customers WHERE CustomerID = 3 AND City IS NULL")),
        QStringLiteral("1"));
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

} // namespace

namespace {

TEST_F(TableWindowTest, GuardedUpdateOfATableWithoutAKeyAsksBeforeTouchingMore)
{
    Exec(QStringLiteral("CREATE TABLE Triple (Name nvarchar(20), Qty int)"));
    for (int i = 0; i < 3; ++i)
        Exec(QStringLiteral("INSERT INTO Triple (Name, Qty) VALUES ('same', 1)"));
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Triple"), QStringLiteral("SELECT * FROM Triple"));
    ASSERT_EQ(window->grid()->rowCount(), 3);
    ASSERT_FALSE(window->grid()->hasPrimaryKey());

    // No: the cell shows the old value again and the device is unchanged.
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    TypeIntoCell(window, 0, 0, QStringLiteral("other"));
    ASSERT_TRUE(WaitIdle(window));
    ASSERT_EQ(m_prompter.Count(), 1) << Prompts();
    const auto box = m_prompter.Records().last();
    EXPECT_EQ(box.caption, QStringLiteral("Warning"));
    EXPECT_EQ(box.buttons, devlink::PromptButtons::YesNoCancel);
    EXPECT_EQ(box.text,
        QStringLiteral(
            "This table does not have any Primary Keys defined for it, so individual rows cannot be uniquely "
            "indentified.\r\n\r\nThe following SQL command can be run to change this field's value from "
            "\"same\" to \"other\", however, 2 other rows will also be set to this value.\r\n\r\nSQL command:"
            "\r\nUPDATE Triple\r\nSET Name='other'\r\nWHERE Name='same' AND Qty=1\r\n\r\nDo you still want "
            "to update the values in these 3 rows ?"));
    EXPECT_EQ(window->grid()->CellText(0, 0), QStringLiteral("same"));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Triple WHERE Name = 'same'")), QStringLiteral("3"));

    // Yes: every matching row changes, on the device and in the grid.
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    TypeIntoCell(window, 1, 0, QStringLiteral("other"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update successful."));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(window->grid()->CellText(r, 0), QStringLiteral("other")) << r;
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Triple WHERE Name = 'other'")), QStringLiteral("3"));

    // One row of its kind changes at once, without a question.
    Exec(QStringLiteral("INSERT INTO Triple (Name, Qty) VALUES ('single', 2)"));
    QTest::keyClick(View(window), Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return window->grid()->rowCount() == 4 && !window->isBusy(); }));
    const int single = RowWith(window, 0, QStringLiteral("single"));
    TypeIntoCell(window, single, 1, QStringLiteral("5"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(m_prompter.Count(), 2) << Prompts();
    EXPECT_EQ(Ask(QStringLiteral("SELECT Qty FROM Triple WHERE Name = 'single'")), QStringLiteral("5"));
}

TEST_F(TableWindowTest, AnUpdateThatChangesNoRowFailsAndShowsTheDevicesValue)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    const int id = ColumnNamed(window, QStringLiteral("ProductID"));
    const int name = ColumnNamed(window, QStringLiteral("ProductName"));
    const int row = RowWith(window, id, QStringLiteral("2"));
    ASSERT_GE(row, 0);
    // Someone else removes the row meanwhile.
    Exec(QStringLiteral("DELETE FROM Products WHERE ProductID = 2"));
    TypeIntoCell(window, row, name, QStringLiteral("Chang Ale"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update failed."));
    EXPECT_EQ(Text(window, "statusLine"), QStringLiteral(" 0 rows affected."));
    EXPECT_EQ(window->grid()->CellText(row, name), QStringLiteral("Chang"));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Products WHERE ProductName = 'Chang Ale'")),
        QStringLiteral("0"));
}

TEST_F(TableWindowTest, DecimalCommaAndDayFirstDatesAreSentInTheDevicesForm)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    const int id = ColumnNamed(window, QStringLiteral("ProductID"));
    const int price = ColumnNamed(window, QStringLiteral("UnitPrice"));
    const int row = RowWith(window, id, QStringLiteral("1"));
    TypeIntoCell(window, row, price, QStringLiteral("3,5"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update successful."))
        << Prompts() << Status(window);
    EXPECT_EQ(window->grid()->CellText(row, price), QStringLiteral("3,5"));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Products WHERE ProductID = 1 AND UnitPrice = 3.5")),
        QStringLiteral("1"));

    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    database::DatabaseWindow* orders
        = OpenTableWindow(QStringLiteral("Orders"), QStringLiteral("SELECT * FROM Orders"));
    const int order = ColumnNamed(orders, QStringLiteral("OrderID"));
    const int date = ColumnNamed(orders, QStringLiteral("OrderDate"));
    const int first = RowWith(orders, order, QStringLiteral("10248"));

    // A date that does not exist keeps the box open with the message.
    TypeIntoCell(orders, first, date, QStringLiteral("31/02/2006"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records().last().caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records().last().text, QStringLiteral("This is not a valid date/time."));
    auto* box = qobject_cast<QLineEdit*>(View(orders)->indexWidget(orders->grid()->index(first, date)));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->selectedText(), QStringLiteral("31/02/2006"));
    box->setText(QStringLiteral("03/04/2006"));
    PressEnter(box);
    ASSERT_TRUE(WaitIdle(orders));
    EXPECT_EQ(Text(orders, "timerLabel"), QStringLiteral("Update successful.")) << Prompts();
    EXPECT_EQ(Ask(QStringLiteral("SELECT OrderDate FROM Orders WHERE OrderID = 10248")),
        QStringLiteral("2006/04/03  00:00:00"));
}

TEST_F(TableWindowTest, HeaderClicksSortIntegersAndDatesAsTheyAre)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Orders"), QStringLiteral("SELECT * FROM Orders"));
    QHeaderView* header = View(window)->horizontalHeader();
    const int order = ColumnNamed(window, QStringLiteral("OrderID"));
    const int shipped = ColumnNamed(window, QStringLiteral("ShippedDate"));
    const auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    click(order);
    EXPECT_EQ(window->grid()->CellText(0, order), QStringLiteral("10248"));
    click(order);
    EXPECT_EQ(window->grid()->CellText(0, order), QStringLiteral("11207"));
    click(shipped); // dates in time order, the empty ones first
    const int rows = window->grid()->rowCount();
    EXPECT_EQ(window->grid()->CellText(0, shipped), QStringLiteral("(null)"));
    QDateTime previous;
    for (int r = 0; r < rows; ++r) {
        const std::optional<QDateTime> when
            = database::ParseCellDateTime(window->grid()->CellText(r, shipped));
        if (!when)
            continue;
        ASSERT_TRUE(!previous.isValid() || previous <= *when) << r;
        previous = *when;
    }
}

} // namespace

namespace {

class RowMenuTest : public TableWindowTest {
protected:
    QMenu* RowMenu(database::DatabaseWindow* window, int row)
    {
        database::CResultsGridView* view = View(window);
        view->scrollTo(window->grid()->index(row, 0));
        const QPoint at = view->visualRect(window->grid()->index(row, 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        return view->findChild<QMenu*>(QStringLiteral("gridRowMenu"));
    }

    static void Choose(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text) {
                action->trigger();
                return;
            }
        ADD_FAILURE() << "no menu item " << text.toStdString();
    }
};

TEST_F(RowMenuTest, NewRowStartsWithDefaultsAndIsSavedWhenComplete)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Orders"), QStringLiteral("SELECT * FROM Orders"));
    QMenu* menu = RowMenu(window, 0);
    ASSERT_TRUE(menu);
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts,
        QStringList({ QStringLiteral("Add a new row"), QStringLiteral("-"), QStringLiteral("Delete this row"),
            QStringLiteral("-"), QStringLiteral("Clone this row") }));
    Choose(menu, QStringLiteral("Add a new row"));
    const int row = window->grid()->rowCount() - 1;
    ASSERT_EQ(row, 960);
    EXPECT_EQ(window->grid()->RowTexts(row),
        QStringList({ QStringLiteral("11208"), QStringLiteral("193"), QStringLiteral("1900/01/01 00:00"),
            QStringLiteral("(null)"), QStringLiteral("(null)"), QStringLiteral("(null)"), QString() }));

    // A required field still blank: said, and nothing is saved.
    TypeIntoCell(window, row, ColumnNamed(window, QStringLiteral("CustomerID")), QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records().last().text, QStringLiteral("The field \"Paid\" cannot be left blank."));
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Orders")), QStringLiteral("960"));

    TypeIntoCell(window, row, ColumnNamed(window, QStringLiteral("Paid")), QStringLiteral("1"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update successful.")) << Prompts();
    EXPECT_EQ(window->grid()->newStoreRow(), -1);
    EXPECT_EQ(Ask(QStringLiteral(
                  "SELECT COUNT(*) FROM Orders WHERE CustomerID = 5 AND OrderDate = '1900/01/01 00:00:00'")),
        QStringLiteral("1"));
}

TEST_F(RowMenuTest, DeletesByKeyAndAsksBeforeDeletingDuplicatesOfAKeylessRow)
{
    database::DatabaseWindow* details
        = OpenTableWindow(QStringLiteral("Order Details"), QStringLiteral("SELECT * FROM [Order Details]"));
    const QStringList first = details->grid()->RowTexts(0);
    const int before = details->grid()->rowCount();
    Choose(RowMenu(details, 0), QStringLiteral("Delete this row"));
    ASSERT_TRUE(WaitIdle(details));
    EXPECT_EQ(details->grid()->rowCount(), before - 1);
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM [Order Details] WHERE OrderID = %1 AND ProductID = %2")
                      .arg(first[0], first[1])),
        QStringLiteral("0"));

    // EventLog has no key, and some of its rows are there twice.
    database::DatabaseWindow* log
        = OpenTableWindow(QStringLiteral("EventLog"), QStringLiteral("SELECT * FROM EventLog"));
    const int severity = ColumnNamed(log, QStringLiteral("Severity"));
    const int twice = RowWith(log, severity, QStringLiteral("2"));
    ASSERT_GE(twice, 0);
    const QString message = log->grid()->CellText(twice, ColumnNamed(log, QStringLiteral("Message")));
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    Choose(RowMenu(log, twice), QStringLiteral("Delete this row"));
    ASSERT_TRUE(WaitIdle(log));
    ASSERT_EQ(m_prompter.Count(), 1) << Prompts();
    EXPECT_EQ(m_prompter.Records().last().caption, QStringLiteral("Warning"));
    EXPECT_TRUE(m_prompter.Records().last().text.contains(
        QStringLiteral("The following SQL command can be run to delete this row, however, 1 other row will "
                       "ALSO be deleted.")));
    EXPECT_TRUE(m_prompter.Records().last().text.endsWith(
        QStringLiteral("Do you still want to delete these 2 rows ?")));
    EXPECT_EQ(RowWith(log, ColumnNamed(log, QStringLiteral("Message")), message), -1);
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM EventLog WHERE Message = '%1'").arg(message)),
        QStringLiteral("0"));
}

TEST_F(RowMenuTest, CloneGetsTheNextIdentityAndLeavesBinaryValuesBehind)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    const int name = ColumnNamed(window, QStringLiteral("ProductName"));
    const int picture = ColumnNamed(window, QStringLiteral("Picture"));
    const int chai = RowWith(window, name, QStringLiteral("Chai"));
    ASSERT_EQ(window->grid()->CellKindAt(chai, picture), devlink::CellKind::Binary);
    Choose(RowMenu(window, chai), QStringLiteral("Clone this row"));
    const int clone = window->grid()->rowCount() - 1;
    EXPECT_EQ(window->grid()->CellText(clone, 0), QStringLiteral("17"));
    EXPECT_EQ(window->grid()->CellText(clone, picture), QStringLiteral("(null)"));
    TypeIntoCell(window, clone, name, QStringLiteral("Chai Latte"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update successful.")) << Prompts();
    EXPECT_EQ(Ask(QStringLiteral(
                  "SELECT QuantityPerUnit, UnitsInStock FROM Products WHERE ProductName = 'Chai Latte'")),
        Ask(QStringLiteral("SELECT QuantityPerUnit, UnitsInStock FROM Products WHERE ProductName = 'Chai'")));
    // The original's picture is untouched.
    EXPECT_EQ(Ask(QStringLiteral(
                  "SELECT COUNT(*) FROM Products WHERE ProductName = 'Chai' AND Picture IS NOT NULL")),
        QStringLiteral("1"));
}

} // namespace

namespace {

TEST_F(TableWindowTest, AnEditWhenTheDeviceIsGoneFailsAndKeepsTheTypedText)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    const int name = ColumnNamed(window, QStringLiteral("ProductName"));
    StopDevice();
    TypeIntoCell(window, 0, name, QStringLiteral("Chai Tea"));
    ASSERT_TRUE(WaitIdle(window, 120000));
    EXPECT_EQ(Text(window, "timerLabel"), QStringLiteral("Update failed."));
    EXPECT_EQ(window->grid()->CellText(0, name), QStringLiteral("Chai Tea"));
    // The grid takes edits again once the change is over.
    EXPECT_TRUE(window->grid()->flags(window->grid()->index(0, name)) & Qt::ItemIsEditable);
}

TEST_F(TableWindowTest, ClosingKeepsThePanelShareAndTheRectangle)
{
    database::DatabaseWindow* window
        = OpenTableWindow(QStringLiteral("Products"), QStringLiteral("SELECT * FROM Products"));
    auto* splitter = window->findChild<QSplitter*>(QStringLiteral("sqlSplitter"));
    ASSERT_TRUE(splitter);
    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
    splitter->setSizes({ total / 2, total - total / 2 });
    auto* keep = window->findChild<QCheckBox*>(QStringLiteral("keepResultsBox"));
    keep->setChecked(true);
    quint32 deleteResults = 7;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("DeleteSQLResults"), &deleteResults));
    EXPECT_EQ(deleteResults, 0u);
    window->close();
    QString share;
    ASSERT_TRUE(settings::ReadString(QStringLiteral("SQLpercent"), &share));
    EXPECT_EQ(share, QStringLiteral("0.50"));
    QString rect;
    EXPECT_TRUE(settings::ReadString(QStringLiteral("TableRect"), &rect));

    // The next table window opens with the same share and the box ticked.
    database::DatabaseWindow* next
        = OpenTableWindow(QStringLiteral("Orders"), QStringLiteral("SELECT * FROM Orders"));
    auto* nextSplitter = next->findChild<QSplitter*>(QStringLiteral("sqlSplitter"));
    const QList<int> sizes = nextSplitter->sizes();
    EXPECT_NEAR(double(sizes.value(1)) / double(sizes.value(0) + sizes.value(1)), 0.5, 0.02);
    EXPECT_TRUE(next->findChild<QCheckBox*>(QStringLiteral("keepResultsBox"))->isChecked());
}

} // namespace
