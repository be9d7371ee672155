#include "ExportFixture.h"

#include "desktop/export/ExportRequest.h"
#include "desktop/export/ExportSql.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Password.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTreeView>
#include <QTreeWidget>

using exporttest::ExportTest;
using exporttest::Reader;

namespace {

QString ReadUtf16File(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xFF\xFE"))
        return QStringLiteral("<no byte-order mark>");
    return QString::fromUtf16(
        reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

template <typename T> T* Child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

} // namespace

// The dialog's table list, counts and target fields; GO !! saves the
// choices (the data source's password scrambled) and exports the structure
// into the data source; a second dialog comes back with those choices.
TEST_F(ExportTest, DialogChoosesTablesAndTargetAndRemembersTheChoices)
{
    database::DatabaseWindow* window = OpenOrders();
    // The window's Export... button opens the dialog with every table ticked.
    Click(window, "exportButton");
    auto* fromButton = windowtest::WaitForWindow<database::CExportDialog>(QStringLiteral("exportDialog"));
    ASSERT_TRUE(fromButton);
    EXPECT_EQ(Text(fromButton, "countLine"), QStringLiteral("All 6 tables chosen."));
    fromButton->close();
    database::CExportDialog* dialog = window->OpenExport(QStringLiteral("Orders"));
    EXPECT_EQ(Text(dialog, "countLine"), QStringLiteral("1 (out of 6) tables chosen."));
    Click(dialog, "selectNoneButton");
    EXPECT_EQ(Text(dialog, "countLine"), QStringLiteral("0 (out of 6) tables chosen."));
    EXPECT_FALSE(Child<QPushButton>(dialog, "goButton")->isEnabled());
    Click(dialog, "selectAllButton");
    EXPECT_EQ(Text(dialog, "countLine"), QStringLiteral("All 6 tables chosen."));
    EXPECT_TRUE(Child<QLineEdit>(dialog, "fileBox")->text().endsWith(QLatin1String("/Orders.db")));

    auto* source = Child<QComboBox>(dialog, "dataSourceBox");
    ASSERT_EQ(source->findText(QStringLiteral("QvExport")), source->currentIndex());
    EXPECT_EQ(Text(dialog, "driverLine"), QStringLiteral("SQLite3"));
    EXPECT_FALSE(source->isEnabled()) << "the file side is chosen at first";
    Click(dialog, "toOdbcButton");
    EXPECT_TRUE(source->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(dialog, "fileBox")->isEnabled());
    Child<QLineEdit>(dialog, "userBox")->setText(QStringLiteral("me"));
    Child<QLineEdit>(dialog, "passwordBox")->setText(QStringLiteral("s3cret"));
    Click(dialog, "structureOnlyButton");
    Click(dialog, "goButton");

    auto* progress = windowtest::WaitForWindow<database::CExportProgress>(QStringLiteral("exportProgress"));
    ASSERT_TRUE(progress);
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(Text(progress, "headerLine"), QStringLiteral("Finished exporting tables."));
    EXPECT_EQ(Text(progress, "targetLine"), QStringLiteral("QvExport"));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Products")), QStringLiteral("Created table."));
    EXPECT_EQ(LogLines(progress).mid(LogLines(progress).size() - 3, 2),
        QStringList({ QStringLiteral("Closing ODBC connection."),
            QStringLiteral("Database created successfully.") }));
    EXPECT_FALSE(Child<QPushButton>(progress, "cancelButton")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(progress, "okButton")->isEnabled());

    quint32 toAccess = 9, justTables = 9;
    QString name, user, password;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("EXPORT_TOACCESS"), &toAccess));
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("EXPORT_JUSTTABLES"), &justTables));
    settings::ReadString(QStringLiteral("EXPORT_ODBCNAME"), &name);
    settings::ReadString(QStringLiteral("EXPORT_ODBC_USERNAME"), &user);
    settings::ReadString(QStringLiteral("EXPORT_ODBC_PASSWORD"), &password);
    EXPECT_EQ(toAccess, 0u);
    EXPECT_EQ(justTables, 1u);
    EXPECT_EQ(name, QStringLiteral("QvExport"));
    EXPECT_EQ(user, QStringLiteral("me"));
    EXPECT_EQ(password, QString::fromStdU16String(exchange::ScramblePassword(u"s3cret")));
    EXPECT_NE(password, QStringLiteral("s3cret"));

    Reader odbc(QStringLiteral("QODBC"), QStringLiteral("QvExport"));
    ASSERT_TRUE(odbc.open()) << odbc.error();
    EXPECT_EQ(odbc.Rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")),
        QStringList({ "Customers", "EventLog", "Order Details", "Orders", "Products" }));
    EXPECT_EQ(odbc.One(QStringLiteral("SELECT count(*) FROM [Orders]")), QStringLiteral("0"));

    Click(progress, "okButton");
    database::CExportDialog* again = window->OpenExport(QString());
    EXPECT_TRUE(Child<QRadioButton>(again, "toOdbcButton")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(again, "structureOnlyButton")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(again, "userBox")->text(), QStringLiteral("me"));
    EXPECT_EQ(Child<QLineEdit>(again, "passwordBox")->text(), QStringLiteral("s3cret"));
}

