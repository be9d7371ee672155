// quorvane-cli's database commands on a real device holding the demo
// databases: every output format, the schema, the maintenance commands, and
// the messages a failed request prints.
#include "tests/e2e/E2eFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace e2e {
namespace {

class DatabaseCommands : public DemoDevice { };

const char* kFiveCustomers = "SELECT CustomerID, CompanyName, City, Active, Since, Notes FROM Customers "
                             "WHERE CustomerID IN (3, 7, 10, "
                             "11, 12)";

TEST_F(DatabaseCommands, SqlPrintsRowsInEveryFormat)
{
    RunResult r = Q({ "sql", kOrders, kFiveCustomers });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "CustomerID  CompanyName              City       Active  Since                 Notes\n"
        "----------  -----------------------  ---------  ------  --------------------  "
        "-------------------------------------------------\n"
        "         3  Berglunds snabbköp       Luleå      true    2004/01/09  08:00:00  Delivery to the back "
        "door.\\r\\nRing twice.\n"
        "         7  東京トレーディング       東京       true    2004/10/01  07:15:00  A company name and a "
        "city "
        "in Japanese characters.\n"
        "        10  Great Lakes Food Market  Eugene     true    2005/06/30  17:59:59  "
        "Tab\\tseparated\\tnote\n"
        "        11  Island Trading           Cowes      true    2005/09/09  09:09:09  (null)\n"
        "        12  Old World Delicatessen   Anchorage  true    2006/01/02  08:30:00  (null)\n");
    // Not on a terminal, the status goes where a line count does not see it.
    EXPECT_EQ(r.err, "5 rows found.\n");

