// The results grid model without a screen, under Qt's model tester: batches,
// texts and colours, sorting by column type, the filter, and the key checks.
#include "desktop/database/ResultsGrid.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>

#include <gtest/gtest.h>

using namespace database;
using devlink::CellKind;
using devlink::ColumnKind;
using devlink::QueryResult;

namespace {

QueryResult Header(const QStringList& names, const QList<ColumnKind>& kinds, const QVector<int>& keys = {})
{
    QueryResult r;
    r.columnCount = int(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        devlink::ColumnSchema c;
        c.name = names[i];
        c.kind = kinds[i];
        c.isPrimaryKey = keys.contains(int(i));
        r.columns << c;
    }
    r.primaryKeyColumns = keys;
    return r;
}

QueryResult Batch(const QList<QStringList>& rows)
{
    QueryResult r;
    for (const QStringList& row : rows) {
        r.rows << row;
        QByteArray kinds;
        for (const QString& cell : row)
            kinds.append(char(devlink::KindOfCellText(cell)));
        r.cellKinds << kinds;
    }
    return r;
}

QStringList Column(const ResultsGrid& grid, int column)
{
    QStringList texts;
    for (int r = 0; r < grid.rowCount(); ++r)
        texts << grid.index(r, column).data().toString();
    return texts;
}

} // namespace

TEST(ResultsGrid, ShowsBatchesWithTheGridsTextsAndColours)
{
    ResultsGrid grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.StartAnswer(Header({ QStringLiteral("ID"), QStringLiteral("Notes"), QStringLiteral("Picture") },
        { ColumnKind::Integer, ColumnKind::LongText, ColumnKind::Text }, { 0 }));
    grid.AppendBatch(Batch({ { QStringLiteral("1"), QStringLiteral("(null)"), QStringLiteral("\u000612") },
        { QStringLiteral("2"), QStringLiteral("two\r\nlines") } })); // a row short of a field
    ASSERT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Notes"));
    EXPECT_EQ(Column(grid, 1), QStringList({ QStringLiteral("(null)"), QStringLiteral("two\r\nlines") }));
    EXPECT_EQ(Column(grid, 2), QStringList({ QStringLiteral("(Binary: 12)"), QString() }));
    EXPECT_EQ(grid.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(140, 140, 140));
    EXPECT_EQ(grid.index(0, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(140, 140, 140));
    EXPECT_EQ(grid.index(1, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(grid.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(235, 235, 250));
    EXPECT_EQ(grid.index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));

    // Editable only when asked, and never a binary cell.
    EXPECT_FALSE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);
    grid.SetEditable(true);
    EXPECT_TRUE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.flags(grid.index(0, 2)) & Qt::ItemIsEditable);
    // A text the link cut at the longest a cell keeps is never saved back cut.
    grid.SetCellText(1, 1, QString(devlink::kMaxCellCharacters, u'x'));
    EXPECT_FALSE(grid.flags(grid.index(1, 1)) & Qt::ItemIsEditable);
    grid.SetDisabledLook(true);
    EXPECT_EQ(grid.index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(200, 200, 200));
    EXPECT_FALSE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);

    // A changed cell, a null typed, and a row removed.
    grid.SetCellText(1, 1, QStringLiteral("(null)"));
    EXPECT_EQ(grid.CellKindAt(1, 1), CellKind::Null);
    grid.SetCellText(0, 1, QStringLiteral("now set"));
    EXPECT_EQ(grid.RowTexts(0),
        QStringList({ QStringLiteral("1"), QStringLiteral("now set"), QStringLiteral("\u000612") }));
    grid.RemoveStoreRow(0);
    EXPECT_EQ(Column(grid, 0), QStringList({ QStringLiteral("2") }));
}

