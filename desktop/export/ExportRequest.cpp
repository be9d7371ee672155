#include "desktop/export/ExportRequest.h"

#include "desktop/settings/SettingsStore.h"
#include "exchange/Home.h"
#include "exchange/Password.h"

#include <QDir>

namespace dbexport {
namespace {

const QString kToAccess = QStringLiteral("EXPORT_TOACCESS");
const QString kJustTables = QStringLiteral("EXPORT_JUSTTABLES");
const QString kOdbcName = QStringLiteral("EXPORT_ODBCNAME");
const QString kOdbcUserName = QStringLiteral("EXPORT_ODBC_USERNAME");
const QString kOdbcPassword = QStringLiteral("EXPORT_ODBC_PASSWORD");

} // namespace

ExportSettings ReadExportSettings()
{
    ExportSettings s;
    quint32 value = 1;
    if (settings::ReadDword(kToAccess, &value))
        s.toAccess = value == 1;
    value = 0;
    if (settings::ReadDword(kJustTables, &value))
        s.structureOnly = value == 1;
    settings::ReadString(kOdbcName, &s.dataSource);
    settings::ReadString(kOdbcUserName, &s.userName);
    QString scrambled;
    if (settings::ReadString(kOdbcPassword, &scrambled) && !scrambled.isEmpty())
        s.password = QString::fromStdU16String(exchange::UnscramblePassword(scrambled.toStdU16String()));
    return s;
}

void WriteExportSettings(const ExportSettings& s)
{
    settings::WriteDword(kToAccess, s.toAccess ? 1 : 0);
    settings::WriteDword(kJustTables, s.structureOnly ? 1 : 0);
    settings::WriteString(kOdbcName, s.dataSource);
    settings::WriteString(kOdbcUserName, s.userName);
    settings::WriteString(
        kOdbcPassword, QString::fromStdU16String(exchange::ScramblePassword(s.password.toStdU16String())));
}

QString ErrorSqlPath()
{
    return QDir(QString::fromStdString(home::DesktopCacheDir().string()))
        .filePath(QStringLiteral("errorSQL.txt"));
}

} // namespace dbexport
