// Fixture of the export tests: the database window fixture (a real
// cedevice with the demo databases, the agent deployed), a private ODBC data
// source "QvExport" (a SQLite file through Debian's SQLite ODBC driver,
// registered in odbc.ini and odbcinst.ini of this test's home through
// ODBCSYSINI and ODBCINI), and helpers that run an export window to its end
// and read what a desktop database holds.
#pragma once

#include "DatabaseFixture.h"

#include "desktop/database/CExportDialog.h"
#include "desktop/database/CExportErrorDialog.h"
#include "desktop/database/CExportProgress.h"
#include "tests/support/SqliteOdbcDriver.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <fstream>

namespace exporttest {

// A connection to a desktop database for the test to read, closed with it.
class Reader {
public:
    Reader(const QString& driver, const QString& name)
    {
        static int serial = 0;
        m_connection = QStringLiteral("export-test-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
        db.setDatabaseName(name);
        m_open = db.open();
        m_error = db.lastError().text();
    }
    ~Reader() { QSqlDatabase::removeDatabase(m_connection); }

    bool open() const { return m_open; }
    std::string error() const { return m_error.toStdString(); }
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection); }

    // Every row of `sql`, each cell as "type:value" (SQLite's storage class
    // and the value's text), joined by "|".
    QStringList Rows(const QString& sql) const
    {
        QStringList rows;
        QSqlQuery query(db());
        if (!query.exec(sql))
            return { QStringLiteral("<failed: %1>").arg(query.lastError().text()) };
        while (query.next()) {
            QStringList cells;
            for (int c = 0; c < query.record().count(); ++c)
                cells.append(query.value(c).isNull() ? QStringLiteral("null") : query.value(c).toString());
            rows.append(cells.join(QLatin1Char('|')));
        }
        return rows;
    }
    QString One(const QString& sql) const
    {
        const QStringList rows = Rows(sql);
        return rows.isEmpty() ? QStringLiteral("<no rows>") : rows.first();
    }

private:
    QString m_connection;
    bool m_open = false;
    QString m_error;
};

class ExportTest : public databasetest::DatabaseWindowTest {
protected:
    void SetUp() override
    {
        DatabaseWindowTest::SetUp();
        const std::filesystem::path odbc = home() / "odbc";
        std::filesystem::create_directories(odbc);
        const std::string driver = testsupport::SqliteOdbcDriver();
        ASSERT_FALSE(driver.empty()) << "Debian's SQLite ODBC driver is missing (scripts/install-deps)";
        std::ofstream(odbc / "odbcinst.ini")
            << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << driver << "\n";
        std::ofstream(odbc / "odbc.ini")
            << "[QvExport]\nDriver=SQLite3\nDatabase=" << OdbcFile().toStdString() << "\n";
        setenv("ODBCSYSINI", odbc.c_str(), 1);
        setenv("ODBCINI", (odbc / "odbc.ini").c_str(), 1);
    }

    void TearDown() override
    {
        DatabaseWindowTest::TearDown();
        unsetenv("ODBCSYSINI");
        unsetenv("ODBCINI");
    }

    QString OdbcFile() const { return QString::fromStdString((home() / "odbc" / "target.db").string()); }
    QString DesktopFile(const char* name) const { return QString::fromStdString((home() / name).string()); }

    // A database window on Orders with its schema loaded (which leaves the
    // binary schema on the device for the export).
    database::DatabaseWindow* OpenOrders()
    {
        auto* window = new database::DatabaseWindow(
            QString(), databasetest::kOrders, QString(), false, false, QString());
        window->show();
        EXPECT_TRUE(WaitIdle(window)) << Status(window);
        return window;
    }

    static dbexport::ExportRequest FileRequest(const QStringList& tables, const QString& file)
    {
        dbexport::ExportRequest request;
        request.tables = tables;
        request.toAccess = true;
        request.accessFile = file;
        request.databasePath = databasetest::kOrders;
        return request;
    }

    static dbexport::ExportRequest OdbcRequest(const QStringList& tables)
    {
        dbexport::ExportRequest request = FileRequest(tables, QString());
        request.toAccess = false;
        request.dataSource = QStringLiteral("QvExport");
        return request;
    }

    // A progress window on `request`, shown and started.
    static database::CExportProgress* StartExport(const dbexport::ExportRequest& request)
    {
        auto* progress = new database::CExportProgress(request);
        progress->show();
        return progress;
    }

    static bool WaitFinished(database::CExportProgress* progress)
    {
        return windowtest::WaitFor([progress] { return progress->session()->isFinished(); }, 180000);
    }

    static QString TableStatus(database::CExportProgress* progress, const QString& table)
    {
        dbexport::ExportRowsModel* tables = progress->session()->tables();
        return tables->Cell(tables->RowOf(table), 1);
    }

    static QStringList LogLines(database::CExportProgress* progress)
    {
        QStringList lines;
        dbexport::ExportRowsModel* log = progress->session()->log();
        for (int r = 0; r < log->rowCount(); ++r)
            lines.append(log->Cell(r, 1));
        return lines;
    }

    // The error dialog over the progress window, once shown.
    static database::CExportErrorDialog* WaitForErrorDialog()
    {
        return windowtest::WaitForWindow<database::CExportErrorDialog>(
            QStringLiteral("exportErrorDialog"), 120000);
    }

    static void Click(QWidget* window, const char* button)
    {
        auto* found = window->findChild<QAbstractButton*>(QLatin1String(button));
        ASSERT_TRUE(found) << button;
        ASSERT_TRUE(found->isEnabled()) << button;
        found->click();
    }
};

} // namespace exporttest