    r = Q({ "sql", kOrders, kFiveCustomers, "--format", "tsv" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "CustomerID\tCompanyName\tCity\tActive\tSince\tNotes\n"
        "3\tBerglunds snabbköp\tLuleå\ttrue\t2004/01/09  08:00:00\tDelivery to the back door.\\r\\nRing "
        "twice.\n"
        "7\t東京トレーディング\t東京\ttrue\t2004/10/01  07:15:00\tA company name and a city in Japanese "
        "characters.\n"
        "10\tGreat Lakes Food Market\tEugene\ttrue\t2005/06/30  17:59:59\tTab\\tseparated\\tnote\n"
        "11\tIsland Trading\tCowes\ttrue\t2005/09/09  09:09:09\t\\N\n"
        "12\tOld World Delicatessen\tAnchorage\ttrue\t2006/01/02  08:30:00\t\\N\n");

    // Customer 11's note is the text "(null)", customer 12's a real null:
    // the agent's answer cannot tell them apart, so both print as null.
    r = Q({ "sql", kOrders, "SELECT CustomerID, Notes FROM Customers WHERE CustomerID IN (3, 11, 12)",
        "--format=json" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "{\"columns\":[{\"name\":\"CustomerID\",\"type\":\"int\",\"primaryKey\":false,\"notNull\":false,"
        "\"autoinc\":false},{\"name\":\"Notes\",\"type\":\"int\",\"primaryKey\":false,\"notNull\":false,"
        "\"autoinc\":false}],\n"
        "\"rows\":[\n"
        "[3,\"Delivery to the back door.\\r\\nRing twice.\"],\n"
        "[11,null],\n"
        "[12,null]]}\n");

    // The results file as the agent wrote it: transport codes and all.
    r = Q(
        { "sql", kOrders, "SELECT ProductID, Picture FROM Products WHERE ProductID < 4", "--format", "raw" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "<Success>\r\nCols: 2\r\nProductID\tPicture\t\r\nint\tint\t\r\n\t\t\r\n1\t\x06"
        "35 bytes\t\r\n2\t\x06"
        "28 bytes\t\r\n3\t(null)\t\r\n<end>\r\n");
}

TEST_F(DatabaseCommands, ATableViewCarriesDeclaredTypesAndKeys)
{
    RunResult r = Q({ "sql", kOrders, "SELECT * FROM Products", "--format", "json" });
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    const QJsonArray columns = doc.object().value(QStringLiteral("columns")).toArray();
    QStringList types;
    for (const auto& c : columns)
        types << c.toObject().value(QStringLiteral("type")).toString();
    EXPECT_EQ(types.join(QLatin1Char(',')).toStdString(),
        "int,nvarchar(40),nvarchar(20),money,smallint,bit,image,ntext");
    const QJsonObject id = columns[0].toObject();
    EXPECT_TRUE(id.value(QStringLiteral("primaryKey")).toBool());
    EXPECT_TRUE(id.value(QStringLiteral("autoinc")).toBool());
    EXPECT_TRUE(id.value(QStringLiteral("notNull")).toBool());
    const QJsonArray rows = doc.object().value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 16);
    EXPECT_EQ(rows[3].toArray()[1].toString().toStdString(), "Chef Anton's Cajun Seasoning");
    EXPECT_EQ(rows[0].toArray()[6].toInt(), 35); // the picture's byte count
    EXPECT_EQ(rows[5].toArray()[7].toString().toStdString(), "Dried in the sun.\r\nPacked by hand.");
    EXPECT_EQ(rows[11].toArray()[7].toString().toStdString(), "昆布 (kelp)");

    // The demo's row counts, through the bracketed name with a space.
    r = Q({ "sql", kOrders, "SELECT COUNT(*) FROM [Order Details]", "--format", "tsv" });
    EXPECT_EQ(r.out, "COUNT(*)\n2880\n");
    r = Q({ "sql", kOrders, "SELECT COUNT(*) FROM Orders", "--format", "tsv" });
    EXPECT_EQ(r.out, "COUNT(*)\n960\n");
}

TEST_F(DatabaseCommands, StatementsReportRowsAffectedAndReadFromStandardInput)
{
    RunResult r = Q({ "sql", kOrders, "UPDATE Products SET UnitsInStock = 0 WHERE ProductID IN (1, 2, 3)" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 rows affected.\n");
    r = Q({ "sql", kOrders, "DELETE FROM EventLog WHERE Source = 'Demo'", "--format", "tsv" });
    EXPECT_EQ(r.out, "1\n");
    r = Q({ "sql", kOrders, "UPDATE Products SET UnitsInStock = 1 WHERE ProductID = 4", "--format", "json" });
    EXPECT_EQ(r.out, "{\"rowsAffected\":1}\n");
    r = Q({ "sql", kOrders, "UPDATE Products SET UnitsInStock = 2 WHERE ProductID = 5", "--format", "raw" });
    EXPECT_EQ(r.out, "<Success>\r\nCols: 0\r\n1");

    // A statement over several lines, with a comment, from standard input.
    TempDir local;
    WriteHostFile(local.path() / "in.sql",
        "SELECT ProductName -- the name\nFROM Products\nWHERE UnitsInStock = 0\n  AND ProductID < 3\n");
    std::vector<std::string> argv = { Cli().string(), "sql", kOrders, "-", "--format", "tsv" };
    Process cli(argv, RunOptions { .home = home(), .input = local.path() / "in.sql" });
    r = cli.Wait(60);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ProductName\nChai\nChang\n");
}

TEST_F(DatabaseCommands, SchemaAndTables)
{
    RunResult r = Q({ "tables", kOrders });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Customers\nEventLog\nOrder Details\nOrders\nProducts\n");
    r = Q({ "schema", kOrders });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Order Details\n"
                         "  OrderID  [int not null]  (primary key)\n"
                         "  ProductID  [int not null]  (primary key)\n"
                         "  UnitPrice  [money not null]\n"
                         "  Quantity  [smallint default 1 not null]\n"
                         "  Discount  [real default 0 not null]\n"
                         "Orders\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("EventLog\n  LoggedAt  [datetime default GETDATE() not null]\n"), std::string::npos);
    r = Q({ "schema", kOrders, "--ascii" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("create table EventLog\n"
                         "(  LoggedAt datetime default GETDATE() not null,\n"
                         "  Source nvarchar(20),\n"
                         "  Message nvarchar(200),\n"
                         "  Severity tinyint \n"
                         ")\n\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(", constraint PK2 PRIMARY KEY ( OrderID, ProductID )\n"), std::string::npos);
}

TEST_F(DatabaseCommands, NewdbRenameDropAndCompact)
{
    const char* db = "\\My Documents\\Fresh.sdf";
    RunResult r = Q({ "newdb", db });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Created \\My Documents\\Fresh.sdf.\n");
    EXPECT_TRUE(std::filesystem::exists(deviceFiles() / "My Documents" / "Fresh.sdf"));
    // What happened, in the device's paths (the engine's own text names the emulator's).
    r = Q({ "newdb", db });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: newdb: \\My Documents\\Fresh.sdf already exists on the device\n");
    r = Q({ "newdb", "\\No Folder\\Fresh.sdf" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: newdb: the folder \\No Folder does not exist on the device\n");

    ASSERT_EQ(Q({ "sql", db, "CREATE TABLE [Old Name] (a int PRIMARY KEY, b nvarchar(10))" }).status, 0);
    ASSERT_EQ(Q({ "sql", db, "INSERT INTO [Old Name] (a, b) VALUES (1, 'one')" }).status, 0);
    r = Q({ "rename-table", db, "Old Name", "New Name" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Table rename successful.\n");
    r = Q({ "rename-table", db, "Old Name", "Other" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Unable to rename table from \"Old Name\" to \"Other\"\n");
    r = Q({ "rename-table", db, "New Name", "It's" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        "quorvane-cli: rename-table: a table name cannot hold an apostrophe (')\nTry 'quorvane-cli "
        "--help'.\n");

    // The desktop asks before dropping; without --yes the answer is Cancel.
    r = Q({ "drop-table", db, "New Name" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "Warning: Are you sure you want to delete (DROP) the table \"New Name\" ?\n\nThis action is NOT "
        "undo-able.\n[Cancel]\nquorvane-cli: drop-table: not confirmed; nothing was changed (use --yes)\n");
    EXPECT_EQ(Q({ "tables", db }).out, "New Name\n");
    r = Q({ "drop-table", db, "New Name", "--yes" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Update successful.\n");
    EXPECT_EQ(Q({ "tables", db }).out, "");
    r = Q({ "drop-table", db, "New Name", "--yes" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Unable to delete table \"New Name\".\n"), std::string::npos) << r.err;

    r = Q({ "compact", kOrders });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("Compact was successful")) << r.out;
    EXPECT_NE(r.out.find("Filesize before:\t"), std::string::npos) << r.out;
    EXPECT_EQ(
        Q({ "sql", kOrders, "SELECT COUNT(*) FROM Customers", "--format", "tsv" }).out, "COUNT(*)\n192\n");
    r = Q({ "compact", "\\My Documents\\Nothing.sdf" });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.ends_with("Error: Unable to compact this database.\n")) << r.err;
}

TEST_F(DatabaseCommands, PasswordsGivenRememberedOrWrong)
{
    RunResult r = Q({ "sql", kSecret, "SELECT Owner FROM Accounts" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
        "An error occurred whilst trying to run the following SQL:\n"
        "SELECT Owner FROM Accounts\n"
        "Error: Unable to open this database.\n"
        "Error code: 0x80040e4d\n"
        "Details: The database is encrypted; the database password is needed to open it.\n"
        "quorvane-cli: \\My Documents\\Secret.sdf is protected by a password; give it with --password\n");
    r = Q({ "tables", kSecret, "--password", "wrong" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Details: The specified password does not match the database password.\n"),
        std::string::npos)
        << r.err;
    EXPECT_TRUE(r.err.ends_with("quorvane-cli: the password given with --password is not the password of "
                                "\\My Documents\\Secret.sdf\n"))
        << r.err;
    r = Q({ "sql", kSecret, "SELECT Owner FROM Accounts", "--password", "demo", "--remember", "--format",
        "tsv" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Owner\nMaria Anders\nYang Wang\nHelen Bennett\n");
    // Remembered now, for this desktop.
    r = Q({ "tables", kSecret });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Accounts\n");
    // A database made with a password needs it from the start.
    r = Q({ "newdb", "\\Locked.sdf", "--password", "pw" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Created \\Locked.sdf, with a password.\n");
    EXPECT_EQ(Q({ "sql", "\\Locked.sdf", "CREATE TABLE t (a int)" }).status, 1);
    EXPECT_EQ(Q({ "sql", "\\Locked.sdf", "CREATE TABLE t (a int)", "--password", "pw" }).status, 0);
}

TEST_F(DatabaseCommands, FailuresPrintTheDesktopsMessages)
{
    // An invalid statement: the engine's text reaches stderr whole.
    RunResult r = Q({ "sql", kOrders, "SELEC * FROM Customers" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
        "An error occurred whilst trying to run the following SQL:\n"
        "SELEC * FROM Customers\n"
        "Error: Invalid SQL command.\n"
        "Error code: 0x80040e14\n"
        "Details: There was an error parsing the query. [1,1,SELEC ].\n");
    r = Q({ "sql", kOrders, "SELECT Nope FROM Customers", "--format", "raw" });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.starts_with("<Failed>\r\n")) << r.out;

    // A database that is not there.
    r = Q({ "sql", "\\My Documents\\Nothing.sdf", "SELECT * FROM Customers" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "An error occurred whilst trying to run the following SQL:\n"
        "SELECT * FROM Customers\n"
        "Error: Database error\n"
        "Error code: \n"
        "Details: The database file: \"\\My Documents\\Nothing.sdf\" does not exist.\n");
    r = Q({ "schema", "\\My Documents\\Nothing.sdf" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "Error: Could not open this database.\n\nError: The database file: \"\\My Documents\\Nothing.sdf\" "
        "does not exist.\n");

    // A change guarded to one row that would touch more is refused whole.
    r = Q({ "sql", kOrders, "DELETE FROM EventLog WHERE Severity = 2 LIMIT 1" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: the statement would change 96 rows; nothing was changed\n");
    EXPECT_EQ(
        Q({ "sql", kOrders, "SELECT COUNT(*) FROM EventLog", "--format", "tsv" }).out, "COUNT(*)\n145\n");

    // Usage errors never reach the device.
    r = Q({ "sql", kOrders });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quorvane-cli: sql takes DB SQL\nTry 'quorvane-cli sql --help'.\n");
    r = Q({ "sql", kOrders, "SELECT 1", "--format", "xml" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        "quorvane-cli: sql: --format takes table, tsv, csv, json or raw\nTry 'quorvane-cli sql --help'.\n");
    r = Q({ "sql", kOrders, "SELECT 1", "--format", "json", "--no-header" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        "quorvane-cli: sql: --no-header applies to table, tsv and csv, not json\nTry 'quorvane-cli sql "
        "--help'.\n");
}

} // namespace
} // namespace e2e
