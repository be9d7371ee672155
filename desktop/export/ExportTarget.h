// The desktop database an export writes into, through Qt SQL: a new file in
// SQLite format, or an ODBC data source (unixODBC and Qt's ODBC driver).
//
// A file target is written under a temporary name in the same folder and
// only moved over the chosen name by Keep(), so an export that is cancelled
// or aborted never leaves a half-written file, and an existing file is only
// replaced by a finished export.
//
// One object per export, used on one thread (the one that opened it).
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <memory>

namespace dbexport {

class ExportTarget {
public:
    ExportTarget();
    ~ExportTarget();
    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;

    // Creates the file target's temporary database beside `path`. False
    // with the reason in *error.
    bool OpenFile(const QString& path, QString* error);
    // Opens a data source by name with a user name and password.
    bool OpenOdbc(
        const QString& dataSource, const QString& userName, const QString& password, QString* error);

    bool IsOpen() const { return m_db.isOpen(); }

    // Runs one statement; false with the driver's message in *error.
    bool Exec(const QString& sql, QString* error);
    // Whether a table of this name exists (case as the target compares it).
    bool HasTable(const QString& name) const;

    // One transaction per table where the driver has them (no-ops otherwise).
    void Begin();
    void Commit();
    void Rollback();

    // A prepared INSERT with one placeholder per value, where the driver
    // prepares statements; false when it cannot (the caller then runs
    // literal statements).
    bool Prepare(const QString& sql);
    bool RunPrepared(const QVariantList& values, QString* error);

    // Closes the connection. For a file target, Keep moves the finished
    // file over `path` (false with the reason when it cannot), Discard
    // deletes it; an open file target that is neither kept nor discarded is
    // discarded when the object ends.
    void Close();
    bool Keep(QString* error);
    void Discard();

private:
    QString m_connection;
    QSqlDatabase m_db;
    std::unique_ptr<QSqlQuery> m_insert;
    bool m_inTransaction = false;
    QString m_finalPath; // file target: the chosen name
    QString m_tempPath; // file target: where it is written until kept
};

} // namespace dbexport