// Every row of the demo database through ODBC and back: each value as the
// device sent it, each stored with the type its column calls for (a bit as
// the text the device wrote, since the data source is not a file target).
TEST_F(ExportTest, OdbcRoundTripOfTheDemoDatabaseKeepsEveryRowAndType)
{
    OpenOrders();
    const QStringList tables = { "Customers", "EventLog", "Order Details", "Orders", "Products" };
    database::CExportProgress* progress = StartExport(OdbcRequest(tables));
    QSignalSpy timeLeft(progress->session(), &dbexport::ExportSession::timeLeftChanged);
    ASSERT_TRUE(WaitFinished(progress));
    // A table's rows tell the time they have left while they are copied.
    QStringList told;
    for (const QList<QVariant>& arguments : std::as_const(timeLeft))
        told << arguments.first().toString();
    EXPECT_TRUE(
        told.filter(QRegularExpression(QStringLiteral("^About \\d\\d:\\d\\d left for Customers\\.$"))).size()
        > 0)
        << told.join('\n').toStdString();
    ASSERT_TRUE(LogLines(progress).contains(QStringLiteral("Database created successfully.")))
        << LogLines(progress).join('\n').toStdString();

    Reader odbc(QStringLiteral("QODBC"), QStringLiteral("QvExport"));
    ASSERT_TRUE(odbc.open()) << odbc.error();
    for (const QString& table : tables) {
        devlink::RequestController c;
        c.setDatabasePath(databasetest::kOrders);
        c.setSqlToRun(QStringLiteral("SELECT * FROM [%1]").arg(table));
        c.setShown(true);
        bool done = false;
        QObject::connect(&c, &devlink::RequestController::requestFinished, [&done] { done = true; });
        c.RunRequest();
        ASSERT_TRUE(windowtest::WaitFor([&done] { return done; }, 60000));
        const devlink::QueryResult& device = c.queryResult();
        QStringList columns, types;
        for (const devlink::ColumnSchema& column : device.columns) {
            const QString name = QLatin1Char('"') + dbexport::SafeFieldName(column.name) + QLatin1Char('"');
            // As text: the driver would turn a datetime column's text into a date.
            columns.append(name + QStringLiteral(" || ''"));
            types.append(QStringLiteral("typeof(%1)").arg(name));
        }
        const QStringList rows = odbc.Rows(QStringLiteral("SELECT %1, %2 FROM [%3] ORDER BY rowid")
                                               .arg(types.join(", "), columns.join(", "), table));
        ASSERT_EQ(rows.size(), device.rows.size())
            << table.toStdString() << ": " << rows.value(0).toStdString();
        const int n = int(device.columns.size());
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList cells = rows[r].split(QLatin1Char('|'));
            for (int col = 0; col < n; ++col) {
                const QString cell = device.KindOf(r, col) == devlink::CellKind::Null
                    ? QString()
                    : device.rows[r].value(col);
                const dbexport::ExportValue want
                    = dbexport::ConvertCell(cell, device.columns[col].typeText, false, QLatin1Char('.'));
                const QString type = cells.value(col), value = cells.value(n + col);
                const std::string where = table.toStdString() + " row " + std::to_string(r + 1) + " "
                    + device.columns[col].name.toStdString();
                switch (want.kind) {
                case dbexport::ExportValue::Kind::Null:
                    EXPECT_EQ(type, QStringLiteral("null")) << where;
                    break;
                case dbexport::ExportValue::Kind::Number:
                    EXPECT_TRUE(type == QLatin1String("integer") || type == QLatin1String("real"))
                        << where << " " << type.toStdString();
                    EXPECT_DOUBLE_EQ(value.toDouble(), want.text.toDouble()) << where;
                    break;
                case dbexport::ExportValue::Kind::Text:
                    EXPECT_EQ(type, QStringLiteral("text")) << where;
                    EXPECT_EQ(value, want.text) << where;
                    break;
                }
            }
        }
    }
    // Spot checks of what that means for the demo's values.
    EXPECT_EQ(odbc.One("SELECT typeof(Discontinued), Discontinued || '', typeof(UnitPrice), UnitPrice FROM "
                       "Products WHERE ProductID = 13"),
        QStringLiteral("text|false|real|23.25"));
    EXPECT_EQ(odbc.One("SELECT Notes FROM Customers WHERE CustomerID = 3"),
        QStringLiteral("Delivery to the back door.\r\nRing twice."));
}

