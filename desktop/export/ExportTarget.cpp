#include "desktop/export/ExportTarget.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace dbexport {
namespace {

QString ErrorText(const QSqlError& error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

} // namespace

ExportTarget::ExportTarget()
{
    static QAtomicInt serial;
    m_connection = QStringLiteral("quorvane-export-%1").arg(serial.fetchAndAddRelaxed(1));
}

ExportTarget::~ExportTarget()
{
    Discard();
}

bool ExportTarget::OpenFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.dir().exists()) {
        *error = QStringLiteral("the folder %1 does not exist").arg(info.dir().path());
        return false;
    }
    QTemporaryFile temp(info.dir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        *error = temp.errorString();
        return false;
    }
    m_tempPath = temp.fileName();
    temp.close();
    m_finalPath = info.absoluteFilePath();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_tempPath);
    if (!m_db.open()) {
        *error = ErrorText(m_db.lastError());
        Discard();
        return false;
    }
    return true;
}

bool ExportTarget::OpenOdbc(
    const QString& dataSource, const QString& userName, const QString& password, QString* error)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connection);
    if (!m_db.isValid()) {
        *error = QStringLiteral("the ODBC driver of Qt SQL is not installed");
        return false;
    }
    // Qt's driver makes the connect string "DSN=...;UID=...;PWD=..." itself.
    m_db.setDatabaseName(dataSource);
    if (!m_db.open(userName, password)) {
        *error = ErrorText(m_db.lastError());
        Close();
        return false;
    }
    return true;
}

bool ExportTarget::Exec(const QString& sql, QString* error)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    if (error)
        *error = ErrorText(query.lastError());
    return false;
}

bool ExportTarget::HasTable(const QString& name) const
{
    const QStringList tables = m_db.tables(QSql::Tables);
    for (const QString& table : tables)
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void ExportTarget::Begin()
{
    if (m_db.driver()->hasFeature(QSqlDriver::Transactions))
        m_inTransaction = m_db.transaction();
}

void ExportTarget::Commit()
{
    if (m_inTransaction)
        m_db.commit();
    m_inTransaction = false;
}

void ExportTarget::Rollback()
{
    if (m_inTransaction)
        m_db.rollback();
    m_inTransaction = false;
}

bool ExportTarget::Prepare(const QString& sql)
{
    m_insert.reset();
    if (!m_db.driver()->hasFeature(QSqlDriver::PreparedQueries))
        return false;
    auto query = std::make_unique<QSqlQuery>(m_db);
    if (!query->prepare(sql))
        return false;
    m_insert = std::move(query);
    return true;
}

bool ExportTarget::RunPrepared(const QVariantList& values, QString* error)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        m_insert->bindValue(int(i), values[i]);
    if (m_insert->exec())
        return true;
    *error = ErrorText(m_insert->lastError());
    return false;
}

void ExportTarget::Close()
{
    m_insert.reset();
    if (m_db.isValid()) {
        Rollback();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool ExportTarget::Keep(QString* error)
{
    Close();
    if (m_tempPath.isEmpty())
        return true;
    std::error_code code;
    // A rename within one folder replaces the old file in one step.
    std::filesystem::rename(m_tempPath.toStdString(), m_finalPath.toStdString(), code);
    if (code) {
        *error = QString::fromStdString(code.message());
        Discard();
        return false;
    }
    QFile::setPermissions(
        m_finalPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    m_tempPath.clear();
    return true;
}

void ExportTarget::Discard()
{
    Close();
    if (!m_tempPath.isEmpty()) {
        QFile::remove(m_tempPath);
        QFile::remove(m_tempPath + QStringLiteral("-journal"));
    }
    m_tempPath.clear();
}

} // namespace dbexport
