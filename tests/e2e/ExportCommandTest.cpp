// quorvane-cli export on a real device holding the demo databases: into a
// new file (replaced only with --yes) and into an ODBC data source of the
// test's own (a table there dropped only with --replace), with the exit
// status a script relies on.
#include "tests/e2e/E2eFixture.h"
#include "tests/support/SqliteOdbcDriver.h"

#include <fstream>

namespace e2e {
namespace {

class ExportCommand : public DemoDevice {
protected:
    // A query on a desktop database file, through the sqlite3 shell.
    std::string Sqlite(const std::filesystem::path& file, const std::string& sql)
    {
        const RunResult r = testsupport::RunProgram({ "/usr/bin/sqlite3", file.string(), sql }, home());
        return r.status == 0 ? r.out : "<failed: " + r.err + ">";
    }
};

TEST_F(ExportCommand, FileIsReplacedOnlyWithYesAndOnlyByAFinishedExport)
{
    const std::filesystem::path file = home() / "orders.db";
    RunResult r
        = Q({ "export", kOrders, "Products", "Order Details", "--to", file.string(), "--structure-only" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  Creating blank database.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Order Details : Creating table.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Database created successfully.\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("Order Details: Created table.\nProducts: Created table.\n")) << r.out;
    EXPECT_EQ(Sqlite(file, "select count(*) from Products"), "0\n");

    r = Q({ "export", kOrders, "Products", "--to", file.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("export: " + file.string() + " exists; nothing was changed (use --yes)"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(Sqlite(file, "select name from sqlite_master order by name"), "Order Details\nProducts\n");

    r = Q({ "export", kOrders, "Products", "--to", file.string(), "--yes" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("Products: Done.  16 rows copied.\n")) << r.out;
    EXPECT_EQ(Sqlite(file, "select name from sqlite_master order by name"), "Products\n");
    EXPECT_EQ(
        Sqlite(file, "select ProductName, UnitPrice from Products where ProductID = 15"), "Pavlova|17.45\n");

    r = Q({ "export", kOrders, "Nope", "--to", file.string() });
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("export: the database has no table \"Nope\""), std::string::npos) << r.err;
    r = Q({ "export", kOrders, "--to", file.string(), "--odbc", "X" });
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("export: give either --to FILE or --odbc DSN"), std::string::npos) << r.err;
}

TEST_F(ExportCommand, DataSourceTableIsDroppedOnlyWithReplace)
{
    const std::filesystem::path odbc = home() / "odbc";
    std::filesystem::create_directories(odbc);
    const std::filesystem::path target = odbc / "target.db";
    const std::string driver = testsupport::SqliteOdbcDriver();
    ASSERT_FALSE(driver.empty()) << "Debian's SQLite ODBC driver is missing (scripts/install-deps)";
    std::ofstream(odbc / "odbcinst.ini") << "[SQLite3]\nDriver=" << driver << "\n";
    std::ofstream(odbc / "odbc.ini") << "[QvCli]\nDriver=SQLite3\nDatabase=" << target.string() << "\n";
    const std::vector<std::string> env
        = { "ODBCSYSINI=" + odbc.string(), "ODBCINI=" + (odbc / "odbc.ini").string() };
    ASSERT_EQ(
        Sqlite(target, "create table Products (Mine text); insert into Products values ('precious')"), "");

    RunResult r = Q({ "export", kOrders, "Products", "Orders", "--odbc", "QvCli" }, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("  Products : The table exists already; it was left alone.\n"), std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("  Database created with problems: 1 table skipped, 0 tables failed, 0 rows left out.\n"),
        std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("Orders: Done.  960 rows copied.\nProducts: Table exists: not exported.\n"))
        << r.out;
    EXPECT_EQ(Sqlite(target, "select * from Products"), "precious\n");

    r = Q({ "export", kOrders, "Products", "--odbc", "QvCli", "--replace" }, env);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(Sqlite(target, "select count(*), typeof(Discontinued), min(Discontinued) from Products"),
        "16|text|false\n");
}

} // namespace
} // namespace e2e
