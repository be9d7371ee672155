#include "desktop/export/OdbcSources.h"

#include <sql.h>
#include <sqlext.h>

namespace dbexport {

QVector<OdbcSource> ListOdbcSources()
{
    QVector<OdbcSource> sources;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return sources;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
        sizeof description, &descriptionLength))) {
        sources.append({ QString::fromUtf8(reinterpret_cast<const char*>(name)),
            QString::fromUtf8(reinterpret_cast<const char*>(description)) });
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return sources;
}

bool IsAccessDriver(const QString& driverDescription)
{
    return driverDescription.contains(QLatin1String("Microsoft Access"));
}

} // namespace dbexport