// The edge cases of one table written to a file through the dialog, with a
// desktop whose decimal separator is a comma: int autoinc, a column named
// Type, a text holding "|", bits as 0 and 1, an empty text as null, and real
// numbers with a decimal point. An existing file is only replaced after Yes.
TEST_F(ExportTest, FileTargetThroughTheDialogWithACommaDecimalSeparator)
{
    Exec(QStringLiteral("CREATE TABLE Kinds (Id int IDENTITY(1,1) PRIMARY KEY, Type nvarchar(10), Flag bit, "
                        "Ratio real, Remark ntext)"));
    Exec(QStringLiteral("INSERT INTO Kinds (Type, Flag, Ratio, Remark) VALUES ('a|b', 0, 2.5, 'it''s')"));
    Exec(QStringLiteral("INSERT INTO Kinds (Type, Flag, Ratio, Remark) VALUES ('', 1, NULL, NULL)"));
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    database::DatabaseWindow* window = OpenOrders();
    const QString file = DesktopFile("kinds.db");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("keep me");
    }
    database::CExportDialog* dialog = window->OpenExport(QStringLiteral("Kinds"));
    Child<QLineEdit>(dialog, "fileBox")->setText(file);
    Click(dialog, "toFileButton");
    Click(dialog, "withDataButton");
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    Click(dialog, "goButton");
    ASSERT_TRUE(windowtest::WaitFor([this] { return m_prompter.Count() == 1; }));
    const auto question = m_prompter.Records().first();
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.text,
        QStringLiteral("The file:\r\n") + file
            + QStringLiteral("\r\nalready exists.\r\n\r\nDo you want to overwrite this file ?"));
    QTest::qWait(200);
    EXPECT_TRUE(dialog->isVisible()) << "No returns to the dialog";
    EXPECT_FALSE(windowtest::ShownWindow<database::CExportProgress>(QStringLiteral("exportProgress")));

    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    Click(dialog, "goButton");
    auto* progress = windowtest::WaitForWindow<database::CExportProgress>(QStringLiteral("exportProgress"));
    ASSERT_TRUE(progress);
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Kinds")), QStringLiteral("Done.  2 rows copied."));
    const QStringList log = LogLines(progress);
    EXPECT_TRUE(log.contains(QStringLiteral("Changed field name from \"Type\" to \"_Type\".")))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Database created successfully.")));
    EXPECT_TRUE(Child<QPushButton>(progress, "openFileButton")->isEnabled());

    Reader sqlite(QStringLiteral("QSQLITE"), file);
    ASSERT_TRUE(sqlite.open()) << sqlite.error();
    EXPECT_EQ(sqlite.One("SELECT sql FROM sqlite_master WHERE name = 'Kinds'"),
        QStringLiteral("CREATE TABLE [Kinds] (Id integer  not null, _Type varchar(10), Flag bit, Ratio "
                       "number, Remark memo)"));
    EXPECT_EQ(
        sqlite.Rows(
            "SELECT Id, _Type, typeof(Flag), Flag, typeof(Ratio), Ratio, Remark FROM Kinds ORDER BY Id"),
        QStringList({ "1|a|b|integer|0|real|2.5|it's", "2|null|integer|1|null|null|null" }));
    EXPECT_TRUE(QDir(QString::fromStdString(home().string()))
                    .entryList({ "*.part" }, QDir::Hidden | QDir::Files)
                    .isEmpty());
}

