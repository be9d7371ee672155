// The grid's generated SQL and value checks, as exact texts.
#include "desktop/database/GridSql.h"

#include <gtest/gtest.h>

using namespace database;
using devlink::ColumnKind;
using devlink::ColumnSchema;

namespace {

ColumnSchema Column(const QString& name, ColumnKind kind, bool key = false, bool notNull = false)
{
    ColumnSchema c;
    c.name = name;
    c.kind = kind;
    c.isPrimaryKey = key;
    c.isNotNull = notNull;
    return c;
}

const QLocale kCommaLocale(QLocale::German, QLocale::Germany);
const QLocale kDayFirstLocale(QLocale::English, QLocale::UnitedKingdom);
const QLocale kC = QLocale::c();

} // namespace

TEST(GridSql, UpdatesQuoteTextsAndKeepKeysThatWereNull)
{
    const QVector<ColumnSchema> columns = { Column(QStringLiteral("ID"), ColumnKind::Integer, true),
        Column(QStringLiteral("Last Name"), ColumnKind::Text) };
    const QString where = WhereClause(columns, { 0 }, { QStringLiteral("7"), QStringLiteral("O'Brien") }, {},
        RowChange::Update, 1, true, kC);
    EXPECT_EQ(where, QStringLiteral("ID=7"));
    EXPECT_EQ(
        UpdateStatement(QStringLiteral("Order Details"), columns[1], QStringLiteral("O'Neil"), where, kC),
        QStringLiteral("UPDATE [Order Details] SET \"Last Name\"='O''Neil' WHERE ID=7"));
    // A two-line value travels with the line break marker, a tab with its own.
    EXPECT_EQ(FormatSqlValue(QStringLiteral("one\r\ntwo\tthree"), ColumnKind::LongText, kC),
        QStringLiteral("'one\u001d\u001etwo\u0008three'"));
    EXPECT_EQ(UpdateStatement(
                  QStringLiteral("T"), columns[1], QStringLiteral("(null)"), QStringLiteral("ID=7"), kC),
        QStringLiteral("UPDATE T SET \"Last Name\"=NULL WHERE ID=7"));
    EXPECT_EQ(WhereClause(columns, { 0, 1 }, { QStringLiteral("(null)"), QStringLiteral("x") }, {},
                  RowChange::Delete, -1, true, kC),
        QStringLiteral("ID IS NULL AND \"Last Name\"='x'"));
}

TEST(GridSql, DecimalsAndDatesReachTheDeviceInItsOwnForm)
{
    // A comma typed on a comma desktop becomes a point.
    const CellCheck decimal = CheckCellText(QStringLiteral(" 3,5 "), ColumnKind::Real, kCommaLocale);
    ASSERT_TRUE(decimal.ok);
    EXPECT_EQ(FormatSqlValue(decimal.text, ColumnKind::Real, kCommaLocale), QStringLiteral("3.5"));
    EXPECT_EQ(
        CheckCellText(QStringLiteral(",5"), ColumnKind::Real, kCommaLocale).text, QStringLiteral("0,5"));
    EXPECT_EQ(
        CheckCellText(QStringLiteral("7,"), ColumnKind::Real, kCommaLocale).text, QStringLiteral("7,0"));
    for (const char* bad : { "3,5,1", "-3", ",", "", "3.5" })
        EXPECT_EQ(CheckCellText(QString::fromLatin1(bad), ColumnKind::Real, kCommaLocale).error,
            QStringLiteral("This is not a valid float."))
            << bad;

    // Day first on this desktop: the 3rd of April, sent year first.
    const CellCheck date = CheckCellText(QStringLiteral("03/04/2006"), ColumnKind::DateTime, kDayFirstLocale);
    ASSERT_TRUE(date.ok);
    EXPECT_EQ(date.text, QStringLiteral("2006/04/03 00:00:00"));
    EXPECT_EQ(FormatSqlValue(QStringLiteral("03/04/2006 14:05"), ColumnKind::DateTime, kDayFirstLocale),
        QStringLiteral("'2006/04/03 14:05:00'"));
    // The grid's own form (two spaces) passes whatever the locale.
    EXPECT_EQ(
        CheckCellText(QStringLiteral("2005/06/30  17:59:59"), ColumnKind::DateTime, kDayFirstLocale).text,
        QStringLiteral("2005/06/30 17:59:59"));
    EXPECT_EQ(CheckCellText(QStringLiteral("31/02/2006"), ColumnKind::DateTime, kDayFirstLocale).error,
        QStringLiteral("This is not a valid date/time."));

    for (const char* good : { "", " 42 ", "-7" })
        EXPECT_TRUE(CheckCellText(QString::fromLatin1(good), ColumnKind::Integer, kC).ok) << good;
    for (const char* bad : { "4 2", "1e3", "-", "+5" })
        EXPECT_EQ(CheckCellText(QString::fromLatin1(bad), ColumnKind::Integer, kC).error,
            QStringLiteral("This is not a valid integer."))
            << bad;
    EXPECT_TRUE(CheckCellText(QStringLiteral("(null)"), ColumnKind::Integer, kC).ok);
}