TEST(ResultsGrid, SortsByColumnTypeAndKeepsPersistentRows)
{
    ResultsGrid grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.StartAnswer(Header(
        { QStringLiteral("N"), QStringLiteral("When"), QStringLiteral("Name"), QStringLiteral("Price") },
        { ColumnKind::Integer, ColumnKind::DateTime, ColumnKind::Text, ColumnKind::Real }));
    grid.AppendBatch(Batch({ { QStringLiteral("10"), QStringLiteral("2005/01/03  08:00:00"),
                                 QStringLiteral("b"), QStringLiteral("10.5") },
        { QStringLiteral("9"), QStringLiteral("2004/12/31  23:59:59"), QStringLiteral("B"),
            QStringLiteral("9.25") },
        { QStringLiteral("-2"), QStringLiteral("(null)"), QStringLiteral("a"), QStringLiteral("100") },
        { QStringLiteral("100"), QStringLiteral("2005/01/03  07:00:00"), QStringLiteral("C"),
            QStringLiteral("(null)") } }));
    const QPersistentModelIndex hundred = grid.index(3, 2);

    grid.sort(0, Qt::AscendingOrder); // as numbers, not as texts
    EXPECT_EQ(Column(grid, 0),
        QStringList(
            { QStringLiteral("-2"), QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("100") }));
    EXPECT_EQ(hundred.row(), 3);
    EXPECT_EQ(hundred.data().toString(), QStringLiteral("C"));
    grid.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(grid, 0),
        QStringList(
            { QStringLiteral("100"), QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("-2") }));
    EXPECT_EQ(hundred.row(), 0);

    grid.sort(1, Qt::AscendingOrder); // as dates; the null first
    EXPECT_EQ(Column(grid, 0),
        QStringList(
            { QStringLiteral("-2"), QStringLiteral("9"), QStringLiteral("100"), QStringLiteral("10") }));
    grid.sort(2, Qt::AscendingOrder); // exact character order
    EXPECT_EQ(Column(grid, 2),
        QStringList({ QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("a"), QStringLiteral("b") }));
    grid.sort(3, Qt::AscendingOrder);
    EXPECT_EQ(Column(grid, 3),
        QStringList({ QStringLiteral("(null)"), QStringLiteral("9.25"), QStringLiteral("10.5"),
            QStringLiteral("100") }));

    // The filter picks from the loaded rows and keeps the order.
    RowFilter filter;
    filter.column = 2;
    filter.mode = RowFilter::Containing;
    filter.text = QStringLiteral("b");
    grid.SetFilter(filter);
    EXPECT_EQ(Column(grid, 2), QStringList({ QStringLiteral("B"), QStringLiteral("b") }));
    EXPECT_EQ(grid.storedRowCount(), 4);
    // Rows that arrive later meet the filter too.
    grid.AppendBatch(Batch(
        { { QStringLiteral("5"), QStringLiteral("(null)"), QStringLiteral("zebra"), QStringLiteral("1") },
            { QStringLiteral("6"), QStringLiteral("(null)"), QStringLiteral("x"), QStringLiteral("1") } }));
    EXPECT_EQ(
        Column(grid, 2), QStringList({ QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("zebra") }));
    grid.SetFilter(RowFilter());
    EXPECT_EQ(grid.rowCount(), 6);
    EXPECT_EQ(grid.DistinctValues(0).size(), 6);
}

TEST(ResultsGrid, FindsDuplicateKeysAndProposesTheNextOne)
{
    ResultsGrid grid;
    grid.StartAnswer(Header({ QStringLiteral("OrderID"), QStringLiteral("ProductID"), QStringLiteral("Qty") },
        { ColumnKind::Integer, ColumnKind::Integer, ColumnKind::Integer }, { 0, 1 }));
    grid.AppendBatch(Batch({ { QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("5") },
        { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5") } }));
    EXPECT_FALSE(grid.DuplicateKeyMessage());
    EXPECT_FALSE(grid.ProposedKey(0)); // fewer than three rows
    grid.AppendRow({ QStringLiteral("41"), QStringLiteral("2"), QStringLiteral("0") });
    EXPECT_EQ(grid.ProposedKey(0), 42);
    grid.SetCellText(2, 0, QStringLiteral("1"));
    EXPECT_EQ(grid.DuplicateKeyMessage(),
        QStringLiteral(
            "Matching primary key values found on rows 1 and 2.\r\n\r\nOrderID = 1\r\nProductID = 2\r\n\r\n"
            "You must change on of these Primary Key values before this record can be saved."));
}
