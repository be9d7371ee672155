// A table window on the demo database: what it shows, and edits typed into
// its grid as the user types them, checked on the device afterwards.
#include "DatabaseFixture.h"

using namespace databasetest;
using windowtest::WaitFor;

namespace {

class TableWindowTest : public DatabaseWindowTest {};

TEST_F(TableWindowTest, TypedValuesReachTheDeviceAsLiterals)
{
    database::DatabaseWindow* window = OpenTableWindow(QStringLiteral("Customers"), QStringLiteral("SELECT * FROM Customers"));
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
    EXPECT_EQ(Ask(QStringLiteral("SELECT ContactName FROM Customers WHERE CustomerID = 3")), QStringLiteral("O'Neil"));

    // Two lines: Shift+Enter breaks the line, Enter ends the edit.
    QWidget* editor = StartEdit(window, row, notes);
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("first"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editor, QStringLiteral("second"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(window->grid()->CellText(row, notes), QStringLiteral("first\r\nsecond"));
    EXPECT_EQ(Ask(QStringLiteral("SELECT Notes FROM Customers WHERE CustomerID = 3")), QStringLiteral("first\r\nsecond"));

    // "(null)" sets the value null.
    TypeIntoCell(window, row, city, QStringLiteral("(null)"));
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(window->grid()->CellKindAt(row, city), devlink::CellKind::Null);
    EXPECT_EQ(Ask(QStringLiteral("SELECT COUNT(*) FROM Customers WHERE CustomerID = 3 AND City IS NULL")), QStringLiteral("1"));
    EXPECT_EQ(m_prompter.Count(), 0) << Prompts();
}

} // namespace
