#include "desktop/export/ExportSql.h"
#include "desktop/export/ExportSession.h"

#include <gtest/gtest.h>

using namespace dbexport;

namespace {

std::string S(const QString& text)
{
    return text.toStdString();
}

QString LiteralOf(const QString& cell, const QString& type, bool toAccess, QChar separator = QLatin1Char('.'))
{
    return Literal(ConvertCell(cell, type, toAccess, separator));
}

} // namespace

TEST(MapColumnType, AutoincLeavesTheSpaceBeforeItAndPrefixRulesKeepTheRest)
{
    EXPECT_EQ(S(MapColumnType("int autoinc", "T", true, nullptr)), "integer ");
    EXPECT_EQ(S(MapColumnType("int autoinc not null", "T", true, nullptr)), "integer  not null");
    EXPECT_EQ(S(MapColumnType("bigint", "T", false, nullptr)), "integer");
    EXPECT_EQ(S(MapColumnType("tinyint", "T", false, nullptr)), "integer");
    EXPECT_EQ(S(MapColumnType("NVARCHAR(100) not null", "T", false, nullptr)), "varchar(100) not null");
    EXPECT_EQ(S(MapColumnType("ntext(40)", "T", true, nullptr)), "varchar(40)");
    EXPECT_EQ(S(MapColumnType("nchar(10)", "T", true, nullptr)), "varchar(10)");
    // Types without a rule pass unchanged.
    for (const char* type : { "datetime", "bit", "float", "smallint", "numeric(18,2)", "image" })
        EXPECT_EQ(S(MapColumnType(type, "T", true, nullptr)), type);
}

TEST(MapColumnType, FileTargetAndDataSourceDifferOnRealMoneyAndLongText)
{
    EXPECT_EQ(S(MapColumnType("real", "T", true, nullptr)), "number");
    EXPECT_EQ(S(MapColumnType("money not null", "T", true, nullptr)), "number not null");
    EXPECT_EQ(S(MapColumnType("real", "T", false, nullptr)), "real");
    EXPECT_EQ(S(MapColumnType("money", "T", false, nullptr)), "money");
    EXPECT_EQ(S(MapColumnType("ntext", "T", true, nullptr)), "memo");
    EXPECT_EQ(S(MapColumnType("ntext", "T", false, nullptr)), "varchar(8000)");

    QString note;
    EXPECT_EQ(S(MapColumnType("ntext", "T", true, &note)), "memo");
    EXPECT_TRUE(note.isEmpty()) << "only a bare nchar is logged";
    EXPECT_EQ(S(MapColumnType("nchar", "Notes", false, &note)), "varchar(8000)");
    EXPECT_EQ(S(note), "Notes : Replaced \"nchar\" field with varchar(8000).");
}

TEST(MapColumnType, DeviceDefaultExpressionsAreLeftOut)
{
    EXPECT_EQ(S(MapColumnType("uniqueidentifier default NEWID() not null", "T", true, nullptr)),
        "varchar(40) not null");
    EXPECT_EQ(S(MapColumnType("datetime default GETDATE()", "T", true, nullptr)), "datetime");
    EXPECT_EQ(
        S(MapColumnType("nvarchar(9) default 'a b' not null", "T", false, nullptr)), "varchar(9) not null");
}

TEST(CreateTableStatement, ReservedAndSpacedNamesWithTheirLogLines)
{
    devlink::TableSchema table;
    table.name = "Order Lines";
    table.columns
        = { { .name = "Id", .typeText = "int autoinc" }, { .name = "Type", .typeText = "nvarchar(5)" },
              { .name = "unit price", .typeText = "money" }, { .name = "Memo", .typeText = "nchar" } };
    QStringList notes;
    EXPECT_EQ(S(CreateTableStatement(table, true, &notes)),
        "create table [Order Lines] (Id integer , _Type varchar(5), \"unit price\" number, Memo memo)");
    EXPECT_EQ(notes,
        QStringList({ "Changed field name from \"Type\" to \"_Type\".",
            "Order Lines : Replaced \"nchar\" field with memo." }));
    EXPECT_EQ(S(InsertHead(table.name, { "Id", "Type", "unit price", "VALUE", "Values" })),
        "INSERT INTO [Order Lines] (Id, _Type, \"unit price\", _VALUE, Values) VALUES (");
}