// A row the file refuses (an empty text is null, and the column is not
// null): the error dialog shows it, errorSQL.txt holds the statement, and
// Retry runs the statement as the user edited it.
TEST_F(ExportTest, RefusedRowIsRetriedWithTheEditedStatement)
{
    Exec(QStringLiteral("CREATE TABLE Tags (Id int NOT NULL, Label nvarchar(10) NOT NULL)"));
    Exec(QStringLiteral("INSERT INTO Tags VALUES (1, 'a')"));
    Exec(QStringLiteral("INSERT INTO Tags VALUES (2, '')"));
    Exec(QStringLiteral("INSERT INTO Tags VALUES (3, 'c')"));
    OpenOrders();
    const QString file = DesktopFile("tags.db");
    database::CExportProgress* progress = StartExport(FileRequest({ "Tags" }, file));
    database::CExportErrorDialog* error = WaitForErrorDialog();
    ASSERT_TRUE(error);
    EXPECT_EQ(
        Text(error, "titleLine"), QStringLiteral("Unable to insert a record into the table \"Tags\" :"));
    EXPECT_EQ(Text(error, "recordLine"), QStringLiteral("Record 2 of 3"));
    EXPECT_TRUE(Text(error, "errorText").contains(QLatin1String("NOT NULL")))
        << Text(error, "errorText").toStdString();
    auto* fields = Child<QTreeWidget>(error, "fieldList");
    ASSERT_EQ(fields->topLevelItemCount(), 2);
    EXPECT_EQ(fields->topLevelItem(1)->text(0) + "/" + fields->topLevelItem(1)->text(1) + "/"
            + fields->topLevelItem(1)->text(2),
        QStringLiteral("Label/nvarchar(10)/"));
    EXPECT_EQ(ReadUtf16File(dbexport::ErrorSqlPath()),
        QStringLiteral("INSERT INTO [Tags] (Id, Label) VALUES (2, null)"));

    auto* statement = Child<QPlainTextEdit>(error, "statementBox");
    EXPECT_FALSE(statement->isVisible());
    Child<QCheckBox>(error, "sqlViewBox")->setChecked(true);
    EXPECT_TRUE(statement->isVisible());
    EXPECT_EQ(statement->toPlainText(),
        QStringLiteral("INSERT INTO [Tags] (Id,\n     Label)\nVALUES (2,\n     null)"));
    statement->setPlainText(statement->toPlainText().replace(QLatin1String("null"), QLatin1String("'-'")));
    Click(error, "retryButton");
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Tags")), QStringLiteral("Done.  3 rows copied."));
    Reader sqlite(QStringLiteral("QSQLITE"), file);
    ASSERT_TRUE(sqlite.open()) << sqlite.error();
    EXPECT_EQ(sqlite.Rows("SELECT Id, Label FROM Tags ORDER BY Id"), QStringList({ "1|a", "2|-", "3|c" }));
}

// Skip leaves a refused row out and the summary counts it; a later export
// onto the same file that is cancelled while a row is asked about stops
// before the next row and leaves the earlier file as it was.
TEST_F(ExportTest, SkippedRowIsCountedAndCancelLeavesTheOldFile)
{
    Exec(QStringLiteral("CREATE TABLE Tags (Id int NOT NULL, Label nvarchar(10) NOT NULL)"));
    for (const char* row : { "(1, 'a')", "(2, '')", "(3, 'c')" })
        Exec(QStringLiteral("INSERT INTO Tags VALUES %1").arg(QLatin1String(row)));
    OpenOrders();
    const QString file = DesktopFile("tags.db");
    database::CExportProgress* progress = StartExport(FileRequest({ "Tags" }, file));
    database::CExportErrorDialog* error = WaitForErrorDialog();
    ASSERT_TRUE(error);
    Click(error, "skipButton");
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Tags")), QStringLiteral("Done.  2 rows copied."));
    EXPECT_TRUE(LogLines(progress).contains(
        QStringLiteral("Database created with problems: 0 tables skipped, 0 tables failed, 1 row left out.")))
        << LogLines(progress).join('\n').toStdString();
    Click(progress, "okButton");

    progress = StartExport(FileRequest({ "Tags" }, file));
    ASSERT_TRUE(WaitForErrorDialog());
    Click(progress, "cancelButton");
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Tags")), QStringLiteral("Cancelled."));
    EXPECT_EQ(LogLines(progress).last(), QStringLiteral("Operation cancelled."));
    EXPECT_FALSE(windowtest::ShownWindow<database::CExportErrorDialog>(QStringLiteral("exportErrorDialog")));
    EXPECT_FALSE(Child<QPushButton>(progress, "openFileButton")->isEnabled());
    Reader sqlite(QStringLiteral("QSQLITE"), file);
    ASSERT_TRUE(sqlite.open()) << sqlite.error();
    EXPECT_EQ(sqlite.Rows("SELECT Id, Label FROM Tags ORDER BY Id"), QStringList({ "1|a", "3|c" }));
}