TEST(GridSql, RowsWithoutAKeyAreNamedByTheirComparableCells)
{
    const QVector<ColumnSchema> columns = { Column(QStringLiteral("LoggedAt"), ColumnKind::DateTime),
        Column(QStringLiteral("Message"), ColumnKind::Text),
        Column(QStringLiteral("Note"), ColumnKind::LongText),
        Column(QStringLiteral("Price"), ColumnKind::Real),
        Column(QStringLiteral("Severity"), ColumnKind::Integer),
        Column(QStringLiteral("Picture"), ColumnKind::Text) };
    const QStringList row = { QStringLiteral("2005/01/03  08:00:00"), QStringLiteral("a"),
        QStringLiteral("long"), QStringLiteral("1.5"), QStringLiteral("2"), QStringLiteral("\u00065") };
    const QVector<bool> binary = { false, false, false, false, false, true };
    EXPECT_EQ(WhereClause(columns, {}, row, binary, RowChange::Update, 1, true, kC),
        QStringLiteral("LoggedAt='2005/01/03 08:00:00' AND Message='a' AND Severity=2 LIMIT 1"));
    EXPECT_EQ(WhereClause(columns, {}, row, binary, RowChange::Delete, 2, false, kC),
        QStringLiteral("LoggedAt='2005/01/03 08:00:00' AND Message='a' AND Price=1.5 AND Severity=2"));

    const QString statement = UpdateStatement(QStringLiteral("EventLog"), columns[1], QStringLiteral("b"),
        QStringLiteral("Message='a' LIMIT 1"), kC);
    EXPECT_EQ(WithoutLimit(statement), QStringLiteral("UPDATE EventLog SET Message='b' WHERE Message='a'"));
    EXPECT_EQ(GuardedUpdateQuestion(QStringLiteral("a"), QStringLiteral("b"), 3, statement),
        QStringLiteral(
            "This table does not have any Primary Keys defined for it, so individual rows cannot be uniquely "
            "indentified.\r\n\r\nThe following SQL command can be run to change this field's value from "
            "\"a\" to \"b\", however, 2 other rows will also be set to this value.\r\n\r\nSQL command:\r\n"
            "UPDATE EventLog\r\nSET Message='b'\r\nWHERE Message='a'\r\n\r\nDo you still want to update the "
            "values in these 3 rows ?"));
    EXPECT_TRUE(GuardedDeleteQuestion(2, QStringLiteral("DELETE FROM T WHERE a=1 LIMIT 1"))
                    .contains(QStringLiteral(
                        "however, 1 other row will ALSO be deleted.\r\n\r\nSQL command:\r\n"
                        "DELETE FROM T\r\nWHERE a=1\r\n\r\nDo you still want to delete these 2 rows ?")));
}

TEST(GridSql, NewRowsStartWithTheirColumnsDefaultsAndSkipIdentities)
{
    QVector<ColumnSchema> columns = { Column(QStringLiteral("ID"), ColumnKind::Integer, true, true),
        Column(QStringLiteral("Name"), ColumnKind::Text, false, true),
        Column(QStringLiteral("When"), ColumnKind::DateTime, false, true),
        Column(QStringLiteral("Price"), ColumnKind::Real, false, true),
        Column(QStringLiteral("Qty"), ColumnKind::Integer, false, true),
        Column(QStringLiteral("Note"), ColumnKind::Text) };
    const QStringList start = NewRowTexts(columns, { 11, std::nullopt });
    EXPECT_EQ(start,
        QStringList({ QStringLiteral("11"), QString(), QStringLiteral("1900/01/01 00:00"),
            QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("(null)") }));
    columns[0].isAutoinc = true;
    EXPECT_EQ(InsertStatement(QStringLiteral("My Table"), columns, start, {}, kC),
        QStringLiteral(
            "INSERT INTO [My Table] (Name, When, Price, Qty) VALUES ('', '1900/01/01 00:00:00', 0, 0)"));
}

TEST(GridSql, OnlyAPlainSelectOfOneTableIsEditable)
{
    QString table;
    EXPECT_TRUE(IsSingleTableSelect(QStringLiteral("  select * from [Order Details]  "), &table));
    EXPECT_EQ(table, QStringLiteral("Order Details"));
    EXPECT_TRUE(IsSingleTableSelect(QStringLiteral("SELECT * FROM customers"), &table));
    EXPECT_EQ(table, QStringLiteral("customers"));
    for (const char* other : { "SELECT a FROM Orders", "SELECT * FROM Orders WHERE ID=1", "SELECT * FROM ",
             "SELECT * FROM Orders; DELETE FROM Orders", "SELECT * FROM [A] JOIN [B]" })
        EXPECT_FALSE(IsSingleTableSelect(QString::fromLatin1(other), &table)) << other;

    // A comment ends at its line: the line break travels as a line break.
    EXPECT_EQ(SqlPanelRequest(QStringLiteral("DELETE FROM Orders -- old\nWHERE Yr < 2000")),
        QStringLiteral("DELETE FROM Orders -- old\r\nWHERE Yr < 2000"));
}

TEST(GridSql, FilterModes)
{
    RowFilter filter;
    filter.column = 0;
    filter.mode = RowFilter::Values;
    filter.values = { QStringLiteral("Berlin"), QStringLiteral("Bern") };
    EXPECT_TRUE(FilterKeeps(filter, u"\t Bern "));
    EXPECT_FALSE(FilterKeeps(filter, u"bern"));
    filter.mode = RowFilter::Containing;
    filter.text = QStringLiteral("ER");
    EXPECT_TRUE(FilterKeeps(filter, u"Bern"));
    filter.exactMatch = true;
    EXPECT_FALSE(FilterKeeps(filter, u"Bern"));
    filter.text = QStringLiteral("Bern");
    EXPECT_TRUE(FilterKeeps(filter, u" Bern\t"));
    filter.mode = RowFilter::Off;
    EXPECT_TRUE(FilterKeeps(filter, u"anything"));
}