TEST(ConvertCell, NullsNumbersAndBitsByTarget)
{
    EXPECT_EQ(S(LiteralOf("", "nvarchar(10)", true)), "null");
    EXPECT_EQ(S(LiteralOf("(null)", "int", false)), "null");
    EXPECT_EQ(S(LiteralOf("12", "smallint", false)), "12");
    EXPECT_EQ(S(LiteralOf("18.5", "numeric(18,2)", false)), "18.5");
    EXPECT_EQ(S(LiteralOf("false", "bit", true)), "0");
    EXPECT_EQ(S(LiteralOf("true", "bit", true)), "1");
    EXPECT_EQ(S(LiteralOf("false", "bit", false)), "'false'");
    // The device writes numbers with the desktop's separator; SQL gets a point.
    EXPECT_EQ(S(LiteralOf("2,5", "real", true, QLatin1Char(','))), "2.5");
    EXPECT_EQ(S(LiteralOf("1234,5", "money", false, QLatin1Char(','))), "1234.5");
    EXPECT_EQ(S(LiteralOf("0,25", "float", false, QLatin1Char(','))), "0.25");
    // A text column keeps its commas whatever the separator.
    EXPECT_EQ(S(LiteralOf("2,5", "nvarchar(5)", true, QLatin1Char(','))), "'2,5'");
    // A null is bound as a null text, a value as its text.
    const QVariant null = Binding(ConvertCell("", "ntext", true, '.'));
    EXPECT_TRUE(null.isNull());
    EXPECT_EQ(null.metaType().id(), QMetaType::QString);
    EXPECT_EQ(S(Binding(ConvertCell("2,5", "real", true, ',')).toString()), "2.5");
}

TEST(ConvertCell, TextQuotingLineBreaksBarsAndBinaryPlaceholders)
{
    EXPECT_EQ(S(LiteralOf("a|b", "nvarchar(5)", true)), "'a|b'");
    EXPECT_EQ(S(LiteralOf("O'Brien", "nvarchar(9)", true)), "'O''Brien'");
    EXPECT_EQ(
        LiteralOf("one\ntwo\r\nthree\n\rfour", "ntext", true), QString("'one\r\ntwo\r\nthree\n\rfour'"));
    EXPECT_EQ(LiteralOf("tab\there", "ntext", true), QString("'tab\there'"));
    EXPECT_EQ(LiteralOf(QString(QChar(6)) + "35 bytes", "image", true), QString("'35 bytes'"));
    const QVector<ExportValue> values = { ConvertCell("1", "int", true, '.'),
        ConvertCell("", "ntext", true, '.'), ConvertCell("it's", "ntext", true, '.') };
    EXPECT_EQ(S(InsertStatement("INSERT INTO [T] (a, b, c) VALUES (", values)),
        "INSERT INTO [T] (a, b, c) VALUES (1, null, 'it''s')");
}

TEST(StatementForEditing, BreaksAfterCommasAndBeforeValuesAndBack)
{
    const QString sql = "INSERT INTO [T] (a, b) VALUES (1, 'x')";
    const QString shown = StatementForEditing(sql);
    EXPECT_EQ(S(shown), "INSERT INTO [T] (a,\r\n     b)\r\nVALUES (1,\r\n     'x')");
    EXPECT_EQ(S(StatementFromEditing(shown)), S(sql));
    QString edited = shown;
    edited.replace("\r\n", "\n");
    EXPECT_EQ(S(StatementFromEditing(edited)), S(sql)) << "an edit box's bare line feeds";
}

TEST(ExportTexts, TimeTakenAndPlurals)
{
    EXPECT_EQ(S(TimeTakenText(59999)), "Time taken: 59s");
    EXPECT_EQ(S(TimeTakenText(125000)), "Time taken: 2m 05s");
    EXPECT_EQ(S(Plural(1)), "");
    EXPECT_EQ(S(Plural(0)), "s");
    EXPECT_EQ(S(Plural(2)), "s");
}

TEST(ExportTexts, TimeLeftFromTheRowsDoneSoFar)
{
    EXPECT_EQ(S(RowsTimeLeftText("Orders", 0, 100, 500)), "");
    EXPECT_EQ(S(RowsTimeLeftText("Orders", 10, 100, 1000)), "About 00:09 left for Orders.");
    EXPECT_EQ(S(RowsTimeLeftText("Orders", 100, 7000, 1000)), "About 01:09 left for Orders.");
    EXPECT_EQ(S(RowsTimeLeftText("Orders", 100, 100, 1000)), "About 00:00 left for Orders.");
    EXPECT_EQ(S(RowsTimeLeftText("Orders", 101, 100, 1000)), "") << "more rows than the count said";
}