// A table the file cannot create: Retry with an edited CREATE, then every
// row fails too and Abort ends that table with its count.
TEST_F(ExportTest, RefusedCreateIsRetriedAndAbortEndsTheTable)
{
    Exec(QStringLiteral("CREATE TABLE Grouping ([Group] int)"));
    Exec(QStringLiteral("INSERT INTO Grouping VALUES (7)"));
    OpenOrders();
    const QString file = DesktopFile("group.db");
    database::CExportProgress* progress = StartExport(FileRequest({ "Grouping", "Products" }, file));
    database::CExportErrorDialog* error = WaitForErrorDialog();
    ASSERT_TRUE(error);
    EXPECT_EQ(Text(error, "titleLine"), QStringLiteral("Unable to create the table \"Grouping\" :"));
    EXPECT_FALSE(Child<QTreeWidget>(error, "fieldList"));
    auto* statement = Child<QPlainTextEdit>(error, "statementBox");
    EXPECT_EQ(statement->toPlainText(), QStringLiteral("create table [Grouping] (Group integer)"));
    statement->setPlainText(QStringLiteral("create table [Grouping] ([Group] integer)"));
    Click(error, "retryButton");
    error = nullptr;
    ASSERT_TRUE(windowtest::WaitFor(
        [&] {
            error
                = windowtest::ShownWindow<database::CExportErrorDialog>(QStringLiteral("exportErrorDialog"));
            return error && Text(error, "titleLine").contains(QLatin1String("insert"));
        },
        60000));
    Click(error, "abortButton");
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Grouping")),
        QStringLiteral("Aborted,  0 rows out of 1 were copied."));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Products")), QStringLiteral("Done.  16 rows copied."));
    EXPECT_TRUE(LogLines(progress).contains(QStringLiteral(
        "Database created with problems: 0 tables skipped, 1 table failed, 0 rows left out.")));
}

// A data source's table of the same name is dropped only after the user
// said Yes; No leaves it and its rows alone.
TEST_F(ExportTest, ExistingDataSourceTableIsReplacedOnlyWhenTheUserAgrees)
{
    {
        Reader target(QStringLiteral("QSQLITE"), OdbcFile());
        ASSERT_TRUE(target.open()) << target.error();
        QSqlQuery query(target.db());
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE Products (Mine text)")));
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO Products VALUES ('precious')")));
    }
    OpenOrders();
    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    database::CExportProgress* progress = StartExport(OdbcRequest({ "Products" }));
    ASSERT_TRUE(WaitFinished(progress));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().first().caption, QStringLiteral("Warning"));
    EXPECT_EQ(m_prompter.Records().first().text,
        QStringLiteral(
            "The table \"Products\" already exists in the data source \"QvExport\".\r\n\r\nDo you want "
            "to replace it ?  Its rows will be lost."));
    EXPECT_EQ(
        TableStatus(progress, QStringLiteral("Products")), QStringLiteral("Table exists: not exported."));
    {
        Reader odbc(QStringLiteral("QODBC"), QStringLiteral("QvExport"));
        ASSERT_TRUE(odbc.open()) << odbc.error();
        EXPECT_EQ(odbc.Rows(QStringLiteral("SELECT * FROM Products")), QStringList({ "precious" }));
    }
    Click(progress, "okButton");

    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    progress = StartExport(OdbcRequest({ "Products" }));
    ASSERT_TRUE(WaitFinished(progress));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Products")), QStringLiteral("Done.  16 rows copied."));
    Reader odbc(QStringLiteral("QODBC"), QStringLiteral("QvExport"));
    ASSERT_TRUE(odbc.open()) << odbc.error();
    EXPECT_EQ(odbc.One(QStringLiteral("SELECT count(*) FROM Products")), QStringLiteral("16"));
}

// A table gone from the device since its window listed it: the agent's
// failure goes to the log, the table counts as failed, and the next table
// is still exported.
TEST_F(ExportTest, TableTheDeviceCannotReadIsLoggedAndCountedAsFailed)
{
    Exec(QStringLiteral("CREATE TABLE Fleeting (Id int)"));
    OpenOrders();
    Exec(QStringLiteral("DROP TABLE Fleeting"));
    database::CExportProgress* progress
        = StartExport(FileRequest({ "Fleeting", "Products" }, DesktopFile("f.db")));
    ASSERT_TRUE(WaitFinished(progress));
    const QStringList log = LogLines(progress);
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Fleeting")), QStringLiteral("Couldn't retrieve data."));
    EXPECT_EQ(TableStatus(progress, QStringLiteral("Products")), QStringLiteral("Done.  16 rows copied."));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& line) {
        return line.startsWith("Error : ");
    })) << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(
        "Database created with problems: 0 tables skipped, 1 table failed, 0 rows left out.")));
    Reader sqlite(QStringLiteral("QSQLITE"), DesktopFile("f.db"));
    ASSERT_TRUE(sqlite.open()) << sqlite.error();
    EXPECT_EQ(sqlite.Rows("SELECT name FROM sqlite_master ORDER BY name"), QStringList({ "Products" }))
        << "the failed table's creation was rolled back";
}
